#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format (Debian 12's, version 14) makes
# of it. `clang-format -i FILE` mends one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "Mise en forme conforme."
