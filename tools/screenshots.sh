#!/usr/bin/env bash
# Plays through the real game under a virtual X server and saves a picture of each screen to
# docs/screenshots/, for the README. Run it again whenever the pictures or levels change.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

. tools/common.sh
bash tools/setup.sh test
cmake --preset plain >/dev/null
cmake --build --preset plain >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r build/graphics build/data "$work/"
printf '120\n95\n60\n35\n10\n' > "$work/data/highscores.txt"

# The end-to-end tests' harness starts the X server and the game, drives it and reads it back.
cd tests/e2e
ZANDOREL_BINARY="$root/build/zandorel" PYTHONDONTWRITEBYTECODE=1 \
    python3 -m harness.screenshots "$work" "$root/docs/screenshots"
