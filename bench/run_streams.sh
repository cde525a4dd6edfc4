#!/bin/bash
# Builds the stream benchmarks and prints, for each, the module's time against
# the plain loop's, their ratio, and the peak memory of the run.
#   bench/run_streams.sh [build-dir]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMURLIN_BENCHMARKS=ON \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target murlin_streams_bench >/dev/null

for name in BM_StdInFastWriter BM_StdInSlowWriter BM_StdOut; do
    # Each side in a process of its own, so that the peak memory is its own.
    module=$("$build/murlin_streams_bench" --benchmark_filter="^$name/0/" 2>/dev/null | grep "^$name")
    plain=$("$build/murlin_streams_bench" --benchmark_filter="^$name/1/" 2>/dev/null | grep "^$name")
    awk -v name="$name" -v m="$module" -v p="$plain" 'BEGIN {
        split(m, a, " "); split(p, b, " ")
        peak_m = m; sub(/.*peak_rss_mib=/, "", peak_m); sub(/ .*/, "", peak_m)
        peak_p = p; sub(/.*peak_rss_mib=/, "", peak_p); sub(/ .*/, "", peak_p)
        printf "%-20s module %8.1f ms  plain %8.1f ms  ratio %.2f  peak %.0f MiB (plain %.0f MiB)\n",
            name, a[2], b[2], a[2] / b[2], peak_m, peak_p
    }'
done
