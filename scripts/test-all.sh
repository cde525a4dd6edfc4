#!/bin/bash
# Installs what is missing, builds every preset and runs every test.
# The 32-bit code is tested on every machine. Where 32-bit programs run,
# Murlin.dll's tests run under Wine and the i686 Linux build's natively.
# Where they do not (the kernel's IA-32 emulation off, or MURLIN_NO_32BIT=1),
# Murlin.dll is built and its files checked, its Wine runs are left out, and
# the i686 Linux build's tests and differential run go under qemu-i386.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
status=0
echo "=== format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror || status=1
win32_tests=win32
if reason=$(scripts/runs-32bit.sh); then
    echo "=== 32-bit programs run here: Murlin.dll's tests under Wine, the i686 Linux tests natively"
else
    echo "=== 32-bit programs do not run here ($reason): Murlin.dll checked without Wine, its Wine tests and differential run left out; the i686 Linux tests under qemu-i386"
    # The same answer for the i686 build and the differential run.
    export MURLIN_NO_32BIT=1
    win32_tests=win32-no-wine
fi
for preset in linux linux-asan win64 win32 linux-i686; do
    echo "=== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    tests=$preset
    [ "$preset" = win32 ] && tests=$win32_tests
    ctest --preset "$tests" -j2 || status=1
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
exit $status
