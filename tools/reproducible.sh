#!/usr/bin/env bash
# Checks that the same commit builds to the same bytes: clones the commit checked out here
# twice, into two temporary folders of different names, builds what ships in the one and then in
# the other (so at different times), and compares. Prints each file that differs, and where, as
# diffoscope tells it (tools/setup.sh reproducible installs it).
#
# Usage: tools/reproducible.sh [--at-once] [PART...]     every part when none is named
#   linux     build/zandorel
#   deb       the Debian package (cpack -G DEB in build/)
#   windows   build-windows/zandorel.exe, the zip and the setup program
#   web       every file of the web site (build-web/site/) and its zip
#   --at-once builds both clones at the same time, the second a minute after the first: on a busy
#             machine the whole takes half as long, and the two builds still run at different
#             times (a time stamp of a minute or finer differs)
#
# Only what ships is built, not the tests. Uncommitted changes are not in the comparison. Exits 1
# when a file differs or is missing from either build; the folders are removed unless KEEP=1.
# One block, read whole before it runs: a run takes long, and the file may be edited meanwhile.
{
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/common.sh

at_once=0
if [ "${1:-}" = --at-once ]; then
    at_once=1
    shift
fi
parts=("$@")
if [ ${#parts[@]} -eq 0 ]; then
    parts=(linux deb windows web)
fi
needs=(reproducible)
for part in "${parts[@]}"; do
    case $part in
    linux) ;;
    deb) needs+=(package) ;;
    windows) needs+=(windows) ;;
    web) needs+=(web) ;;
    *)
        echo "$tool: no part called '$part' (linux, deb, windows, web)" >&2
        exit 2
        ;;
    esac
done
bash tools/setup.sh "${needs[@]}" >&2

commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "$tool: uncommitted changes are left out: comparing $commit as committed" >&2
fi
top=$(mktemp -d "${TMPDIR:-/tmp}/zandorel-reproducible.XXXXXX")
if [ "${KEEP:-0}" = 1 ]; then
    echo "$tool: keeping the builds in $top" >&2
else
    trap 'rm -rf "$top"' EXIT
fi
# Different names and depths, so that a path left in an artifact shows.
first=$top/first
second=$top/second-of-two/clone

has() {
    [[ " ${parts[*]} " == *" $1 "* ]]
}

# Usage: build FOLDER: a fresh clone of the commit in FOLDER, and the chosen parts built in it.
build() {
    local folder=$1 log=$1.log
    git clone -q --no-checkout "$PWD" "$folder"
    git -C "$folder" checkout -q "$commit"
    echo "== $(date -u +%H:%M:%S) building $commit in $folder" >&2
    # Each step stops the build on failure by itself: errexit does not reach into a subshell
    # whose status is tested.
    if ! (
        cd "$folder" || exit 1
        if has linux || has deb; then
            cmake --preset plain -DBUILD_TESTING=OFF || exit 1
            if has deb; then
                cmake --build --preset plain || exit 1
                (cd build && cpack -G DEB) || exit 1
            else
                cmake --build --preset plain --target zandorel || exit 1
            fi
        fi
        if has windows; then
            bash tools/sdl-windows.sh build-windows/sdl || exit 1
            cmake --preset windows -DBUILD_TESTING=OFF || exit 1
            cmake --build --preset windows || exit 1
        fi
        if has web; then
            cmake --preset web -DBUILD_TESTING=OFF || exit 1
            cmake --build --preset web --target zandorel_site || exit 1
        fi
    ) >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "$tool: the build in $folder failed (above)" >&2
        exit 1
    fi
}

# Usage: artifacts FOLDER: what the chosen parts ship, relative to FOLDER, one a line. A name
# that matches nothing stays as it is, and is then reported missing.
artifacts() {
    (
        cd "$1"
        if has linux; then echo build/zandorel; fi
        if has deb; then echo build/zandorel_*.deb; fi
        if has windows; then
            echo build-windows/zandorel.exe
            echo build-windows/zandorel-*-windows-x86_64.zip
            echo build-windows/zandorel-*-setup.exe
        fi
        if has web; then
            echo build-web/site/index.html
            find build-web/site -type f 2>/dev/null
            echo build-web/zandorel-*-web.zip
        fi
    ) | tr ' ' '\n' | LC_ALL=C sort -u
}

start=$(date +%s)
if [ "$at_once" = 1 ]; then
    build "$first" &
    one=$!
    sleep 61
    build "$second" &
    other=$!
    failed=0
    wait "$one" || failed=1
    wait "$other" || failed=1
    if [ "$failed" = 1 ]; then
        exit 1
    fi
else
    build "$first"
    build "$second"
fi

differing=0
compared=0
while read -r file; do
    compared=$((compared + 1))
    if [ ! -f "$first/$file" ] || [ ! -f "$second/$file" ]; then
        echo "MISSING  $file (in one build only)"
        differing=$((differing + 1))
    elif ! cmp -s "$first/$file" "$second/$file"; then
        echo "DIFFERS  $file"
        differing=$((differing + 1))
        if command -v diffoscope >/dev/null; then
            (cd "$top" && diffoscope --text - --no-progress \
                "${first#"$top"/}/$file" "${second#"$top"/}/$file" | head -n 60) || true
        fi
    else
        echo "same     $file"
    fi
done < <(sort -u <(artifacts "$first") <(artifacts "$second"))

elapsed=$(($(date +%s) - start))
if [ "$compared" -eq 0 ]; then
    echo "$tool: the builds shipped nothing to compare" >&2
    exit 1
fi
if [ "$differing" -gt 0 ]; then
    echo "$tool: $differing of $compared files differ between the two builds (${elapsed}s): ${parts[*]}"
    exit 1
fi
echo "$tool: all $compared files are identical in both builds (${elapsed}s): ${parts[*]}"
exit
}
