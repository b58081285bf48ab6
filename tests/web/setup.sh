#!/usr/bin/env bash
# puppeteer-core for the web tests and the web benchmark, as pinned by package-lock.json here,
# without the browser download puppeteer would otherwise make: Debian's Chromium and Firefox ESR
# are used (tools/setup.sh web installs them, with Node and npm). npm ci runs only when the lock
# file changed since the last install.
set -euo pipefail
cd "$(dirname "$0")"
stamp=node_modules/.zandorel-lock
if ! cmp -s package-lock.json "$stamp"; then
    PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
    cp package-lock.json "$stamp"
fi
