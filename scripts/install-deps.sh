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
         binutils-mingw-w64-i686 wine64 wine32:i386 zip python3 locales)
# The i686 Linux build: its cross compiler, and qemu-i386 for machines whose
# kernel runs no 32-bit programs.
i686=(g++-i686-linux-gnu qemu-user)
wanted=("${native[@]}")
[ "$what" = all ] && wanted+=("${windows[@]}" "${i686[@]}")

missing=()
for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$what" = all ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
    fi
    as_root apt-get update -qq
    as_root apt-get install -y -qq "${missing[@]}" </dev/null
fi

# Wine reads a UTF-8 Hindi locale as the ANSI code page UTF-8, which a test
# of %*StdIn runs under.
if [ "$what" = all ] && ! locale -a 2>/dev/null | grep -qix 'hi_IN.utf-\?8'; then
    grep -qx 'hi_IN.UTF-8 UTF-8' /etc/locale.gen ||
        echo 'hi_IN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
fi
