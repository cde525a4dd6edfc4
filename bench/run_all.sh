#!/bin/bash
# Builds the benchmarks and prints, for every name that matters for speed, the
# module's time against the plain C baseline's and their ratio, each the
# median of three runs, with the goal where there is one; then the peak
# memory of STDIN.
#   bench/run_all.sh [build-dir]
# Times are the CPU time of the calling thread (on a shared machine, wall time
# mostly measures the other processes), except for STDIN from a slow writer,
# where the question is whether the reader keeps pace: wall time. Single calls
# run both sides in one process, one after the other; the streams each side
# in a process of its own, so that the peak memory is its own.
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
record() { # run column filter
    "$bench" --benchmark_filter="$3" --benchmark_format=csv 2>/dev/null |
        awk -F, -v run="$1" -v col="$2" '
            NR == 1 { for (i = 1; i <= NF; i++) if ($i ~ /peak_rss_mib/) peak = i; next }
            $1 ~ /^"BM_/ {
                name = $1; gsub(/"/, "", name); sub(/^BM_/, "", name)
                side = name ~ /(_module|\/0\/)/ ? "module" : "plain"
                sub(/_(module|plain)$/, "", name); sub(/\/[01]\/.*/, "", name)
                printf "%s %s %s %s %s\n", run, name, side, $col, peak ? $peak : "-"
            }' >>"$results"
}

for run in $(seq $runs); do
    record "$run" 4 '^BM_[A-Z]+_(module|plain)$'
    for stream in StdInFastWriter StdInSlowWriter StdOut; do
        column=4
        [ $stream = StdInSlowWriter ] && column=3
        for side in 0 1; do
            record "$run" $column "^BM_$stream/$side/"
        done
    done
done

awk -v runs=$runs '
    function median(a, n,    i, j, t) {
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
        return a[int((n + 1) / 2)]
    }
    { time[$2, $3, $1] = $4; peak[$2, $3, $1] = $5; if (!($2 in seen)) { seen[$2] = 1; order[++rows] = $2 } }
    END {
        label["LEFTSTR"] = "%*leftstr(abcdef,3)"; goal["LEFTSTR"] = 1.5
        label["MIDSTR"] = "%*midstr(abcdef,2,3)"
        label["PADDING"] = "%*padding(42,5,0)"
        label["NOWDATETIME"] = "%*nowdatetime(Y-N-D H:M:S)"; goal["NOWDATETIME"] = 1.0
        label["FINDDRIVE"] = "%*finddrive(C:)"
        label["VERSION"] = "%*version(w)"
        label["StdOut"] = "*stdout 200 MiB ASCII"; goal["StdOut"] = 1.1
        label["StdInFastWriter"] = "%*stdin() 200 MiB, fast writer"; goal["StdInFastWriter"] = 1.1
        label["StdInSlowWriter"] = "%*stdin() 8 MiB, slow writer"; goal["StdInSlowWriter"] = 1.5
        printf "%-32s %12s %12s %7s %6s\n", "measure (median of " runs " runs)", "module", "plain C", "ratio", "goal"
        for (r = 1; r <= rows; r++) {
            name = order[r]
            for (i = 1; i <= runs; i++) {
                m[i] = time[name, "module", i]; p[i] = time[name, "plain", i]
                ratio[i] = p[i] > 0 ? m[i] / p[i] : 0
            }
            unit = name ~ /^Std/ ? "ms" : "ns"
            g = name in goal ? sprintf("%.1f", goal[name]) : "-"
            rm = median(ratio, runs)
            verdict = !(name in goal) ? "" : rm <= goal[name] ? "  ok" : "  MISSED"
            printf "%-32s %9.1f %s %9.1f %s %7.2f %6s%s\n", label[name], median(m, runs), unit,
                median(p, runs), unit, rm, g, verdict
        }
        for (i = 1; i <= runs; i++) { m[i] = peak["StdInFastWriter", "module", i]; p[i] = peak["StdInFastWriter", "plain", i] }
        printf "peak memory, %%*stdin() of 200 MiB: module %.0f MiB, plain C %.0f MiB\n", median(m, runs), median(p, runs)
    }' "$results"
