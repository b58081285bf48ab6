#!/usr/bin/env bash
# What the web tests need on top of the web build (tools/web.sh installs that): Debian's
# Chromium, Node with npm, and puppeteer-core as pinned by package-lock.json here, without
# the browser download puppeteer would otherwise make. Safe to run again: npm ci runs only
# when the lock file changed since the last install.
set -euo pipefail
cd "$(dirname "$0")"
need=(chromium python3)
# Debian ships npm apart from Node; a Node from elsewhere may bring its own.
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
missing=()
for package in "${need[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "web tests: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi
stamp=node_modules/.zandorel-lock
if ! cmp -s package-lock.json "$stamp"; then
    PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
    cp package-lock.json "$stamp"
fi
