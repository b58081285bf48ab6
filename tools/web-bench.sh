#!/usr/bin/env bash
# The web build's figures (BENCHMARKS.md, "Web"): builds the site and, beside it, a bare SDL
# page built the same way (build-web/bare/), sets up the browser driver the web tests use and
# Lighthouse (tools/lighthouse/), and measures both in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
site=$(bash tools/web.sh)
cmake --build --preset web --target zandorel_web_bare >&2
bash tests/web/setup.sh >&2
# Lighthouse as pinned by tools/lighthouse/package-lock.json, run against Debian's Chromium;
# installed again only when the lock file changed.
(cd tools/lighthouse && if ! cmp -s package-lock.json node_modules/.zandorel-lock; then
    PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
    cp package-lock.json node_modules/.zandorel-lock
fi) >&2
uptime
# The preview the play screen's figures wait out, as the game's sources fix it.
ZANDOREL_PREVIEW_MS=$(python3 tools/game_numbers.py PREVIEW_MS) \
    node bench/web.js "$site" "$(dirname "$site")/bare"
