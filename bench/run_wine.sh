#!/bin/bash
# Builds the DLLs and prints, under Wine, single calls, %*stdin() and *stdout
# of each against hand-written Win32 C that makes the same calls in the same
# process (each the median of three alternating runs), and STDIN's seconds per
# MiB at the largest size against those at the smallest. The 32-bit DLL runs
# under the Wine that scripts/runs-32bit.sh chooses; a width whose programs
# this machine cannot run is said to be left out.
#   bench/run_wine.sh [stdout MiB] [stdin MiB]...     (defaults: 64, then 2 16 64)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out_mib=${1:-64}
shift || true
in_mib=("$@")
[ ${#in_mib[@]} -gt 0 ] || in_mib=(2 16 64)
for width in 64 32; do
    if [ $width = 64 ]; then
        toolchain=mingw-w64-x86_64 wine=(/usr/lib/wine/wine64)
    elif ! mapfile -t wine < <("$root/scripts/runs-32bit.sh" wine) || [ ${#wine[@]} -eq 0 ]; then
        echo "== 32-bit DLL under Wine"
        echo "left out: $("$root/scripts/runs-32bit.sh")"
        continue
    else
        toolchain=mingw-w64-i686
    fi
    build=$root/build/bench-win$width
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DMURLIN_BENCHMARKS=ON \
        -DBUILD_TESTING=OFF -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" >/dev/null
    cmake --build "$build" -j2 --target murlin_wine_bench >/dev/null
    echo "== $width-bit DLL under Wine"
    export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
    if ! "${wine[@]}" cmd /c exit 0 >/dev/null 2>&1; then
        echo "left out: ${wine[*]} does not run here"
        continue
    fi
    (cd "$build" && "${wine[@]}" murlin_wine_bench.exe "$out_mib" "${in_mib[@]}") | tee "$build/last.txt"
    awk 'prev ~ /%\*stdin/ && $2 ~ /s\/MiB/ { n++; if (n == 1) first = $1; last = $1 }
         { prev = $0 }
         END { if (n > 1) printf "%-28s %10.2f\n", "stdin s/MiB largest/smallest", last / first }' \
        "$build/last.txt"
done
