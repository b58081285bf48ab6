#!/usr/bin/env bash
# Set-up, build, and start the game from the build folder, which holds graphics/ and data/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build
cmake --build build -j"$(nproc)"
cd build
exec ./zandorel
