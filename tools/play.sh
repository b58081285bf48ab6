#!/usr/bin/env bash
# Set-up, build, and start the game from the build folder, which holds graphics/ and data/.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/common.sh
bash tools/setup.sh play
if [ ! -e build/CMakeCache.txt ]; then
    # A player's build leaves the tests out: they need more than playing does. tools/test.sh
    # turns them on in the same tree.
    cmake --preset plain -DBUILD_TESTING=OFF
fi
cmake --build --preset plain
cd build
exec ./zandorel
