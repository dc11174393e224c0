#!/usr/bin/env bash
# Installs the Debian packages Mosaiq builds, runs and tests with. Safe to run again.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-webengine-dev qt6-image-formats-plugins qt6-qpa-plugins libgl-dev
    libheif-dev liblcms2-dev libjpeg-dev libtiff-dev zlib1g-dev libpng-dev libisal-dev
    libgtest-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    fonts-dejavu-core
    # The glyphs' shapes, drawn from those fonts at build time (src/convert/generator).
    libfreetype-dev
    # Qt's French texts, and the Wayland platform, as the installed program loads them.
    qt6-translations-l10n qt6-wayland
    # The Debian package and its checks (scripts/package.sh, scripts/test-package.sh, CTest).
    dpkg-dev desktop-file-utils appstream lintian librsvg2-bin
    # Looking at the window without a screen (scripts/screenshots.sh, scripts/test-package.sh,
    # the large-text runs of the window's tests); xvfb-run needs xauth, which xvfb only
    # recommends.
    xvfb xauth xdotool x11-apps imagemagick
    # Real photos for the forum benchmark (bench/cli/forum_bench.cpp).
    mate-backgrounds
    # The page in the browser: its module (scripts/web.sh), its tests in a real browser, its zip;
    # the module's decoders: stb_image, and libjpeg-turbo built from its source (dpkg-source).
    emscripten chromium zip libstb-dev
    # GNU time: mosaiq-cli's processor time beside the page's (bench/web/web_bench.js).
    time
)
# The browser tests' npm packages (tests/web); a node already installed brings its own npm.
if ! command -v npm >/dev/null; then
    packages+=(nodejs npm)
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
# scripts/web.sh builds libjpeg-turbo for the module from Debian's source package: the lists of
# sources beside those of packages.
sources=/etc/apt/sources.list.d/mosaiq-sources.sources
if ! grep -rqs "deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    $sudo tee "$sources" >/dev/null <<'LIST'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
LIST
    $sudo apt-get update
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
