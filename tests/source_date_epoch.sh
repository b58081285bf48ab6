#!/usr/bin/env bash
# The time a configure gives every artifact (cmake/Reproducible.cmake), as the Debian package
# will carry it: SOURCE_DATE_EPOCH when set; else the last commit's; else, in a tree that is no
# git checkout, the fixed time, said once.
#
# Usage: source_date_epoch.sh CMAKE
set -u
cmake=$1
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "source_date_epoch: $1" >&2
    failures=$((failures + 1))
}

# check NAME TREE WANTED [VAR=VALUE...]: configuring TREE with the environment VAR=VALUE gives
# the package the time WANTED; prints what the configure said.
check() {
    local name=$1 tree=$2 wanted=$3
    shift 3
    if ! env "$@" "$cmake" -S "$tree" -B "$work/$name" -DBUILD_TESTING=OFF >"$work/$name.log" 2>&1; then
        fail "$name: the configure failed: $(tail -n 5 "$work/$name.log")"
        return
    fi
    local found
    found=$(sed -n 's/.*set(ENV{SOURCE_DATE_EPOCH} \([0-9]*\)).*/\1/p' \
        "$work/$name/dist/CPackTimes.cmake")
    [ "$found" = "$wanted" ] || fail "$name: the package's time is '$found', not $wanted"
}

# A tree without history, as a source tarball unpacks.
mkdir "$work/tarball"
git -C "$source" archive HEAD | tar -x -C "$work/tarball"
check tarball "$work/tarball" 1704067200 -u SOURCE_DATE_EPOCH
said=$(grep -c "No git checkout" "$work/tarball.log")
[ "$said" = 1 ] || fail "tarball: the fixed time was told $said times, not once"
check tarball-epoch "$work/tarball" 1600000000 SOURCE_DATE_EPOCH=1600000000
! grep -q "No git checkout" "$work/tarball-epoch.log" || fail "tarball-epoch: told of a fixed time"
if env SOURCE_DATE_EPOCH=yesterday "$cmake" -S "$work/tarball" -B "$work/bad" -DBUILD_TESTING=OFF \
    >"$work/bad.log" 2>&1; then
    fail "a SOURCE_DATE_EPOCH that is no number was taken"
fi

if git -C "$source" rev-parse --git-dir >/dev/null 2>&1; then
    check checkout "$source" "$(git -C "$source" log -1 --format=%ct)" -u SOURCE_DATE_EPOCH
fi
[ "$failures" -eq 0 ] && echo "source_date_epoch: as it should"
[ "$failures" -eq 0 ]
