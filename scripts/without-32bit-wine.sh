#!/bin/bash
# Runs a command as on a machine whose 32-bit Wine cannot start: in a mount
# namespace of its own, the 32-bit Wine loader and the system's 32-bit ELF
# loader are covered by an empty file, so Wine runs 32-bit programs in its
# WoW64 mode or not at all. The i686 cross toolchain's own loader is left
# alone: whether the kernel runs 32-bit ELF programs is another question
# (MURLIN_NO_32BIT=2 asks for qemu-i386).
# Usage: scripts/without-32bit-wine.sh COMMAND [ARG]...
#   e.g. scripts/without-32bit-wine.sh scripts/test-all.sh
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARG]..." >&2; exit 2; }
# Outside root, a user namespace gives the right to mount.
as=(-m)
[ "$(id -u)" -eq 0 ] || as=(-r -m)
exec unshare "${as[@]}" bash -c '
set -e
for file in /usr/lib/wine/wine "$(readlink -f /lib/ld-linux.so.2)"; do
    if [ -e "$file" ]; then mount --bind /dev/null "$file"; fi
done
exec "$@"' without-32bit-wine "$@"
