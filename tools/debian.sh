#!/usr/bin/env bash
# Builds the Debian source package (debian/) the way the archive's builders do, and checks it the
# way Debian does:
#   1. the source package: an upstream tarball of the commit checked out here (with the tracked
#      changes not yet committed), debian/ beside it, dpkg-source -b;
#   2. the binary packages, twice, each in its own copy of a minimal Debian 12 chroot holding
#      nothing but the build dependencies, with no network, as an ordinary user, at two paths,
#      at two times, in two time zones, locales and umasks; the .deb files must be the same bytes;
#   3. lintian --pedantic on the .dsc, the .changes and the .deb files: every tag, down to the
#      pedantic ones, is mended or overridden in debian/, so any tag fails;
#   4. the package's own test (debian/tests/) by autopkgtest, in another chroot with the test's
#      dependencies, the .deb installed there by apt;
#   5. piuparts: the .deb installed, removed and purged in a minimal chroot, nothing left behind;
#   6. the install tests' checks of the package (tests/e2e/test_install.py, PackageTest).
#
# Usage: tools/debian.sh [FOLDER]     the packages are left in FOLDER when one is named
# KEEP=1 keeps the work folder (the logs, the packages and the chroots' copies).
#
# Runs as root (debootstrap, chroot). The chroots are made from the package archive this
# machine's apt uses and kept in $ZANDOREL_CHROOTS (/var/cache/zandorel): one for building, one
# for testing, one with nothing added for piuparts, each remade when its package list, the archive's address, debian/ or this script
# changes what goes in, or when it is a week old (the archive's updates reach it). A first run
# makes them: a few minutes more.
{
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/common.sh
if [ $# -gt 1 ]; then
    echo "usage: $0 [FOLDER]" >&2
    exit 2
fi
bash tools/setup.sh debian >&2
if [ "$(id -u)" -ne 0 ]; then
    echo "$tool: making and entering chroots needs root" >&2
    exit 1
fi

suite=bookworm
chroots=${ZANDOREL_CHROOTS:-/var/cache/zandorel}
start=$(date +%s)
say() {
    echo "== debian: $(($(date +%s) - start))s $*" >&2
}

top=$(mktemp -d "${TMPDIR:-/tmp}/zandorel-debian.XXXXXX")
chmod 755 "$top"
if [ "${KEEP:-0}" = 1 ]; then
    echo "$tool: keeping the work in $top" >&2
else
    trap 'rm -rf "$top"' EXIT
fi

# The archive, as apt on this machine reaches it: the release and its updates, for the chroots'
# own apt. debootstrap takes the release's address.
# shellcheck disable=SC2016 # apt's own placeholders
archive=$(apt-get indextargets --format '$(REPO_URI) $(CODENAME) $(COMPONENT)' 'Created-By: Packages' |
    awk -v s="$suite" '$2 == s || index($2, s "-") == 1' | LC_ALL=C sort -u)
mirror=$(awk -v s="$suite" '$2 == s {print $1; exit}' <<<"$archive")
if [ -z "$mirror" ]; then
    echo "$tool: apt on this machine has no entry for Debian's $suite" >&2
    exit 1
fi

# Usage: in_chroot ROOT COMMAND...: COMMAND run as root inside ROOT, with a /proc of its own
# that goes away with it.
in_chroot() {
    local root=$1
    shift
    unshare --mount --pid --fork --mount-proc="$root/proc" \
        chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

# Usage: chroot_with NAME PACKAGE...: prints the cached chroot NAME holding PACKAGE... over a
# minimal system, made first when missing, stale or made for another list. An argument that is
# a folder holding debian/control stands for its build dependencies.
chroot_with() {
    local name=$1
    shift
    local key
    key=$(
        echo "$archive"
        # How the chroot is made, too: a change here remakes it.
        declare -f chroot_with
        for item in "$@"; do
            if [ -d "$item" ]; then
                sed -n '/^Build-Depends/,/^[^ ]/p' "$item/debian/control"
            else
                echo "$item"
            fi
        done
    )
    key=$(sha256sum <<<"$key" | cut -c1-16)
    local root=$chroots/$suite-$name-$key
    if [ -f "$root/.complete" ] && [ -z "$(find "$root/.complete" -mtime +6)" ]; then
        echo "$root"
        return
    fi
    say "making the $name chroot in $root (once per machine)"
    mkdir -p "$chroots"
    rm -rf "$root" "$root.new"
    local log=$top/chroot-$name.log
    logged "$log" debootstrap --variant=buildd "$suite" "$root.new" "$mirror" >&2
    awk '{print "deb " $1 " " $2 " " $3}' <<<"$archive" >"$root.new/etc/apt/sources.list"
    cp /etc/resolv.conf "$root.new/etc/resolv.conf"
    logged "$log" in_chroot "$root.new" apt-get update -qq >&2
    logged "$log" in_chroot "$root.new" apt-get dist-upgrade -y -qq >&2
    local item packages=()
    for item in "$@"; do
        if [ -d "$item" ]; then
            mkdir -p "$root.new/tmp/source/debian"
            cp "$item/debian/control" "$root.new/tmp/source/debian/"
            logged "$log" in_chroot "$root.new" apt-get build-dep -y -qq --no-install-recommends \
                /tmp/source >&2
            rm -rf "$root.new/tmp/source"
        else
            packages+=("$item")
        fi
    done
    if [ ${#packages[@]} -gt 0 ]; then
        logged "$log" in_chroot "$root.new" apt-get install -y -qq --no-install-recommends \
            "${packages[@]}" >&2
    fi
    logged "$log" in_chroot "$root.new" apt-get clean >&2
    logged "$log" in_chroot "$root.new" useradd --no-create-home --home-dir /nonexistent \
        --uid 2000 builder >&2
    touch "$root.new/.complete"
    mv "$root.new" "$root"
    # Chroots made for an earlier list go.
    find "$chroots" -maxdepth 1 -name "$suite-$name-*" ! -name "$(basename "$root")" \
        -exec rm -rf {} + >&2
    echo "$root"
}

# 1. The source package.
commit=$(git stash create)
commit=${commit:-HEAD}
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
upstream=${version%-*}
name=$(dpkg-parsechangelog -l debian/changelog -S Source)
say "the source package $name $version"
mkdir -p "$top/source"
git archive --format=tar --prefix="$name-$upstream/" "$commit" -- . ':(exclude)debian' |
    xz -6 -T1 >"$top/source/${name}_$upstream.orig.tar.xz"
tar -xf "$top/source/${name}_$upstream.orig.tar.xz" -C "$top/source"
git archive --format=tar --prefix="$name-$upstream/" "$commit" -- debian | tar -xf - -C "$top/source"
(cd "$top/source" && dpkg-source -b "$name-$upstream" >"$top/dpkg-source.log" 2>&1) ||
    { cat "$top/dpkg-source.log" >&2; exit 1; }
dsc=$top/source/${name}_${version}.dsc

# 2. The binary packages, built twice and compared.
buildroot=$(chroot_with build "$top/source/$name-$upstream")
# Usage: build NAME PATH TZ LANG UMASK: the source package built in a fresh copy of the build
# chroot, under PATH there; its packages and logs are left in $top/NAME.
build() {
    local label=$1 path=$2 zone=$3 locale=$4 mask=$5
    local root=$top/$label-root
    say "building the binary packages in $label ($path)"
    cp -a "$buildroot" "$root"
    mkdir -p "$root$path"
    cp "$dsc" "$top/source/${name}_$upstream.orig.tar.xz" "$top/source/${name}_$version.debian.tar.xz" \
        "$root$path/"
    chown -R 2000:2000 "$root$path"
    # No network: the build reads only the source and the chroot. No home either, as on
    # Debian's builders: a build that writes outside its tree fails.
    if ! unshare --net --mount --pid --fork --mount-proc="$root/proc" \
        chroot --userspec=2000:2000 "$root" env -i PATH=/usr/bin:/bin HOME=/nonexistent \
        TZ="$zone" LANG="$locale" DEB_BUILD_OPTIONS="parallel=$jobs" \
        sh -c "umask $mask && cd '$path' && dpkg-source -x ${name}_$version.dsc tree &&
               cd tree && dpkg-buildpackage -us -uc -b" >"$top/$label.log" 2>&1; then
        tail -n 40 "$top/$label.log" >&2
        echo "$tool: the build in $label failed (above; whole log in $top/$label.log)" >&2
        exit 1
    fi
    mkdir -p "$top/$label"
    cp "$root$path"/*.deb "$root$path"/*.changes "$root$path"/*.buildinfo "$top/$label/"
    rm -rf "$root"
}
build first /build/first UTC C.UTF-8 0022
build second /build/second-of-two/deeper NZST-12 C 0002

differing=0
for deb in "$top"/first/*.deb; do
    other=$top/second/$(basename "$deb")
    if ! cmp -s "$deb" "$other"; then
        echo "DIFFERS  $(basename "$deb")"
        differing=1
        diffoscope --text - --no-progress "$deb" "$other" 2>&1 | head -n 60 || true
    else
        echo "same     $(basename "$deb")"
    fi
done
if [ "$(cd "$top/first" && ls ./*.deb)" != "$(cd "$top/second" && ls ./*.deb)" ]; then
    echo "$tool: the two builds made different packages" >&2
    differing=1
fi
if [ "$differing" = 1 ]; then
    echo "$tool: the two builds differ (above)" >&2
    exit 1
fi

# 3. lintian, every tag shown; the .changes brings its .deb files along. Not as root, which
# lintian advises against; from the work folder, since a clone in a folder of root's own (as
# mktemp makes one) is no place nobody may enter.
say "lintian"
if ! (cd "$top" && runuser -u nobody -- env HOME="$top" lintian --pedantic --display-info --display-experimental --fail-on error,warning,info,pedantic \
    "$dsc" "$top"/first/*.changes); then
    echo "$tool: lintian finds the tags above" >&2
    exit 1
fi

# 4. The package's own test, in a chroot of its own.
mapfile -t test_needs < <(sed -n 's/^Depends://p' debian/tests/control | tr ',' '\n' |
    sed 's/^ *//;s/ *$//' | grep -v '^@$' | LC_ALL=C sort -u)
testroot=$(chroot_with test "${test_needs[@]}")
say "autopkgtest"
cp -a "$testroot" "$top/testbed"
# The chroot virtualisation brings no /proc, /dev/shm or /dev/pts: mounted in a namespace of
# their own, they go with it.
# shellcheck disable=SC2016 # the inner shell's arguments
if ! unshare --mount --propagation private sh -c '
    mount -t proc proc "$1/proc" && mount -t tmpfs tmpfs "$1/dev/shm" &&
    mkdir -p "$1/dev/pts" && mount -t devpts -o newinstance devpts "$1/dev/pts" && shift &&
    exec autopkgtest "$@"' sh "$top/testbed" \
    "$top"/first/"${name}"_*.deb "$top/source/$name-$upstream/" -- chroot "$top/testbed" \
    >"$top/autopkgtest.log" 2>&1; then
    tail -n 60 "$top/autopkgtest.log" >&2
    echo "$tool: autopkgtest failed (above)" >&2
    exit 1
fi
grep -E '^[a-z-]+ +(PASS|FAIL|SKIP|FLAKY)' "$top/autopkgtest.log" | sort -u >&2 || true

# 5. Installed, removed and purged in a system that holds nothing else, as Debian's piuparts
# does it: its dependencies come from the archive, and anything the purge leaves fails.
baseroot=$(chroot_with piuparts)
say "piuparts"
# In a mount namespace of its own: nothing outside it can keep the chroot's /proc busy, which
# would fail piuparts' own clean-up after a passing test.
if ! unshare --mount --propagation private piuparts --existing-chroot="$baseroot" \
    --distribution="$suite" \
    --keep-sources-list --no-upgrade-test --tmpdir="$top" --log-file="$top/piuparts.log" \
    "$top"/first/"${name}"_*.deb >/dev/null 2>&1; then
    tail -n 60 "$top/piuparts.log" >&2
    echo "$tool: piuparts failed (above; whole log in $top/piuparts.log)" >&2
    exit 1
fi
grep -o 'PASS: .*' "$top/piuparts.log" >&2 || true

# 6. The install tests' view of the package: fields, files and modes, and unpacked anywhere.
say "the install tests on the package"
ZANDOREL_DEB=$(ls "$top"/first/"${name}"_*.deb) python3 tests/e2e/test_install.py PackageTest

if [ $# -eq 1 ]; then
    mkdir -p "$1"
    cp "$top"/source/*.dsc "$top"/source/*.tar.xz "$top"/first/* "$1/"
fi
say "done: built twice the same, lintian clean, autopkgtest and piuparts passed"
exit
}
