#!/bin/bash
# Builds the release twice, from two fresh clones of the current commit in
# folders of different names and depths, one after the other and with
# different umasks, and fails unless the DLLs (as built and as shipped), their
# debug information and the ZIPs are the same bytes. Uncommitted changes are
# not part of either build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" all
commit=$(git -C "$root" rev-parse HEAD)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
first=$work/a
second=$work/second/clone-of-murlin

build() { # folder, umask
    git clone -q "$root" "$1"
    git -C "$1" checkout -q --detach "$commit"
    (cd "$1" && umask "$2" && scripts/release.sh >"$1.log" 2>&1) || {
        cat "$1.log" >&2
        exit 1
    }
}
build "$first" 022
build "$second" 002

status=0
compared=0
for file in build/release-win64/Murlin64.dll build/release-win32/Murlin.dll \
    $(cd "$first" && ls dist/*); do
    if cmp "$first/$file" "$second/$file"; then
        compared=$((compared + 1))
    else
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "reproducible: $compared files the same in both builds of ${commit:0:12}"
exit $status
