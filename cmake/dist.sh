#!/bin/bash
# dist.sh BUILD_DIR linux|windows OUT_DIR
# The release archive of a built tree, laid out like its install with a
# README.txt and LICENSE.txt on top: OUT_DIR/vidra-VERSION-linux-x86_64.tar.gz
# or OUT_DIR/vidra-VERSION-win64.zip, holding one folder of the same name.
# Nothing is built here; the archive appears under its name only when complete.
# Prints the archive's path.
set -euo pipefail
[ $# = 3 ] || { echo "usage: $0 BUILD_DIR linux|windows OUT_DIR" >&2; exit 2; }
build=$1 target=$2 out=$3
src=$(cd "$(dirname "$0")/.." && pwd -P)
fail() { echo "dist: $*" >&2; exit 1; }

cache=$build/CMakeCache.txt
[ -f "$cache" ] || fail "$build is not a configured build tree"
grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$src" "$cache" || fail "$build was configured from another source folder"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache")
[ -n "$version" ] || fail "no project version in $cache"
windows_tree=no
grep -q '^CMAKE_TOOLCHAIN_FILE:.*toolchain-mingw64.cmake$' "$cache" && windows_tree=yes
case $target in
  linux) name=vidra-$version-linux-x86_64 ext=tar.gz want=no ;;
  windows) name=vidra-$version-win64 ext=zip want=yes ;;
  *) fail "unknown target $target" ;;
esac
[ $windows_tree = $want ] || fail "$build is not a $target build tree"

mkdir -p "$out" && out=$(cd "$out" && pwd)
stage=$(mktemp -d "$out/.dist.XXXXXX")
trap 'rm -rf "$stage"' EXIT
root=$stage/$name
cmake --install "$build" --prefix "$root" >"$stage/install.log" || { cat "$stage/install.log" >&2; fail "install from $build"; }
cp "$root/share/doc/vidra/README.txt" "$root/README.txt"
cp "$root/share/doc/vidra/LICENSE" "$root/LICENSE.txt"

# Fixed times, owners and order: the same tree at the same commit gives the
# same bytes.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct 2>/dev/null || date +%s)}
find "$root" -exec touch -h -d "@$epoch" {} +
if [ "$ext" = zip ]; then
  (cd "$stage" && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X "$stage/archive.zip" -@)
else
  tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$epoch" -cf - "$name" |
    gzip -n >"$stage/archive.$ext"
fi
mv -f "$stage/archive.$ext" "$out/$name.$ext"
echo "$out/$name.$ext"
