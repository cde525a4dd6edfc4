#!/bin/bash
# Runs the same calls through the Linux module and through both DLLs under
# Wine, one process per build, and compares them call by call. Builds what is
# needed first. Exit status 1 on any difference.
# Usage: scripts/differential.sh [CALLS] [SEED]   (default 20000 calls, seed 1)
set -euo pipefail
cd "$(dirname "$0")/.."
calls=${1:-20000}
seed=${2:-1}
for preset in linux win64 win32; do
    cmake --preset "$preset" >/dev/null
    targets=murlin_differential
    [ "$preset" = linux ] && targets="$targets differential_compare"
    cmake --build --preset "$preset" --target $targets -- -j2 >/dev/null
done

# Dates in UTC; code page 0 is Windows-1252 under Wine as in the Linux build.
export TZ=UTC LANG=C.UTF-8 LC_ALL=C.UTF-8 WINEDEBUG=-all
out="$PWD/build/differential"
rm -rf "$out"
mkdir -p "$out"
limit=$((120 + calls / 20))
run() { # preset, then the command that runs the runner
    local preset=$1
    shift
    if ! WINEPREFIX="$PWD/build/$preset/wineprefix" timeout "$limit" "$@" "$calls" "$seed" \
            "$out/$preset.records" "$out/$preset.entries" 2>"$out/$preset.log"; then
        echo "differential: the $preset run failed; the end of $out/$preset.log:" >&2
        tail -5 "$out/$preset.log" >&2
        return 1
    fi
}
run linux build/linux/murlin_differential
run win64 /usr/lib/wine/wine64 build/win64/murlin_differential.exe
run win32 /usr/lib/wine/wine build/win32/murlin_differential.exe

echo "differential: $calls calls, seed $seed"
if build/linux/differential_compare linux="$out/linux.records" win64="$out/win64.records" \
        win32="$out/win32.records" >"$out/differences.txt"; then
    cat "$out/differences.txt"
    rm -rf "$out"
else
    # Every difference, shortly; the records stay for a closer look.
    cat "$out/differences.txt"
    exit 1
fi
