#!/bin/bash
# Fuzzes ModuleEntry with clang's libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer: every name, any parameters, any host answers,
# and one platform call made to fail. The seconds are shared by the targets.
# Usage: scripts/fuzz.sh [seconds]   (default 60; needs clang and libclang-rt)
#
# The committed seeds (tests/fuzz/corpus) are copied into a working corpus
# under build/fuzz, which is the only corpus libFuzzer writes to; the inputs
# that once failed (tests/fuzz/regressions) are run first, each once.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz
targets=(murlin_fuzz)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURLIN_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

share=$((seconds / ${#targets[@]}))
[ "$share" -ge 1 ] || share=1
status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    findings="$build/findings"
    mkdir -p "$corpus" "$findings"
    cp -n tests/fuzz/corpus/* "$corpus"/
    log="$build/$target.log"
    regressions=(tests/fuzz/regressions/*)
    if [ -e "${regressions[0]}" ] &&
        ! "$build/$target" "${regressions[@]}" >"$log" 2>&1; then
        echo "$target: a regression input fails again:"
        tail -n 30 "$log"
        status=1
        continue
    fi
    if "$build/$target" -max_total_time="$share" -max_len=4096 -timeout=10 \
        -dict=tests/fuzz/murlin.dict -artifact_prefix="$findings/$target-" \
        "$corpus" >"$log" 2>&1; then
        echo "$target: $(grep -E '^Done [0-9]+ runs' "$log")"
    else
        echo "$target: a finding, kept in $findings:"
        tail -n 40 "$log"
        status=1
    fi
done
exit $status
