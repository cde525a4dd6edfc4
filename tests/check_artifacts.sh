#!/bin/bash
# Fails on any departure from what a shipped module must be:
#   a DLL exports ModuleEntry alone, imports only KERNEL32, USER32 and
#   ADVAPI32, has an entry point and no .eh_frame, a 64-bit one has its
#   unwind data (.pdata, .xdata) for all of its code, and it carries no
#   function that only the tests call (read from the symbols of the
#   unstripped DLL); the .so defines ModuleEntry alone.
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
        # Every instruction of .text lies in a function of .pdata, but for the
        # import thunks (jmp *__imp_X(%rip)), the padding between functions
        # and the lists of constructors the linker ends .text with (bytes FF
        # and 00 only): code that Windows cannot unwind through is named.
        outside=$(python3 -c '
import bisect, re, sys
pdata, code = sys.argv[1], sys.stdin.read()
ranges = sorted((int(b, 16), int(e, 16)) for b, e in
                re.findall(r"^ *[0-9a-f]+:\t([0-9a-f]+) ([0-9a-f]+) [0-9a-f]+$", pdata, re.M))
starts = [b for b, _ in ranges]
where, runs = "", []
for line in code.splitlines():
    label = re.match(r"^[0-9a-f]+ <(.*)>:$", line)
    if label:
        where = label.group(1)
        continue
    m = re.match(r"^ *([0-9a-f]+):\t((?:[0-9a-f]{2} )+)\s*\t(.*)$", line)
    if not m:
        continue
    at, raw, text = int(m.group(1), 16), m.group(2).split(), m.group(3)
    if (re.match(r"(nop|xchg +%ax,%ax|int3|data16|cs nop)", text)
            or re.match(r"jmp +\*0x[0-9a-f]+\(%rip\)", text)
            or set(raw) <= {"ff", "00"}):
        continue
    i = bisect.bisect_right(starts, at) - 1
    if i >= 0 and at < ranges[i][1]:
        continue
    if not runs or runs[-1][2] != at:
        runs.append([at, where, at, text])
    runs[-1][2] = at + len(raw)
for start, name, end, text in runs:
    print("0x%x-0x%x <%s>, from: %s" % (start, end, name, text))
' "$dump" < <("$objdump" -d -j .text --insn-width=16 "$module"))
        if [ -n "$outside" ]; then
            say "$module has code outside .pdata, which Windows would unwind as a leaf:"
            sed 's/^/artifacts:   /' <<<"$outside"
            fail=1
        fi
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
