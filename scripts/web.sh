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
# The module decodes JPEG with the libjpeg-turbo that mosaiq-cli links, built from Debian's source
# of it (apt-get source: scripts/install-deps.sh lists the sources) without its vector
# instructions, whose islow decode gives the same bytes as its plain C.
jpeg="$build/libjpeg-turbo"
if [ ! -f "$jpeg/lib/libjpeg.a" ]; then
    rm -rf "$jpeg" && mkdir -p "$jpeg/source" "$jpeg/include" "$jpeg/lib"
    (cd "$jpeg/source" && apt-get source --download-only libjpeg-turbo >/dev/null 2>&1 \
        && dpkg-source -x ./libjpeg-turbo_*.dsc tree >/dev/null)
    # Its checks of type sizes fail under emscripten; a WebAssembly module's are those of 32 bits.
    emcmake cmake -S "$jpeg/source/tree" -B "$jpeg/build" -DCMAKE_BUILD_TYPE=Release \
        -DENABLE_SHARED=0 -DWITH_SIMD=0 -DWITH_TURBOJPEG=0 -DSIZE_T=4 -DUNSIGNED_LONG=4 \
        "${launcher[@]/CXX/C}" >/dev/null
    nice cmake --build "$jpeg/build" -j2 --target jpeg-static >/dev/null
    cp "$jpeg/source/tree/"{jpeglib.h,jmorecfg.h,jerror.h} "$jpeg/build/jconfig.h" "$jpeg/include/"
    cp "$jpeg/build/libjpeg.a" "$jpeg/lib/"
fi
if ! grep -qs "^JPEG_LIBRARY" "$build/CMakeCache.txt"; then
    emcmake cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
        -DJPEG_INCLUDE_DIR="$jpeg/include" -DJPEG_LIBRARY="$jpeg/lib/libjpeg.a" >/dev/null
fi
nice cmake --build "$build" -j2 --target mosaiq-web

# The site: the page's files as they are, and the worker's (the module's script, then the
# messages, the bridge and the worker's scripts) twice: as worker.js, which a page served over
# http starts by its path, and as a string in worker-source.js, which the page turns into a Blob
# where it may not (from the disk, or a host whose policy refuses it).
site="$build/site"
mkdir -p "$site"
cp "$root/src/web/index.html" "$root/src/web/mosaiq.css" "$root/src/web/preview.js" "$site/"
# The page's script, kept in small files by concern, joined in this order into one after the
# messages it shares with the workers: each uses what those before it define.
page=(common workers run results controls install)
for part in ../protocol "${page[@]}"; do cat "$root/src/web/page/$part.js"; done >"$site/page.js"
# The worker's, joined after the module's script in the same way.
worker=()
for part in outputs picture thumbnail run main; do worker+=("$root/src/web/worker/$part.js"); done
node -e '
const fs = require("fs");
const [file, string, ...parts] = process.argv.slice(1);
const source = parts.map((part) => fs.readFileSync(part, "utf8")).join("\n");
fs.writeFileSync(file, source);
fs.writeFileSync(string, "window.MosaiqWorkerSource = " + JSON.stringify(source) + ";\n");
' "$site/worker.js" "$site/worker-source.js" "$build/src/web/mosaiq-web.js" \
    "$root/src/web/protocol.js" "$root/src/web/engine.js" "${worker[@]}"
# The sample photo, as a script that the page loads when asked: from the disk, a page may fetch
# nothing. src/web/sample.jpg is docs/chelsea.jpg (Chelsea the cat, by Stefan van der Walt, CC0)
# at 300 x 200, made with ImageMagick: convert -resize 300x200 -strip -quality 82.
printf 'window.MosaiqSample = "%s";\n' "$(base64 -w0 "$root/src/web/sample.jpg")" >"$site/sample.js"
# The page's texts, which live with the engine's words: asked of the module once, here.
node -e '
const [module, out] = process.argv.slice(1);
require(module)().then((mosaiq) => {
    const words = mosaiq.UTF8ToString(mosaiq._mosaiq_page_words());
    JSON.parse(words);
    require("fs").writeFileSync(out, "window.MosaiqWords = " + words + ";\n");
});
' "$build/src/web/mosaiq-web.js" "$site/words.js"
# Installed from a secure origin: the manifest, the icons, and the service worker, told the site's
# files and their version, a digest of them all, so that it keeps one version whole.
cp "$root/src/web/manifest.webmanifest" "$site/"
mkdir -p "$site/icons"
cp "$root/data/icons/mosaiq.svg" "$site/icons/"
for icon in 48x48:48 48x48@2:96 128x128:128 256x256:256 256x256@2:512; do
    cp "$root/data/icons/${icon%:*}/mosaiq.png" "$site/icons/mosaiq-${icon#*:}.png"
done
files=(index.html mosaiq.css preview.js page.js words.js worker.js worker-source.js sample.js
    manifest.webmanifest icons/mosaiq.svg icons/mosaiq-{48,96,128,256,512}.png)
version="$(cd "$site" && cat "${files[@]}" | sha256sum | cut -c1-16)"
{
    printf 'const SiteVersion = "%s";
' "$version"
    printf 'const SiteFiles = ["./"%s];
' "$(printf ', "%s"' "${files[@]}")"
    cat "$root/src/web/sw.js"
} >"$site/sw.js"
echo "Site : $site/index.html"
