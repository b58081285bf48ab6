#!/usr/bin/env bash
# The real game's start-up on a display: time from start to its first visible window, and
# resident memory once the title shows, medians of several starts on one Xvfb, on classic
# SDL 1.2, on the compatibility layer over SDL2, and as the Windows build under Wine (built
# into build-windows/ by tools/windows.sh, in the end-to-end tests' Wine prefix). Today's game
# on both libraries then starts again on a 1920 x 1080 screen, where its window opens at 3 x,
# so that the two scales are measured side by side in one run.
#
#   tools/window-bench.sh [STARTS] [REVISION]
#
# With a revision, the game as built from it runs beside today's, in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/common.sh
root=$PWD
bash tools/setup.sh test
starts=${1:-15}
cmake --preset plain >/dev/null
cmake --build --preset plain --target zandorel zandorel_data >/dev/null
compat=$(bash tools/sdl12-compat.sh build/sdl12-compat)

scratch=$(mktemp -d)
trap 'git -C "$root" worktree remove --force "$scratch/source" 2>/dev/null || true; rm -rf "$scratch"' EXIT
binaries=("now=$root/build/zandorel")
if [ -n "${2:-}" ]; then
    git worktree add -q --detach "$scratch/source" "$2"
    cmake -S "$scratch/source" -B "$scratch/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$scratch/build" --target zandorel >/dev/null
    binaries=("$2=$scratch/build/zandorel" "${binaries[@]}")
fi

# The game writes debug.txt where it runs: a folder of its own, with the data set linked in.
mkdir "$scratch/run"
ln -s "$root/build/graphics" "$root/build/data" "$scratch/run/"
runs=()
for entry in "${binaries[@]}"; do
    runs+=("classic, ${entry%%=*}=${entry#*=}")
    runs+=("compat, ${entry%%=*}=env LD_LIBRARY_PATH=$compat ${entry#*=}")
done

# Wine: with its server stopped before each start (not timed), as on a player's first start
# of a session once the prefix exists, and with the server still running from the start before.
bash tools/windows.sh >/dev/null 2>"$scratch/windows.log" ||
    { cat "$scratch/windows.log" >&2; exit 1; }
# Every start inherits Wine's environment from here.
wine_environment "$root/build-windows/wineprefix"
cp build-windows/zandorel.exe "$scratch/run/"
cat >"$scratch/wine.sh" <<SCRIPT
if [ "\$1" = stop ]; then
    '$wineserver' -k 2>/dev/null
    exec '$wineserver' -w
fi
exec '$wine' ./zandorel.exe
SCRIPT
wine_harness() {
    (cd "$root/tests/e2e" && ZANDOREL_E2E_RUNNER=$wine ZANDOREL_E2E_WINEPREFIX=$WINEPREFIX \
        python3 -c "import harness; harness.$1()")
}
wine_harness prepare_wine_prefix
runs+=("wine, server stopped=sh $scratch/wine.sh stop ;; sh $scratch/wine.sh"
    "wine, server running=sh $scratch/wine.sh")

runs+=(--screen=1920x1080
    "classic, now=$root/build/zandorel" "compat, now=env LD_LIBRARY_PATH=$compat $root/build/zandorel")

cd "$scratch/run"
python3 "$root/bench/window_startup.py" "$starts" "${runs[@]}"
wine_harness stop_wine_server
