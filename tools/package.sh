#!/usr/bin/env bash
# Builds the two release packages into build/dist/:
#   parcelo-<version>-win64.zip    the folder parcelo/ (parcelo.exe, LIESMICH.txt,
#                                  parcelo.ini.beispiel) and SHA256SUMS beside it
#   parcelo_<version>-<rev>_amd64.deb   made by dpkg-buildpackage from debian/
#   SHA256SUMS                     of both
# Both programs are optimised, without sanitizers, and stripped. The Debian build
# runs in a copy of the sources under build/deb/, so that neither the tree nor its
# parent directory gets the build's output.
# PARCELO_EXE_BUILD=build/windows takes parcelo.exe from that build instead of the
# windows-release preset: -O2 as well, and stripped of its debug information it is
# the same file, so a test run that has built it already need not build it again.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh

install_missing cmake g++ g++-mingw-w64-x86-64-posix debhelper dpkg-dev lintian zip unzip man-db ||
    { echo "package installation failed" >&2; exit 1; }

VERSION=$(sed -n 's/^project(parcelo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
DEB_VERSION=$(dpkg-parsechangelog -S Version)
if [ "${DEB_VERSION%-*}" != "$VERSION" ]; then
    echo "debian/changelog is at $DEB_VERSION, CMakeLists.txt at $VERSION" >&2
    exit 1
fi
ARCH=$(dpkg --print-architecture)
DIST=build/dist
ZIP=parcelo-$VERSION-win64.zip
DEB=parcelo_${DEB_VERSION}_$ARCH.deb
# File times in the zip come from the changelog, not from the moment of the build.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -S Timestamp)

rm -rf "$DIST"
mkdir -p "$DIST"

# Windows users read text files in Notepad: Windows-1252 with CR LF.
windows_text() {
    iconv -f UTF-8 -t CP1252 "$1" | sed 's/$/\r/' >"$2"
}

build_zip() {
    echo "== parcelo.exe"
    local exe_build=${PARCELO_EXE_BUILD:-build/windows-release}
    if [ -z "${PARCELO_EXE_BUILD:-}" ]; then
        cmake --preset windows-release >/dev/null
    fi
    cmake --build "$exe_build" --target parcelo -j"$(nproc)"
    local stage=build/zip
    rm -rf "$stage"
    mkdir -p "$stage/parcelo"
    x86_64-w64-mingw32-strip -o "$stage/parcelo/parcelo.exe" "$exe_build/parcelo.exe"
    windows_text packaging/LIESMICH.txt "$stage/parcelo/LIESMICH.txt"
    windows_text packaging/parcelo.ini.beispiel "$stage/parcelo/parcelo.ini.beispiel"
    (cd "$stage" && sha256sum parcelo/parcelo.exe parcelo/LIESMICH.txt parcelo/parcelo.ini.beispiel >SHA256SUMS)
    find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    (cd "$stage" && zip -q -X -r "../../$DIST/$ZIP" parcelo SHA256SUMS)
}

build_deb() {
    echo "== parcelo (Debian package)"
    local work=build/deb source_dir
    source_dir=$work/parcelo-$VERSION
    rm -rf "$work"
    mkdir -p "$source_dir"
    cp -r app mailbox message platform ui cmake packaging debian CMakeLists.txt CMakePresets.json README.md \
        "$source_dir/"
    (cd "$source_dir" && DEB_BUILD_OPTIONS="parallel=$(nproc) noddebs" dpkg-buildpackage -b -us -uc)
    cp "$work/$DEB" "$DIST/"
}

build_zip
build_deb
(cd "$DIST" && sha256sum "$ZIP" "$DEB" >SHA256SUMS)
echo "== written:"
ls -l "$DIST"
