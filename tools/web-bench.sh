#!/usr/bin/env bash
# The web build's figures (BENCHMARKS.md, "Web"): builds the site and, beside it, a bare SDL
# page built the same way (build-web/bare/), sets up the browser driver the web tests use, and
# measures both in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
site=$(bash tools/web.sh)
cmake --build --preset web --target zandorel_web_bare >&2
bash tests/web/setup.sh >&2
uptime
node bench/web.js "$site" "$(dirname "$site")/bare"
