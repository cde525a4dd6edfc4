#!/bin/bash
# %*StdIn without its utf8 word on a system whose ANSI code page is UTF-8
# (Windows' "Use Unicode UTF-8 for worldwide language support"; Wine gives
# GetACP() 65001 under a UTF-8 Hindi locale): a character cut by the end of
# the first block comes through whole, as it does with the word.
# Usage: stdin_utf8_acp.sh HOST WINE...   Exits 77 (skipped) where the locale
# is missing: scripts/install-deps.sh generates it.
set -u
host=$1
shift
if ! locale -a 2>/dev/null | grep -qix 'hi_IN.utf-\?8'; then
    echo "skipped: the locale hi_IN.UTF-8 is not generated (scripts/install-deps.sh generates it)"
    exit 77
fi
export LANG=hi_IN.UTF-8 LC_ALL=hi_IN.UTF-8
expected="$(head -c 1022 /dev/zero | tr '\0' x)é"
failed=0
for call in '%*stdin()' '%*stdin(,utf8)'; do
    got=$(printf '%s' "$expected" | "$@" "$host" "$call")
    if [ "$got" != "$expected" ]; then
        echo "$call: the text ends in $(printf '%s' "${got: -4}" | od -An -tx1), not x x c3 a9"
        failed=1
    fi
done
exit $failed
