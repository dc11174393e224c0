#!/usr/bin/env bash
# Builds the browser's front end with Debian's emscripten into build-web/: the module, then the
# site (build-web/site/), a folder that works opened from the disk or put on any static host.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-web"
# Debian's emscripten runs its optimiser with node, which finds Debian's node modules (acorn)
# only when told where they are.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/CMakeCache.txt" ]; then
    emcmake cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
fi
nice cmake --build "$build" -j2 --target mosaiq-web
