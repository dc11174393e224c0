#!/bin/bash
# Runs a mosaiq-cli over tests/data/good/codes/cases.txt and prints the SHA-256 of every file each
# run leaves (its outputs, standard output and standard error), as the test of the streamed codes
# reads them back: the digests of the codes as this mosaiq-cli writes them.
# Usage: make-code-digests.sh MOSAIQ-CLI > tests/data/good/codes/digests.txt
set -euo pipefail
cli=$(realpath "$1")
good=$(realpath "$(dirname "$0")/../good")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
while read -r name arguments; do
    [[ -z $name || $name == \#* ]] && continue
    arguments=${arguments//GRADIENT/$good/gradient.gif}
    arguments=${arguments//FOUR/$good/four-colours.bmp}
    mkdir "$work/$name"
    # shellcheck disable=SC2086 # the arguments are split as the test splits them
    (cd "$work/$name" && "$cli" $arguments -o p.html --html-code h.txt --blog-code b.txt \
        >out 2>err || true)
    (cd "$work/$name" && for file in $(ls | LC_ALL=C sort); do
        echo "$name $file $(sha256sum <"$file" | cut -d' ' -f1)"
    done)
done <"$good/codes/cases.txt"
