#!/bin/bash
# Builds the benchmarks and prints, for every name that matters for speed, the
# Linux module's time against the plain C baseline's and their ratio, each
# the median of three runs; then the peak memory of STDIN. The speed goals
# are the DLLs', measured under Wine by bench/run_wine.sh.
#   bench/run_all.sh [build-dir]
# Times are the CPU time of the calling thread (on a shared machine, wall time
# mostly measures the other processes), except for STDIN from a slow writer,
# where the question is whether the reader keeps pace: wall time. Single calls
# and *StdOut run both sides in one process, five repetitions of each (nine
# for *StdOut, whose time is mostly the system's) in random order, so that a
# change in the machine's load falls on both; a run's time is the median of
# its repetitions. %*StdIn runs each side in a process of its own, so that
# the peak memory is its own; from the fast writer, the median of three reads.
# With valgrind installed, callgrind also counts the instructions of the
# single calls and of *StdOut: a measure that does not move with the load.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench}
runs=3
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMURLIN_BENCHMARKS=ON \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target murlin_bench >/dev/null
bench=$build/murlin_bench
results=$(mktemp)
trap 'rm -f "$results"' EXIT

# One CSV row per benchmark: name,iterations,real_time,cpu_time,time_unit,...
# Kept as: run name side time peak.
record() { # run column filter [benchmark options]
    "$bench" --benchmark_filter="$3" --benchmark_format=csv "${@:4}" 2>/dev/null |
        awk -F, -v run="$1" -v col="$2" '
            NR == 1 { for (i = 1; i <= NF; i++) if ($i ~ /peak_rss_mib/) peak = i; next }
            $1 ~ /^"BM_/ {
                name = $1; gsub(/"/, "", name); sub(/^BM_/, "", name)
                if (name ~ /_(mean|stddev|cv)$/) next
                sub(/_median$/, "", name)
                side = name ~ /(_module|\/0\/)/ ? "module" : "plain"
                sub(/_(module|plain)$/, "", name); sub(/\/[01]\/.*/, "", name)
                printf "%s %s %s %s %s\n", run, name, side, $col, peak ? $peak : "-"
            }' >>"$results"
}

for run in $(seq $runs); do
    record "$run" 4 '^BM_[A-Z]+_(module|plain)$' --benchmark_repetitions=5 \
        --benchmark_enable_random_interleaving=true --benchmark_min_time=0.1 \
        --benchmark_report_aggregates_only=true
    for side in 0 1; do
        record "$run" 4 "^BM_StdInFastWriter/$side/" --benchmark_repetitions=3 \
            --benchmark_report_aggregates_only=true
        record "$run" 3 "^BM_StdInSlowWriter/$side/"
    done
    record "$run" 4 '^BM_StdOut/' --benchmark_repetitions=9 \
        --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
done

# Instructions per call (per unit for *StdOut, whose 64 Ki units are counted
# in user space only: the writes themselves are not), as rows of
# "instructions name side count".
count_instructions() { # name calls per
    local side out
    for side in module plain; do
        out=$(mktemp)
        valgrind --tool=callgrind --toggle-collect='*Counted*' --callgrind-out-file="$out" \
            "$build/murlin_instructions" "$1" $side "$2" >/dev/null 2>&1
        awk -v name="$3" -v side=$side -v per=$(($2 * $4)) \
            '/^totals:/ { printf "instructions %s %s %.3f\n", name, side, $2 / per }' "$out" >>"$results"
        rm -f "$out"
    done
}
if command -v valgrind >/dev/null; then
    cmake --build "$build" -j2 --target murlin_instructions >/dev/null
    for name in LEFTSTR MIDSTR PADDING NOWDATETIME FINDDRIVE VERSION; do
        count_instructions $name 10000 $name 1
    done
    count_instructions STDOUT 50 StdOut 65536
fi

awk -v runs=$runs '
    function median(a, n,    i, j, t) {
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
        return a[int((n + 1) / 2)]
    }
    $1 == "instructions" { counted[$2, $3] = $4; next }
    { time[$2, $3, $1] = $4; peak[$2, $3, $1] = $5 }
    END {
        label["LEFTSTR"] = "%*leftstr(abcdef,3)"
        label["MIDSTR"] = "%*midstr(abcdef,2,3)"
        label["PADDING"] = "%*padding(42,5,0)"
        label["NOWDATETIME"] = "%*nowdatetime(Y-N-D H:M:S)"
        label["FINDDRIVE"] = "%*finddrive(C:)"
        label["VERSION"] = "%*version(w)"
        label["StdOut"] = "*stdout 200 MiB ASCII"
        label["StdInFastWriter"] = "%*stdin() 200 MiB, fast writer"
        label["StdInSlowWriter"] = "%*stdin() 8 MiB, slow writer"
        rows = split("LEFTSTR MIDSTR PADDING NOWDATETIME FINDDRIVE VERSION StdInFastWriter StdInSlowWriter StdOut", order, " ")
        printf "%-32s %12s %12s %7s %s\n", "measure (median of " runs " runs)", "module", "plain C",
            "ratio", "instructions (a call; *stdout: a unit)"
        for (r = 1; r <= rows; r++) {
            name = order[r]
            for (i = 1; i <= runs; i++) {
                m[i] = time[name, "module", i]; p[i] = time[name, "plain", i]
                ratio[i] = p[i] > 0 ? m[i] / p[i] : 0
            }
            unit = name ~ /^Std/ ? "ms" : "ns"
            rm = median(ratio, runs)
            counts = ""
            if ((name, "module") in counted)
                counts = sprintf(name == "StdOut" ? "%5.2f / %5.2f = %.2f" : "%5d / %5d = %.2f",
                                 counted[name, "module"], counted[name, "plain"],
                                 counted[name, "module"] / counted[name, "plain"])
            printf "%-32s %9.1f %s %9.1f %s %7.2f %s\n", label[name], median(m, runs), unit,
                median(p, runs), unit, rm, counts
        }
        for (i = 1; i <= runs; i++) { m[i] = peak["StdInFastWriter", "module", i]; p[i] = peak["StdInFastWriter", "plain", i] }
        printf "peak memory, %%*stdin() of 200 MiB: module %.0f MiB, plain C %.0f MiB\n", median(m, runs), median(p, runs)
    }' "$results"
