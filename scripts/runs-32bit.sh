#!/bin/bash
# Tells how this machine runs Murlin's 32-bit code. Three ways, the first
# that works:
#   native  /usr/lib/wine/wine runs a 32-bit PE: Murlin.dll under Wine's
#           32-bit loader;
#   wow64   /usr/lib/wine/wine64 runs one, with WINEDLLPATH naming the
#           32-bit Windows DLLs: Wine's WoW64 mode, 32-bit code in a 64-bit
#           process, which needs no 32-bit loader;
#   qemu    neither: Murlin.dll only built and its file checked.
# Apart from that, the i686 Linux build's programs run natively where the
# kernel starts 32-bit ELF programs, otherwise under qemu-i386.
#
# Usage:
#   runs-32bit.sh        one line: the way and what it runs
#   runs-32bit.sh wine   the command that runs a 32-bit PE, a word a line;
#                        exit status 1 in the qemu way
#   runs-32bit.sh elf    exit status 0 when 32-bit ELF programs run
#                        natively, else 1 and why
# MURLIN_NO_32BIT=1 leaves out the native way and MURLIN_NO_32BIT=2 both Wine
# ways (and the native i686 run), so that every way can be tried anywhere.
# Where the 32-bit loader starts, Wine hands a 32-bit program to it even
# when wine64 was asked: scripts/without-32bit-wine.sh runs a command with
# that loader out of reach, as a machine without 32-bit programs has it.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-line}
forced=${MURLIN_NO_32BIT:-0}
wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
wow64_dlls=/usr/lib/i386-linux-gnu/wine
# The i686 cross toolchain's own loader starts every program of that build.
elf_loader=/usr/i686-linux-gnu/lib/ld-linux.so.2

elf_reason() { # empty when 32-bit ELF programs run natively
    if [ "$forced" = 2 ]; then
        echo "MURLIN_NO_32BIT=2"
        return
    fi
    if [ ! -e "$elf_loader" ]; then
        echo "$elf_loader is missing (scripts/install-deps.sh all)"
        return
    fi
    local error status reason
    error=$({ "$elf_loader" --version >/dev/null; } 2>&1)
    status=$?
    [ "$status" -eq 0 ] && return
    # bash names the failed exec's error last: "...: Exec format error".
    reason=${error##*: }
    reason=${reason%%$'\n'*}
    if grep -qi 'ia32_emulation=off' /proc/cmdline 2>/dev/null ||
        dmesg 2>/dev/null | grep -qi -e 'IA-32 emulation off' -e '32-bit emulation disabled'; then
        reason="$reason: IA-32 emulation is off"
    fi
    echo "${reason:-$elf_loader --version: exit status $status}"
}

if [ "$what" = elf ]; then
    reason=$(elf_reason)
    [ -z "$reason" ] && exit 0
    echo "$reason"
    exit 1
fi

# A 32-bit PE that exits with 32, in a prefix of its own made by wine64 as
# the tests' prefixes are; both are made once, under a lock.
probe_dir=$root/build/runs-32bit
probe=$probe_dir/probe.exe
export WINEPREFIX=$probe_dir/wineprefix WINEDEBUG=-all
prepare() { # empty when the probe is ready, else why not
    mkdir -p "$probe_dir" 2>/dev/null || { echo "cannot make $probe_dir"; return; }
    exec 9>"$probe_dir/lock"
    flock 9
    if [ ! -s "$probe" ]; then
        printf 'int main(void) { return sizeof(void *) == 4 ? 32 : 64; }\n' |
            i686-w64-mingw32-gcc -x c -O2 -s -o "$probe" - >/dev/null 2>&1 ||
            { echo "i686-w64-mingw32-gcc cannot build a 32-bit PE"; return; }
    fi
    # WINEDLLPATH lets a wine64 without the 32-bit loader fill the prefix's
    # syswow64 too; without it, that prefix can start no 32-bit program.
    if [ ! -e "$WINEPREFIX/system.reg" ] &&
        ! WINEDLLPATH=$wow64_dlls timeout 300 "$wine64" wineboot --init >/dev/null 2>&1; then
        echo "$wine64 cannot make a prefix"
    fi
}
tried() { # the run's status or the exec's error, for the line
    local output status
    output=$(timeout 120 "$@" "$probe" 2>&1 >/dev/null)
    status=$?
    [ "$status" -eq 32 ] && return 0
    output=${output##*: }
    echo "${output%%$'\n'*} (exit status $status)"
    return 1
}

way=qemu
why=
if [ "$forced" = 2 ]; then
    why="MURLIN_NO_32BIT=2"
elif why=$(prepare) && [ -z "$why" ]; then
    if [ "$forced" = 1 ]; then
        why="MURLIN_NO_32BIT=1"
        # Forced on a machine whose 32-bit loader starts, wine64 still ends
        # in it: the line says so.
        if "$wine32" --version >/dev/null 2>&1; then
            why="$why, though Wine hands 32-bit programs to $wine32, which starts here"
        fi
    elif native=$(tried "$wine32"); then
        way=native
    else
        why="$wine32: $native"
    fi
    if [ "$way" = qemu ]; then
        if wow=$(tried env WINEDLLPATH="$wow64_dlls" "$wine64"); then
            way=wow64
        else
            why="$why; WoW64: $wow"
        fi
    fi
fi

case "$what" in
wine)
    case "$way" in
    native) echo "$wine32" ;;
    wow64) printf '%s\n' env "WINEDLLPATH=$wow64_dlls" "$wine64" ;;
    qemu) exit 1 ;;
    esac
    ;;
line)
    if elf=$(elf_reason) && [ -z "$elf" ]; then
        i686="the i686 Linux tests natively"
    else
        i686="the i686 Linux tests under qemu-i386 ($elf)"
    fi
    case "$way" in
    native) echo "native: Murlin.dll under $wine32; $i686" ;;
    wow64) echo "wow64: Murlin.dll under $wine64 with WINEDLLPATH=$wow64_dlls${why:+ ($why)}; $i686" ;;
    qemu) echo "qemu: Murlin.dll built and its file checked, no Wine run ($why); $i686" ;;
    esac
    ;;
*)
    echo "usage: $0 [wine|elf]" >&2
    exit 2
    ;;
esac
exit 0
