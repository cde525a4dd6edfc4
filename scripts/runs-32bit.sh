#!/bin/bash
# Tells whether this machine runs 32-bit x86 programs: exit status 0 when it
# does; otherwise 1, with the reason on one line of standard output.
# MURLIN_NO_32BIT=1 answers no on any machine, so that the path of a machine
# without them can be tried anywhere.
# The program tried is the i686 cross toolchain's own loader, the one that
# starts every program of the linux-i686 build.
set -u
if [ -n "${MURLIN_NO_32BIT:-}" ] && [ "$MURLIN_NO_32BIT" != 0 ]; then
    echo "MURLIN_NO_32BIT=$MURLIN_NO_32BIT is set"
    exit 1
fi
loader=/usr/i686-linux-gnu/lib/ld-linux.so.2
if [ ! -e "$loader" ]; then
    echo "no 32-bit program to try: $loader is missing (scripts/install-deps.sh all)"
    exit 1
fi
error=$({ "$loader" --version >/dev/null; } 2>&1)
status=$?
[ "$status" -eq 0 ] && exit 0
# bash names the failed exec's error last: "...: Exec format error".
reason=${error##*: }
reason=${reason%%$'\n'*}
if grep -qi 'ia32_emulation=off' /proc/cmdline 2>/dev/null ||
    dmesg 2>/dev/null | grep -qi -e 'IA-32 emulation off' -e '32-bit emulation disabled'; then
    reason="$reason: IA-32 emulation is off"
fi
echo "${reason:-$loader --version: exit status $status}"
exit 1
