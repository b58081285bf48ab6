#!/usr/bin/env bash
# Set-up, then every test: the plain build, then the same suite built with AddressSanitizer
# and UndefinedBehaviorSanitizer. All of it runs headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
export SDL_VIDEODRIVER=dummy

run_suite() {
    local folder=$1
    shift
    echo "== $folder: configure and build"
    cmake -S . -B "$folder" "$@" >/dev/null
    cmake --build "$folder" -j"$jobs"
    echo "== $folder: tests"
    ctest --test-dir "$folder" -j"$jobs" --output-on-failure --timeout 120
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DZANDOREL_SANITIZE=ON
echo "== all tests passed"
