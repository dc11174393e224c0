#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get, and uses it as a person would: a
# throwaway ordinary user, in a throwaway folder with no build folder anywhere near, converts a
# picture with mosaiq-cli, then opens the window under Xvfb, chooses the picture in its file
# dialog, runs "Créer (CTRL+D)" and finds the page in ~/.cache/mosaiq/. A second window must take
# its own page. Every file the running window and its web engine map must come from a package
# that mosaiq depends on. Afterwards the user, the folder and the package are removed.
# Run as root (it installs); the display number is MOSAIQ_TEST_DISPLAY (default :7).
set -euo pipefail
export LC_ALL=C.UTF-8
root="$(cd "$(dirname "$0")/.." && pwd)"
display="${MOSAIQ_TEST_DISPLAY:-:7}"
user="mosaiq-essai"
failures=0

step() { echo "== $*"; }
pass() { echo "   ok: $*"; }
fail() {
    echo "   ÉCHEC: $*"
    failures=$((failures + 1))
}

if [ "$(id -u)" -ne 0 ]; then
    echo "scripts/test-package.sh installs a package: run it as root." >&2
    exit 2
fi

step "Package"
package="$("$root/scripts/package.sh" | tail -n 1)"
echo "   $package"

work="$(mktemp -d /tmp/mosaiq-package-test.XXXXXX)"
xvfb=""
cleanup() {
    set +e
    pkill -u "$user" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    sleep 1
    pkill -KILL -u "$user" 2>/dev/null
    id "$user" >/dev/null 2>&1 && userdel --remove "$user" 2>/dev/null
    rm -rf "$work"
    if dpkg-query -W -f='${Status}' mosaiq 2>/dev/null | grep -q "install ok installed"; then
        step "Removing the package"
        apt-get purge -y mosaiq >/dev/null 2>&1 && pass "mosaiq removed"
    fi
}
trap cleanup EXIT

step "Installing with apt-get"
# apt reads a local package as its own unprivileged user: hand it a copy it may read.
chmod 755 "$work"
cp "$package" "$work/"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y "$work/$(basename "$package")" >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log"
    exit 1
}
dpkg-query -W -f='   ${Package} ${Version} installed\n' mosaiq
for program in mosaiq mosaiq-cli; do
    [ "$(command -v $program)" = "/usr/bin/$program" ] && pass "$program is /usr/bin/$program" \
        || fail "$program is not in /usr/bin"
done
for page in mosaiq mosaiq-cli; do
    man -w "$page" >/dev/null 2>&1 && pass "man $page" || fail "no manual page for $page"
done

useradd --create-home --shell /bin/bash "$user"
home="$(getent passwd "$user" | cut -d: -f6)"
folder="$home/essai"
as_user() { runuser -u "$user" -- env HOME="$home" "$@"; }
as_user mkdir -p "$folder"
# A name with a space, accents and quotes, as people name their pictures.
picture="$folder/l'été \"rouge\" photo.png"
cp "$root/samples/mosaiq-sample.png" "$picture"
chown "$user:" "$picture"

step "mosaiq-cli as $user, in $folder"
if (cd "$folder" && as_user mosaiq-cli "$picture" --columns 40 --rows 20 -o page.html); then
    head -c 40 "$folder/page.html" | grep -q '^<HTML><HEAD><Title>apercu' \
        && pass "page.html written ($(wc -c <"$folder/page.html") bytes)" \
        || fail "page.html is not a page"
else
    fail "mosaiq-cli failed ($?)"
fi

step "The window under Xvfb $display"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -ac >"$work/xvfb.log" 2>&1 &
xvfb=$!
sleep 1
export DISPLAY="$display"
# The web engine's sandbox maps the user into namespaces of its own. Where a container forbids
# that, its pages never render: the preview's web engine then runs without its sandbox, for this
# test only. A desktop's Debian 12 allows it.
window_env=(DISPLAY="$display" XDG_RUNTIME_DIR="$work/runtime" QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu)
if ! as_user unshare --user --map-root-user --pid --net --fork true 2>/dev/null; then
    window_env+=(QTWEBENGINE_DISABLE_SANDBOX=1)
    echo "   (no user namespaces here: the web engine runs without its sandbox)"
fi
install -d -m 700 -o "$user" "$work/runtime"
(cd "$folder" && as_user "${window_env[@]}" mosaiq >"$work/window.log" 2>&1 &)
window="$(timeout 30 xdotool search --sync --name 'Mosaiq \[' | head -n 1)" || true
if [ -z "$window" ]; then
    fail "the window did not open"
    cat "$work/window.log"
    exit 1
fi
pass "window $window: $(xdotool getwindowname "$window")"

# The "..." button beside "Chemin de l'image", then the picture chosen in the dialog's list:
# a click on the list's empty part, the first letters of the name, Enter. (Typed into the name
# field, a name with a double quote would read as several names to Qt's dialog.)
sleep 2
xdotool mousemove --window "$window" 536 143 click 1
dialog="$(timeout 15 xdotool search --sync --onlyvisible --name '^Ouvrir' | head -n 1)" || true
if [ -n "$dialog" ]; then
    pass "file dialog \"$(xdotool getwindowname "$dialog")\""
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    sleep 1
    xdotool mousemove --window "$dialog" $((WIDTH * 3 / 5)) $((HEIGHT * 3 / 5)) click 1
    xdotool type --delay 50 "l'ét"
    xdotool key Return
else
    fail "no file dialog named \"Ouvrir\""
fi
sleep 2
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key ctrl+d
page="$home/.cache/mosaiq/temp.html"
for _ in $(seq 60); do
    tail -c 40 "$page" 2>/dev/null | grep -q '</HTML>' && break
    sleep 1
done
if tail -c 40 "$page" 2>/dev/null | grep -q '</HTML>'; then
    pass "$page written ($(wc -l <"$page") lines), owned by $(stat -c %U "$page")"
else
    fail "no finished page in $home/.cache/mosaiq"
fi
# The preview shows the page: its black background fills the pane that was white.
eval "$(xdotool getwindowgeometry --shell "$window")"
for _ in $(seq 20); do
    xwd -root -silent | convert xwd:- -crop "600x300+$((X + 60))+$((Y + 260))" -colorspace gray \
        -format '%[fx:mean]' info:- >"$work/mean"
    awk '{ exit !($1 < 0.5) }' "$work/mean" && break
    sleep 1
done
awk '{ exit !($1 < 0.5) }' "$work/mean" && pass "the preview shows the page" \
    || {
        fail "the preview stayed blank (mean grey $(cat "$work/mean"))"
        tail -n 20 "$work/window.log"
    }
if [ -n "${MOSAIQ_TEST_SHOT:-}" ]; then
    xwd -root -silent | convert xwd:- "$MOSAIQ_TEST_SHOT" && echo "   screenshot: $MOSAIQ_TEST_SHOT"
fi

step "A second window at the same time"
(cd "$folder" && as_user "${window_env[@]}" mosaiq >"$work/window2.log" 2>&1 &)
for _ in $(seq 30); do
    [ -e "$home/.cache/mosaiq/.temp-2.html.lock" ] && break
    sleep 1
done
[ -e "$home/.cache/mosaiq/.temp-2.html.lock" ] && pass "it holds temp-2.html" \
    || fail "the second window took no page of its own"

step "Every file the windows map comes from mosaiq's dependencies"
closure="$(apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances mosaiq | grep -v '^ ' | sed 's/:.*//' | sort -u)"
mapped="$(for pid in $(pgrep -u "$user"); do
    awk '$6 ~ /^\// { print $6 }' "/proc/$pid/maps" 2>/dev/null || true
done | sort -u)"
# Files no package owns (the locale archive, font caches, the user's own) are left out.
owners="$( (echo "$mapped" | xargs -r dpkg -S 2>/dev/null || true) | sed 's/: \/.*//' \
    | tr ',' '\n' | sed 's/^ *//; s/:.*//' | sort -u)"
# Essential packages are on every Debian system; fontconfig takes whichever fonts are there, the
# dependency only makes sure one sans-serif is; Qt's X11 plugin opens libXcursor when it is
# there, for themed cursors, and does without it.
essential="$(dpkg-query -W -f='${Package} ${Essential}\n' | awk '$2 == "yes" { print $1 }')"
known="$(printf '%s\n' $essential libxcursor1 | sort -u)"
missing="$(comm -23 <(echo "$owners" | grep -v '^fonts-') <(sort -u <(echo "$closure") <(echo "$known")))"
echo "   $(echo "$mapped" | wc -l) files mapped, from $(echo "$owners" | wc -l) packages"
[ -z "$missing" ] && pass "all of them" || fail "not among the dependencies: $(echo $missing)"

echo
if [ "$failures" -eq 0 ]; then
    echo "Paquet vérifié : tout va bien."
else
    echo "Paquet vérifié : $failures échec(s)."
fi
[ "$failures" -eq 0 ]
