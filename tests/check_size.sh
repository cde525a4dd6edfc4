#!/bin/bash
# Fails when a DLL, made as it ships (stripped, with the link to its debug
# information), is larger than the limit below, and says its size and what
# is left. The one limit: scripts/release.sh checks each DLL it ships with
# this script too.
#
# The limit leaves room for five more names of today's average size, while
# the smallest C runtime a link could pull in (startup code, its imports and
# their tables: 8 KiB or more) still takes either DLL past it.
#   tests/check_size.sh DLL TOOL_PREFIX     (TOOL_PREFIX-strip, TOOL_PREFIX-objcopy)
set -u
largest=28672 # bytes a shipped DLL may have
module=$1
tools=$2
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
name=$(basename "$module")
if ! "$tools-objcopy" --only-keep-debug "$module" "$work/$name.debug" ||
    ! "$tools-strip" --strip-all -o "$work/$name" "$module" ||
    ! "$tools-objcopy" --add-gnu-debuglink="$work/$name.debug" "$work/$name"; then
    echo "size: cannot strip $module"
    exit 1
fi
size=$(stat -c %s "$work/$name")
if [ "$size" -gt "$largest" ]; then
    echo "size: $name is $size bytes as shipped, $((size - largest)) over the limit of $largest"
    exit 1
fi
echo "size: $name is $size bytes as shipped, $((largest - size)) left of $largest"
