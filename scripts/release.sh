#!/bin/bash
# Builds both Windows modules and packs them with the README into dist/Murlin.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
for preset in win64 win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target murlin_module
done
mkdir -p dist
rm -f dist/Murlin.zip
zip -j -q dist/Murlin.zip build/win64/Murlin64.dll build/win32/Murlin.dll README.md
echo dist/Murlin.zip
