#!/bin/bash
# Installs what building and testing Murlin needs on Debian 12, as root.
# Usage: scripts/install-deps.sh [native|all]
set -euo pipefail
what=${1:-all}
export DEBIAN_FRONTEND=noninteractive
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

native=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev binutils clang
        libclang-rt-14-dev clang-format-14 git)
windows=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
         binutils-mingw-w64-i686 wine64 wine32:i386 zip python3)
# The i686 Linux build: its cross compiler, and qemu-i386 for machines whose
# kernel runs no 32-bit programs.
i686=(g++-i686-linux-gnu qemu-user)
wanted=("${native[@]}")
[ "$what" = all ] && wanted+=("${windows[@]}" "${i686[@]}")

missing=()
for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$what" = all ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
fi
as_root apt-get update -qq
as_root apt-get install -y -qq "${missing[@]}" </dev/null
