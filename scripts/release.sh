#!/bin/bash
# Builds both Windows modules for release and packs them into dist/:
#   Murlin-VERSION.zip        Murlin64.dll and Murlin.dll (stripped), README.md,
#                             CHANGELOG.md and the documents of docs/ that users read
#   Murlin-VERSION-debug.zip  the DLLs' debug information, for crash analysis
#   SHA256SUMS                the checksums of the two DLLs and of both ZIPs
# One commit gives the same bytes wherever and whenever it is built: time
# stamps come from the commit (SOURCE_DATE_EPOCH), the tree's path is mapped
# away, ZIP entries are sorted and dated by the commit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all

version=$(sed -n 's/^project(Murlin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
# A release says what it changes, and when.
if ! grep -qE "^## ${version//./\\.} \([0-9]{4}-[0-9]{2}-[0-9]{2}\)\$" CHANGELOG.md; then
    echo "release: CHANGELOG.md has no dated section for $version: '## $version (YYYY-MM-DD)'" >&2
    exit 1
fi
# What a user reads: the README, the CHANGELOG, the reference in English and
# Japanese and the Japanese install steps.
documents=(README.md CHANGELOG.md docs/reference.md docs/reference.ja.md docs/install.ja.md)
for document in "${documents[@]}"; do
    [ -f "$document" ] || { echo "release: $document is missing" >&2; exit 1; }
done
# strip and objcopy stamp the PE header with this time (without it: the time now).
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export TZ=UTC LC_ALL=C

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/ship" "$stage/debug"

ship() { # preset, tool prefix, DLL name
    local build=build/$1 dll=$3 debug=$stage/debug/$3.debug out=$stage/ship/$3
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
    "$2-objcopy" --only-keep-debug "$build/$dll" "$debug"
    "$2-strip" --strip-all -o "$out" "$build/$dll"
    "$2-objcopy" --add-gnu-debuglink="$debug" "$out"
    local size
    size=$(stat -c %s "$out")
    bash tests/check_size.sh "$build/$dll" "$2" >&2
    bash tests/check_artifacts.sh "$out" "$2-objdump" >/dev/null
    python3 scripts/pe_version.py "$out" "FileVersion=$version" "ProductVersion=$version" \
        ProductName=Murlin "OriginalFilename=$dll"
    echo "release: $dll $size bytes"
}
ship release-win64 x86_64-w64-mingw32 Murlin64.dll
ship release-win32 i686-w64-mingw32 Murlin.dll

# A ZIP of the files under a folder, by their paths in it, sorted, every
# entry dated by the commit.
pack() { # ZIP, folder
    python3 - "$@" <<'PY'
import os, sys, time, zipfile
out, base = sys.argv[1], sys.argv[2]
files = sorted(os.path.relpath(os.path.join(folder, name), base)
               for folder, _, names in os.walk(base) for name in names)
# ZIP dates begin in 1980.
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
with zipfile.ZipFile(out, "w") as archive:
    for name in files:
        path = os.path.join(base, name)
        entry = zipfile.ZipInfo(name, stamp)
        entry.create_system = 3
        entry.external_attr = 0o644 << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as f:
            archive.writestr(entry, f.read(), compresslevel=9)
PY
}

# Where the README's links lead: docs/ in the ZIP too.
cp --parents "${documents[@]}" "$stage/ship/"
name=Murlin-$version
mkdir -p dist
rm -f dist/Murlin-*.zip dist/SHA256SUMS
pack "dist/$name.zip" "$stage/ship"
pack "dist/$name-debug.zip" "$stage/debug"
(cd "$stage/ship" && sha256sum Murlin64.dll Murlin.dll) >dist/SHA256SUMS
(cd dist && sha256sum "$name.zip" "$name-debug.zip" >>SHA256SUMS)
# What a user checks: the DLLs unpacked from the ZIP against the published sums.
root=$(pwd)
mkdir "$stage/unpacked"
(cd "$stage/unpacked" && unzip -q "$root/dist/$name.zip" &&
    sha256sum -c --quiet <(grep -v '\.zip$' "$root/dist/SHA256SUMS"))
(cd dist && sha256sum -c --quiet <(grep '\.zip$' SHA256SUMS))
ls -l dist
