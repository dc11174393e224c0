#!/usr/bin/env bash
# Makes the program's icons again from their sources, after data/icons/mosaiq.svg or a picture
# of src/app/resources changed: the PNG sizes of the desktop icon and the double-resolution
# (@2x) images of the window's pictures. Needs rsvg-convert (librsvg2-bin) and ImageMagick.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
icons="$root/data/icons"
resources="$root/src/app/resources"

# Below 48 pixels the letters of the drawing turn to mush: the hand-made grids of the window
# stand in for them, the same mosaic without its letters.
mkdir -p "$icons/16x16" "$icons/32x32" "$icons/16x16@2"
cp "$resources/mosaiq-16.png" "$icons/16x16/mosaiq.png"
cp "$resources/mosaiq-32.png" "$icons/32x32/mosaiq.png"
cp "$resources/mosaiq-32.png" "$icons/16x16@2/mosaiq.png"
for size in 48 64 128 256; do
    mkdir -p "$icons/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" "$icons/mosaiq.svg" -o "$icons/${size}x${size}/mosaiq.png"
done
for size in 32 48 64 128 256; do
    mkdir -p "$icons/${size}x${size}@2"
    rsvg-convert -w $((size * 2)) -h $((size * 2)) "$icons/mosaiq.svg" \
        -o "$icons/${size}x${size}@2/mosaiq.png"
done

# The window's pictures are grids of whole pixels: drawn at twice the size they are the same
# grid with every pixel doubled, so that is what their @2x images are.
for picture in mosaiq-16 mosaiq-32 mosaiq-48 decoration-128; do
    /usr/bin/convert "$resources/$picture.png" -filter point -resize 200% \
        -define png:exclude-chunks=date,time "$resources/$picture@2x.png"
done
