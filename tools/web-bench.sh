#!/usr/bin/env bash
# The web build's figures (BENCHMARKS.md, "Web"): builds the site, sets up the browser driver
# the web tests use, and measures in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
site=$(bash tools/web.sh)
bash tests/web/setup.sh >&2
node bench/web.js "$site"
