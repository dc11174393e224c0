#!/usr/bin/env bash
# Makes the small test pictures of tests/data/good and tests/data/bad with general tools:
# ImageMagick, exiftool, libheif's heif-enc, Python and LittleCMS (for the profiles). The files
# are kept in the repository; run this again only to change them.
#   apt-get install imagemagick libimage-exiftool-perl libheif-examples liblcms2-dev python3
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
good="$here/../good"
bad="$here/../bad"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

cc -O1 "$here/makeprofiles.c" -llcms2 -o makeprofiles
cc -O1 "$here/makeheif.c" -lheif -o makeheif
./makeprofiles .

block() { convert -size 8x8 "xc:$1" "$2"; }
# The picture as it is seen: three blocks of 8 x 8 pixels over three others.
block red r.png; block lime g.png; block blue b.png
block yellow y.png; block white w.png; block black k.png
convert \( r.png g.png b.png +append \) \( y.png w.png k.png +append \) -append seen.png
# Colours that a profile moves.
block 'rgb(200,80,60)' c1.png; block 'rgb(60,160,90)' c2.png; block 'rgb(70,90,200)' c3.png
block 'rgb(128,128,128)' c4.png; block 'rgb(64,64,64)' c5.png; block 'rgb(192,192,192)' c6.png
convert \( c1.png c2.png c3.png +append \) \( c4.png c5.png c6.png +append \) -append PNG24:colours.png

# Orientations 1 to 8: the rows are stored so that turning them as the tag says shows seen.png.
undo=("" "" "-flop" "-rotate 180" "-flip" "-transpose" "-rotate 270" "-transverse" "-rotate 90")
for v in 1 2 3 4 5 6 7 8; do
    # shellcheck disable=SC2086
    convert seen.png ${undo[$v]} -quality 95 -sampling-factor 1x1 "$good/orientation-$v.jpg"
    convert seen.png ${undo[$v]} -compress none "$good/orientation-$v.tif"
    convert seen.png ${undo[$v]} -define webp:lossless=true "$good/orientation-$v.webp"
    exiftool -q -overwrite_original -n -Orientation=$v \
        "$good/orientation-$v.jpg" "$good/orientation-$v.tif" "$good/orientation-$v.webp"
done

# Colour profiles, assigned (not converted to): the same numbers mean other colours.
convert colours.png -profile p3.icc -quality 95 -sampling-factor 1x1 "$good/p3.jpg"
convert colours.png -profile p3.icc "PNG24:$good/p3.png"
convert colours.png -profile p3lut.icc "PNG24:$good/p3-table.png"
convert colours.png -profile p3.icc -define webp:lossless=true "$good/p3.webp"
convert colours.png -profile p3.icc "BMP:$good/p3.bmp" # a version 5 header embeds it
convert colours.png -profile p3.icc "$good/p3.gif" # in an ICCRGBG1 application extension
convert colours.png -profile adobergb.icc -compress none "$good/adobe-rgb.tif"
convert colours.png -colorspace gray -profile grey.icc -quality 95 "$good/grey.jpg"
# PNGs whose gAMA and cHRM chunks say the colours, without profile: linear light; Display P3's
# primaries alone; and what ImageMagick writes beside sRGB pixels (a 2.2 curve, sRGB primaries).
plainpng() { convert -define png:exclude-chunk=sRGB,iCCP,bKGD,tIME,tEXt,zTXt,date "$@"; }
plainpng colours.png -set gamma 1.0 "PNG24:$good/gamma-1.png"
plainpng colours.png -red-primary 0.68,0.32 -green-primary 0.265,0.69 -blue-primary 0.15,0.06 \
    -white-point 0.3127,0.329 "PNG24:$good/p3-primaries.png"
convert -define png:exclude-chunk=bKGD,tIME,tEXt,zTXt,date colours.png "PNG24:$good/srgb-by-gamma.png"
convert seen.png -colorspace gray -quality 90 "$good/grey-no-profile.jpg"
# A profile whose red colorant is 30000 (what a fuzzer made of one): read through LittleCMS.
cat >absurd.c <<'C'
#include <lcms2.h>
int main(void)
{
    cmsCIExyY white = { 0.3127, 0.3290, 1.0 };
    cmsCIExyYTRIPLE primaries = { { 0.64, 0.33, 1.0 }, { 0.30, 0.60, 1.0 }, { 0.15, 0.06, 1.0 } };
    cmsToneCurve* gamma = cmsBuildGamma(0, 2.2);
    cmsToneCurve* curves[3] = { gamma, gamma, gamma };
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsCIEXYZ huge = { 30000.0, -30000.0, 30000.0 };
    cmsWriteTag(profile, cmsSigRedColorantTag, &huge);
    return !cmsSaveProfileToFile(profile, "absurd.icc");
}
C
cc absurd.c -llcms2 -o absurd && ./absurd
convert -size 9x2 'xc:rgb(200,80,60)' -profile absurd.icc "PNG24:$good/absurd-colorants.png"
# Inks: cyan, magenta, yellow / half black, red (magenta and yellow), white; Adobe's JPEG.
python3 - <<'PY'
blocks = [[(255, 0, 0, 0), (0, 255, 0, 0), (0, 0, 255, 0)],
          [(0, 0, 0, 128), (0, 255, 255, 0), (0, 0, 0, 0)]]
rows = []
for band in blocks:
    for _ in range(8):
        rows.append(b''.join(bytes(c) * 8 for c in band))
open('inks.cmyk', 'wb').write(b''.join(rows))
PY
convert -size 24x16 -depth 8 cmyk:inks.cmyk -profile cmyk.icc -quality 95 -sampling-factor 1x1 \
    "$good/cmyk.jpg"
# The same inks in TIFFs, one stored turned (and compressed).
convert -size 24x16 -depth 8 cmyk:inks.cmyk -profile cmyk.icc -compress none "$good/cmyk.tif"
convert -size 24x16 -depth 8 cmyk:inks.cmyk -rotate 270 -profile cmyk.icc -compress lzw \
    "$good/cmyk-orientation-6.tif"
exiftool -q -overwrite_original -n -Orientation=6 "$good/cmyk-orientation-6.tif"

# HEIF and AVIF, lossless in RGB so that the colours are exact. The turned ones carry their
# orientation in their own boxes and, as phones write, in EXIF too.
heif-enc -L -p chroma=444 --matrix_coefficients=0 colours.png -o "$good/colours.heic" >/dev/null
convert colours.png -profile p3.icc PNG24:p3-for-heif.png
heif-enc -L -p chroma=444 --matrix_coefficients=0 p3-for-heif.png -o "$good/p3.heic" >/dev/null
convert seen.png -rotate 270 ppm:stored-6.ppm
./makeheif stored-6.ppm "$good/orientation-6.heic" 6
./makeheif stored-6.ppm "$good/orientation-6.avif" 6 avif
convert colours.png -depth 8 ppm:colours.ppm
./makeheif colours.ppm "$good/colours.avif" 1 avif
head -c 600 "$good/colours.heic" >"$bad/truncated.heic"
# Files that say 64 x 64 and code 2048 x 2048 (their size rewritten after encoding): libheif
# decodes what the stream codes.
python3 -c "
import sys; sys.stdout.buffer.write(b'P6 2048 2048 255\\n' + bytes([51, 102, 153]) * (2048 * 2048))" >flat.ppm
./makeheif flat.ppm flat.heic 1
./makeheif flat.ppm flat.avif 1 avif
for kind in heic avif; do
    python3 -c "
d = bytearray(open('flat.$kind', 'rb').read()); i = d.find(b'ispe') + 8
d[i:i + 8] = (64).to_bytes(4, 'big') * 2
open('$bad/coded-larger-than-said.$kind', 'wb').write(d)"
done

# GIFs: without the trailer, with bytes after it, animated (red, then blue).
convert seen.png "$work/seen.gif"
head -c -1 seen.gif >"$good/no-trailer.gif"
{ cat seen.gif; printf 'bytes a writer left after the end'; } >"$good/trailing-bytes.gif"
convert -delay 10 seen.png \( seen.png -fill blue -colorize 100 \) "$good/animated.gif"
head -c -30 "$good/animated.gif" >"$good/animated-cut-in-second-frame.gif"

# An icon and a cursor of three sizes; the largest (48 x 48) is blue.
block red i16.png; convert -size 48x48 xc:blue i48.png; convert -size 32x32 xc:lime i32.png
convert i16.png i48.png i32.png "$good/three-sizes.ico"
python3 -c "
d = bytearray(open('$good/three-sizes.ico', 'rb').read()); d[2] = 2
open('$good/three-sizes.cur', 'wb').write(d)"

# 16-bit BMPs, written byte by byte.
python3 "$here/bmp16.py" "$good"

# TGA: one Qt's reader would turn upside down, one it would take for a cursor.
convert seen.png -type truecolor -compress none "$bad/no-footer.tga"
{ cat "$bad/no-footer.tga"; printf '\0\0\0\0\0\0\0\0TRUEVISION-XFILE.\0'; } >"$bad/version-2.tga"

# PNGs that browsers decode otherwise than mosaiq-cli, which the page's module decodes itself:
# 16 bits a channel whose low bytes matter (colour with alpha, and grey), and a palette with
# transparent entries.
nodates() { convert -define png:exclude-chunk=bKGD,tIME,tEXt,zTXt,date "$@"; }
nodates -size 48x24 gradient:'rgb(3,250,17)-rgb(251,9,130)' \( -size 24x48 gradient: -rotate 90 \) \
    -alpha off -compose copy_opacity -composite -depth 16 "PNG64:$good/sixteen-bits.png"
nodates -size 24x48 gradient:'gray(7)-gray(249)' -depth 16 -define png:color-type=0 \
    "$good/sixteen-bits-grey.png"
convert seen.png -transparent lime -channel A -fx 'i<4 ? 0.5 : a' +channel r.png -transparent red \
    -delete 1 "$work/half.png"
nodates "$work/half.png" "PNG8:$good/indexed-transparent.png"
