#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds, and runs every test: the suite in a
# release build, the page in the browser (its module under node, the page in chromium), the suite
# again under AddressSanitizer and UndefinedBehaviorSanitizer, then a short bounded run of each
# fuzzer. The window's tests run offscreen; the web engine runs without its sandbox (we may be
# root) and without a GPU.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/check-format.sh"
"$root/scripts/build.sh"

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
ctest --test-dir "$root/build" --output-on-failure -j2
"$root/scripts/test-web.sh"

"$root/scripts/sanitize.sh"
"$root/scripts/fuzz.sh" "${MOSAIQ_FUZZ_SECONDS:-15}"
