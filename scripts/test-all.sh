#!/bin/bash
# Installs what is missing, builds every preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
status=0
echo "=== format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror || status=1
for preset in linux linux-asan win64 win32; do
    echo "=== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j2 || status=1
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
