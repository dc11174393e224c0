#!/usr/bin/env bash
# Builds the Debian package build-package/mosaiq_<version>_amd64.deb with CPack: a release build
# with Debian's hardening flags, only the two programs, mosaiq-cli's module and their documents,
# stripped. Then lintian reads it (when it is installed): an error fails. Beside it, the page in
# the browser as build-package/mosaiq-web_<version>.zip (scripts/web.sh). Prints the package's
# path last.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-package"
"$root/scripts/install-deps.sh"

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMOSAIQ_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DCMAKE_MODULE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j"$(nproc)" --target mosaiq mosaiq-cli mosaiq_data >"$build/build.log" 2>&1 || {
    tail -n 40 "$build/build.log" >&2
    exit 1
}
rm -f "$build"/mosaiq_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package="$(ls "$build"/mosaiq_*_amd64.deb)"

version="$(sed -n 's/^project(Mosaiq VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
"$root/scripts/web.sh" >/dev/null
rm -f "$build"/mosaiq-web_*.zip
(cd "$root/build-web" && rm -rf "mosaiq-web_$version" && cp -r site "mosaiq-web_$version" \
    && zip -qr "$build/mosaiq-web_$version.zip" "mosaiq-web_$version" \
    && rm -r "mosaiq-web_$version")

if command -v lintian >/dev/null; then
    # Errors fail the build; every tag down to the pedantic ones is shown.
    lintian --fail-on error --display-info --pedantic "$package" >&2
fi
echo "$package"
