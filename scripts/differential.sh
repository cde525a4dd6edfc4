#!/bin/bash
# Runs the same calls through the Linux module, the i686 Linux module and both
# DLLs under Wine, one process per build, and compares them call by call.
# Murlin.dll runs under the Wine that scripts/runs-32bit.sh chooses (the
# 32-bit loader, or wine64 in its WoW64 mode) and is left out where neither
# runs; the i686 module runs under qemu-i386 where the kernel runs no 32-bit
# programs. Builds what is needed first. Exit status 1 on any difference.
# Usage: scripts/differential.sh [CALLS] [SEED]   (default 20000 calls, seed 1)
set -euo pipefail
cd "$(dirname "$0")/.."
calls=${1:-20000}
seed=${2:-1}
presets=(linux win64)
if wine32=$(scripts/runs-32bit.sh wine); then
    mapfile -t wine32 <<<"$wine32"
    presets+=(win32)
fi
presets+=(linux-i686)
i686=()
scripts/runs-32bit.sh elf >/dev/null || i686=(qemu-i386)
for preset in "${presets[@]}"; do
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
if [[ " ${presets[*]} " == *" win32 "* ]]; then
    run win32 "${wine32[@]}" build/win32/murlin_differential.exe
fi
run linux-i686 "${i686[@]}" build/linux-i686/murlin_differential

echo "differential: $calls calls, seed $seed, builds ${presets[*]}${wine32:+ (win32 under ${wine32[*]})}${i686:+ (i686 under ${i686[*]})}"
records=()
for preset in "${presets[@]}"; do
    records+=("$preset=$out/$preset.records")
done
if build/linux/differential_compare "${records[@]}" >"$out/differences.txt"; then
    cat "$out/differences.txt"
    rm -rf "$out"
else
    # Every difference, shortly; the records stay for a closer look.
    cat "$out/differences.txt"
    exit 1
fi
