#!/bin/bash
# Runs command lines through the stand-in host and the Linux module, building
# them first when needed.  Example: scripts/run.sh '%*leftstr(abcdef,3)'
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" native >&2
if [ ! -x "$root/build/linux/murlin-host" ] || [ -n "$(find "$root" -newer "$root/build/linux/murlin-host" \
        \( -name '*.cpp' -o -name '*.h' -o -name CMakeLists.txt \) -not -path '*/build/*' | head -1)" ]; then
    cmake --preset linux -S "$root" >/dev/null
    cmake --build "$root/build/linux" --target murlin-host murlin_module >/dev/null
fi
exec "$root/build/linux/murlin-host" "$@"
