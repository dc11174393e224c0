#!/bin/sh
# Draws docs/shapes.png: a crop of one photo of Debian's mate-backgrounds at 100 x 50 cells, side
# by side: the picture, square mode, Mosaiq's best shape set with backgrounds and chafa's, each
# drawn by figures_bench in DejaVu Sans Mono (the drawings its figures measure). By hand, after
# building figures_bench, with chafa and ImageMagick installed:
#
#   scripts/figures-picture.sh [BUILD-DIR]
#
# PHOTO, MOSAIQ_SET, CHAFA_SET and CROP (in cells: COLUMNSxROWS+COLUMN+ROW) choose another view.
set -eu

build=${1:-build}
photo=${PHOTO:-LadyBird.jpg}
mosaiq_set=${MOSAIQ_SET:-mosaiq-blocks}
chafa_set=${CHAFA_SET:-chafa-block}
crop=${CROP:-32x16+52+16}
# figures_bench's cell in its PNG drawings.
cell_width=12
cell_height=23
out=docs/shapes.png

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/figures_bench" --pictures "$work" "$photo" >"$work/figures.txt"

# The crop from cells to pixels.
pixels=$(echo "$crop" | awk -F'[x+]' -v w=$cell_width -v h=$cell_height \
    '{ printf "%dx%d+%d+%d", $1 * w, $2 * h, $3 * w, $4 * h }')

stem=${photo%.*}
panel() { # NAME CAPTION
    convert "$work/$stem-$1.png" -crop "$pixels" +repage \
        -background white -font DejaVu-Sans -pointsize 15 -fill black \
        -gravity center label:"$2" -append "$work/panel-$1.png"
}
panel picture "the picture"
panel mosaiq-square "Mosaiq, square mode"
panel "$mosaiq_set" "Mosaiq, --shapes ${mosaiq_set#mosaiq-}"
panel "$chafa_set" "chafa, --symbols ${chafa_set#chafa-}"
convert "$work/panel-picture.png" "$work/panel-mosaiq-square.png" \
    "$work/panel-$mosaiq_set.png" "$work/panel-$chafa_set.png" \
    -bordercolor white -border 4 +append -strip -define png:compression-level=9 "$out"
echo "$out: $(wc -c <"$out") bytes"
