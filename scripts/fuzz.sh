#!/bin/bash
# Fuzzes ModuleEntry with every name of the dispatch table for a while.
# Usage: scripts/fuzz.sh [seconds]   (default 60; needs clang and libclang-rt)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMURLIN_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz --target murlin_fuzz
mkdir -p build/fuzz/corpus
build/fuzz/murlin_fuzz -max_total_time="$seconds" -max_len=4096 build/fuzz/corpus
