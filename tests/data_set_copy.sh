#!/usr/bin/env bash
# What every build does to a build folder's data set (cmake/CopyDataSet.cmake), on a folder made
# to look like one after a level was renumbered: a level whose content changed while its time
# stayed older than the build's copy, a level and a picture the list no longer names, and the
# player's own table.
#
# Usage: data_set_copy.sh CMAKE
set -u
cmake=$1
source=$(cd "$(dirname "$0")/.." && pwd)
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
mkdir -p "$build/data" "$build/graphics"
echo "1 1 2 0 1" >"$build/data/level1.txt"
# The build's copy is newer than the source, as after git mv of an older level into its place.
touch -d 'tomorrow' "$build/data/level1.txt"
echo "9" >"$build/data/level99.tim"
echo "BM" >"$build/graphics/dropped.bmp"
echo "BM" >"$build/graphics/title.bmp"
printf '5\n4\n3\n2\n1\n' >"$build/data/highscores.txt"

"$cmake" -D "SOURCE=$source" -D "BUILD=$build" -P "$source/cmake/CopyDataSet.cmake" >/dev/null

failures=0
fail() {
    echo "data_set_copy: $1" >&2
    failures=$((failures + 1))
}
cmp -s "$source/data/level1.txt" "$build/data/level1.txt" || fail "a stale level1.txt was kept"
cmp -s "$source/data/level12.tut" "$build/data/level12.tut" || fail "level12.tut not copied"
[ ! -e "$build/data/level99.tim" ] || fail "a level the list does not name was left"
[ ! -e "$build/graphics/dropped.bmp" ] || fail "a picture the list does not name was left"
[ -e "$build/graphics/title.bmp" ] || fail "a listed picture was taken out"
[ "$(cat "$build/data/highscores.txt")" = "$(printf '5\n4\n3\n2\n1')" ] ||
    fail "the player's table was touched"
[ "$failures" -eq 0 ] && echo "data_set_copy: as it should"
