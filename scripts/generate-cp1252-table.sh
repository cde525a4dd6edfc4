#!/bin/bash
# Regenerates platform/win32_emulation/cp1252_table.inc from the Windows
# converter: builds the generator with mingw-w64 and runs it under Wine, in a
# Wine prefix of its own under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
work=build/cp1252-generator
mkdir -p "$work"
x86_64-w64-mingw32-g++ -O2 -static -o "$work/generator.exe" \
    platform/win32_emulation/generator/cp1252_table_generator.cpp
WINEPREFIX="$PWD/$work/wineprefix" WINEDEBUG=-all /usr/lib/wine/wine64 "$work/generator.exe" \
    | tr -d '\r' > "$work/cp1252_table.inc"
mv "$work/cp1252_table.inc" platform/win32_emulation/cp1252_table.inc
echo "wrote platform/win32_emulation/cp1252_table.inc"
