#!/bin/bash
# %*StdIn of input that no peek measures: a file given as standard input,
# waiting or not, and a pipe of the system while waiting (under Wine, a pipe
# that refuses to be peeked). Every byte must come through.
# Usage: stdin_redirect.sh HOST [RUNNER...]   (RUNNER: the Wine that runs HOST)
set -u
host=$1
shift
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
head -c 88000 /dev/zero | tr '\0' x >"$dir/input"
failed=0
check() { # what, the bytes the host printed: the input and a line end
    if [ "$2" != 88001 ]; then
        echo "stdin from $1: $2 bytes, not 88001"
        failed=1
    fi
}
check "a file" "$("$@" "$host" '%*stdin()' <"$dir/input" | wc -c)"
check "a file, nowait" "$("$@" "$host" '%*stdin(,nowait)' <"$dir/input" | wc -c)"
check "a pipe" "$(cat "$dir/input" | "$@" "$host" '%*stdin()' | wc -c)"
exit $failed
