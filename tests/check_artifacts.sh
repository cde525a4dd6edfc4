#!/bin/bash
# Fails on any departure from what a shipped module must be:
#   a DLL exports ModuleEntry alone, imports only KERNEL32, USER32 and
#   ADVAPI32, has an entry point and no .eh_frame, a 64-bit one has its
#   unwind data (.pdata, .xdata), and it carries no function that only the
#   tests call (read from the symbols of the unstripped DLL); the .so defines
#   ModuleEntry alone.
set -u
module=$1
objdump=$2
fail=0
say() { echo "artifacts: $*"; }

case "$module" in
*.dll)
    dump=$("$objdump" -p "$module") || { say "cannot read $module"; exit 1; }
    exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1;next} on&&/^[ \t]*\[/{print $NF;next} on&&!/^[ \t]*\[/{on=0}' <<<"$dump")
    if [ "$exports" != "ModuleEntry" ]; then
        say "exports of $module are [$exports], not ModuleEntry alone"; fail=1
    fi
    imports=$(grep -i 'DLL Name:' <<<"$dump" | awk '{print toupper($3)}' | sort -u | tr '\n' ' ')
    for dll in $imports; do
        case "$dll" in
        KERNEL32.DLL | USER32.DLL | ADVAPI32.DLL) ;;
        *) say "$module imports $dll"; fail=1 ;;
        esac
    done
    entry=$(awk '/AddressOfEntryPoint/{print $2}' <<<"$dump")
    if [ -z "$entry" ] || [ $((16#$entry)) -eq 0 ]; then
        say "$module has no entry point (AddressOfEntryPoint $entry)"; fail=1
    fi
    nm=${objdump%objdump}nm
    symbols=$("$nm" -C "$module") || { say "cannot read the symbols of $module"; exit 1; }
    for name in ForgetEraBoundary; do
        if grep -qw "$name" <<<"$symbols"; then
            say "$module carries $name, which only the tests call"; fail=1
        fi
    done
    sections=$("$objdump" -h "$module" | awk '$1 ~ /^[0-9]+$/ {print $2}' | tr '\n' ' ')
    case " $sections" in *" .eh_frame "*) say "$module carries .eh_frame"; fail=1 ;; esac
    if grep -q 'file format pei-x86-64' <<<"$dump"; then
        for section in .pdata .xdata; do
            case " $sections" in *" $section "*) ;; *) say "$module has no $section"; fail=1 ;; esac
        done
    fi
    say "$module: exports [$exports] imports [$imports] entry $entry sections [$sections]"
    ;;
*.so)
    defined=$(nm -D --defined-only "$module" | awk '{print $NF}' | sort -u | tr '\n' ' ')
    if [ "$defined" != "ModuleEntry " ]; then
        say "$module defines [$defined], not ModuleEntry alone"; fail=1
    fi
    say "$module: defines [$defined]"
    ;;
*) say "unknown module kind: $module"; exit 1 ;;
esac
exit $fail
