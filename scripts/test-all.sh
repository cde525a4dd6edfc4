#!/bin/bash
# Installs what is missing, builds every preset and runs every test.
# The 32-bit code is tested on every machine, in the way scripts/runs-32bit.sh
# chooses: Murlin.dll's tests and differential run under the 32-bit Wine, or
# under wine64 in its WoW64 mode, or (neither running) Murlin.dll is built and
# its file checked; the i686 Linux build's tests run natively where the kernel
# runs 32-bit programs, otherwise under qemu-i386. MURLIN_NO_32BIT=1 or 2
# tries the second or third way on any machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
status=0
echo "=== format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror || status=1
win32_tests=win32
way=$(scripts/runs-32bit.sh)
echo "=== 32-bit code: $way"
case "${way%%:*}" in
# The win32 build and the differential run look again; this keeps them from
# finding the 32-bit Wine where it just failed.
wow64) export MURLIN_NO_32BIT=1 ;;
qemu) win32_tests=win32-no-wine ;;
esac
for preset in linux linux-asan win64 win32 linux-i686; do
    echo "=== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    tests=$preset
    [ "$preset" = win32 ] && tests=$win32_tests
    ctest --preset "$tests" -j2 | tee "build/$preset/ctest.log" || status=1
done
echo "=== differential"
scripts/differential.sh 4000 1 || status=1
# ModuleEntry on eight threads under ThreadSanitizer: the preset builds and
# runs that one test.
echo "=== linux-tsan"
cmake --preset linux-tsan >/dev/null
cmake --build --preset linux-tsan
ctest --preset linux-tsan || status=1
echo "=== reproducible release"
scripts/check-reproducible.sh || status=1
echo "=== fuzz (smoke)"
scripts/fuzz.sh 45 || status=1
echo "=== 32-bit code: ${way%%:*}; win32 ($win32_tests): $(grep 'tests passed' build/win32/ctest.log)"
exit $status
