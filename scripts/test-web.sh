#!/usr/bin/env bash
# The page in the browser: builds the module and the site (scripts/web.sh), then runs its tests
# with node against build/src/cli/mosaiq-cli (scripts/build.sh makes it): the module's outputs
# byte for byte, and the page in Debian's chromium, headless and without its sandbox (we may be
# root).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/web.sh"
cd "$root/tests/web"
npm ci --no-audit --no-fund --loglevel=error
node --test module.test.js gathered.test.js page.test.js
