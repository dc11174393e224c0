#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. The window's tests run offscreen; the
# web engine runs without its sandbox (we may be root) and without a GPU.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
ctest --test-dir "$root/build" --output-on-failure -j2
