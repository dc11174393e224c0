#!/usr/bin/env bash
# Makes the README's pictures again, from the window itself under Xvfb: a run on the photo
# docs/chelsea.jpg, then
#   docs/window.png               the window after the run,
#   docs/page-beside-picture.png  the page, as the preview shows it, beside the photo.
# With --scales FOLDER it shoots the window after the same run at 150 % and 200 %
# (QT_SCALE_FACTOR), with large text (QT_FONT_DPI 120), with larger fonts alone (120, 144 and
# 192 dpi, Qt's own scaling off: the window grows with its text) and with 144 dpi at 150 % into
# FOLDER instead, to see that nothing is cut. The display number is MOSAIQ_DISPLAY (default :7).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
display="${MOSAIQ_DISPLAY:-:7}"
photo="$root/docs/chelsea.jpg"
scales=""
if [ "${1:-}" = "--scales" ]; then
    scales="${2:?--scales needs a folder}"
    mkdir -p "$scales"
fi

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target mosaiq >/dev/null
program="$root/build/src/app/mosaiq"
page="$root/build/src/app/temp.html"

work="$(mktemp -d)"
Xvfb "$display" -screen 0 2880x1800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
window_pid=""
cleanup() {
    [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
sleep 1
export DISPLAY="$display"
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
# The preview's web engine refuses to start its sandbox as root.
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi

# Runs the window on the photo with the environment given ("NAME=value"...), clicking at the
# window's usual positions times the scale ("auto": the window's width over its usual 735
# pixels); leaves the window open and its id in $window.
run_window() {
    local scale="$1"
    shift
    at() { xdotool mousemove --window "$window" "$(awk "BEGIN { print int($1 * $scale) }")" \
        "$(awk "BEGIN { print int($2 * $scale) }")" click "${3:-1}"; }
    rm -f "$page"
    env "$@" "$program" >"$work/window.log" 2>&1 &
    window_pid=$!
    window="$(timeout 30 xdotool search --sync --all --pid "$window_pid" --name 'Mosaiq \[' | head -n 1)"
    sleep 2
    if [ "$scale" = auto ]; then
        eval "$(xdotool getwindowgeometry --shell "$window")"
        scale="$(awk "BEGIN { print $WIDTH / 735 }")"
    fi
    at 536 143 # "..." beside the picture's path
    timeout 15 xdotool search --sync --onlyvisible --name '^Ouvrir' >/dev/null
    sleep 1
    xdotool type --delay 20 "$photo"
    xdotool key Return
    sleep 1
    # Square mode: solid cells show a photo best.
    at 416 96
    # A size that fills the preview with the photo's proportions, in cells of about 6.4 by 11
    # pixels.
    at 80 174 && xdotool key ctrl+a && xdotool type "100"
    at 144 174 && xdotool key ctrl+a && xdotool type "38"
    xdotool windowfocus --sync "$window"
    xdotool key ctrl+d
    for _ in $(seq 60); do
        tail -c 40 "$page" 2>/dev/null | grep -q '</HTML>' && break
        sleep 1
    done
    sleep 3 # the preview draws the page
}

shoot_window() {
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xwd -root -silent | convert xwd:- -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1"
}

close_window() {
    kill "$window_pid"
    wait "$window_pid" 2>/dev/null || true
    window_pid=""
}

if [ -n "$scales" ]; then
    run_window 1.5 QT_SCALE_FACTOR=1.5 && shoot_window "$scales/window-scale-150.png" && close_window
    run_window 2 QT_SCALE_FACTOR=2 && shoot_window "$scales/window-scale-200.png" && close_window
    # Large text as a desktop sets it (a higher font DPI): Qt 6 scales the whole window with it.
    run_window 1.25 QT_FONT_DPI=120 && shoot_window "$scales/window-font-dpi-120.png" && close_window
    # Larger fonts alone, Qt's own scaling off: the window grows with its text.
    for dpi in 120 144 192; do
        run_window auto QT_ENABLE_HIGHDPI_SCALING=0 QT_FONT_DPI=$dpi \
            && shoot_window "$scales/window-fonts-only-$dpi.png" && close_window
    done
    run_window auto QT_ENABLE_HIGHDPI_SCALING=0 QT_FONT_DPI=144 QT_SCALE_FACTOR=1.5 \
        && shoot_window "$scales/window-fonts-only-144-scale-150.png" && close_window
    ls "$scales"/window-*.png
    exit 0
fi

run_window 1
shoot_window "$root/docs/window.png"
# The preview pane, as the window shows it, beside the photo at the same height.
eval "$(xdotool getwindowgeometry --shell "$window")"
xwd -root -silent | convert xwd:- -crop "690x448+$((X + 18))+$((Y + 234))" +repage "$work/page.png"
close_window
convert "$photo" -resize x448 "$work/photo.png"
convert "$work/photo.png" "$work/page.png" -background white -splice 16x0 +append \
    -bordercolor white -border 16 "$root/docs/page-beside-picture.png"
ls "$root/docs/window.png" "$root/docs/page-beside-picture.png"
