#!/bin/bash
# Fuzzes with clang's libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer, sharing the seconds among the targets:
#   murlin_fuzz            ModuleEntry: every name, any parameters, host
#                          answers and world, one platform call made to fail
#   murlin_settings_fuzz   murlin-host's rewrite of a settings file
# Usage: scripts/fuzz.sh [seconds]   (default 60; needs clang and libclang-rt)
#
# Per target, the committed seeds (tests/fuzz/corpus/TARGET) are copied into
# a working corpus under build/fuzz, the only corpus libFuzzer writes to; the
# inputs that once failed (tests/fuzz/regressions/TARGET) are run first, each
# once; a dictionary tests/fuzz/TARGET.dict is used where there is one.
# murlin_fuzz adds a seed for every call of the table of sample calls
# (tests/support/sample_calls.cpp), which names its entry by name, and the
# names and the words of their parameters.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz
targets=(murlin_fuzz murlin_settings_fuzz)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURLIN_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

share=$((seconds / ${#targets[@]}))
[ "$share" -ge 1 ] || share=1
findings="$build/findings"
mkdir -p "$findings"
status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    cp -n "tests/fuzz/corpus/$target"/* "$corpus"/
    dictionary="$build/$target.dict"
    : >"$dictionary"
    [ -f "tests/fuzz/$target.dict" ] && cat "tests/fuzz/$target.dict" >>"$dictionary"
    if [ "$target" = murlin_fuzz ]; then
        "$build/$target" --write-seeds="$corpus" --write-dictionary="$build/samples.dict"
        cat "$build/samples.dict" >>"$dictionary"
    fi
    log="$build/$target.log"
    regressions=("tests/fuzz/regressions/$target"/*)
    if [ -e "${regressions[0]}" ] && ! "$build/$target" "${regressions[@]}" >"$log" 2>&1; then
        echo "$target: an input that once failed fails again:"
        tail -n 30 "$log"
        status=1
        continue
    fi
    # Texts at the module's limits need inputs of a few kilobytes; a
    # settings file shows its every kind of line in one.
    maxlen=4096
    [ "$target" = murlin_settings_fuzz ] && maxlen=512
    options=(-max_total_time="$share" -max_len="$maxlen" -timeout=10
        -artifact_prefix="$findings/$target-")
    [ -s "$dictionary" ] && options+=(-dict="$dictionary")
    if "$build/$target" "${options[@]}" "$corpus" >"$log" 2>&1; then
        echo "$target: $(grep -E '^Done [0-9]+ runs' "$log")"
    else
        echo "$target: a finding, kept in $findings:"
        tail -n 40 "$log"
        status=1
    fi
done
exit $status
