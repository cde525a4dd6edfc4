#!/bin/bash
# Builds both DLLs and prints, under Wine, %*stdin() and *stdout against plain
# loops that make the same Win32 calls (medians of three runs).
#   bench/run_wine.sh [stdin MiB] [stdout MiB]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
in_mib=${1:-2}
out_mib=${2:-64}
for width in 64 32; do
    if [ $width = 64 ]; then
        toolchain=mingw-w64-x86_64 wine=/usr/lib/wine/wine64
    else
        toolchain=mingw-w64-i686 wine=/usr/lib/wine/wine
    fi
    build=$root/build/bench-win$width
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DMURLIN_BENCHMARKS=ON \
        -DBUILD_TESTING=OFF -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" >/dev/null
    cmake --build "$build" -j2 --target murlin_wine_bench >/dev/null
    echo "== $width-bit DLL under Wine"
    (cd "$build" && WINEPREFIX="$build/wineprefix" WINEDEBUG=-all "$wine" murlin_wine_bench.exe "$in_mib" "$out_mib")
done
