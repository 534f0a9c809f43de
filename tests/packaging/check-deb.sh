#!/usr/bin/env bash
# check-deb.sh <cpack> <build folder> <output folder> <version>
# Makes the Debian package as `cpack -G DEB` in the build folder does, and checks what apt and
# dpkg would see: dependencies worked out from the program, the fonts recommended, and the
# program, its translations and its desktop files under /usr, where the desktop looks for them,
# with the browser extension and Firefox's host manifest for all users, and the GNOME Shell
# extension: both copies for `korvalen --gnome-extension install`, one where GNOME Shell looks.
set -euo pipefail
cpack=$1 build=$2 out=$3 version=$4

rm -rf "$out"
mkdir -p "$out"
if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log"
    exit 1
fi
deb="$out/korvalen_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "FAIL: cpack made no $deb"; ls "$out"; exit 1; }
dpkg-deb --info "$deb"

failures=0
expect() { # <what> <text> <what the text must contain>
    if [[ $2 != *"$3"* ]]; then
        echo "FAIL: $1 has no $3"
        failures=$((failures + 1))
    fi
}
depends=$(dpkg-deb --field "$deb" Depends)
expect Depends "$depends" "libqt6widgets6 (>="
expect Depends "$depends" "libc6 (>="
recommends=$(dpkg-deb --field "$deb" Recommends)
expect Recommends "$recommends" fonts-noto-cjk
expect Recommends "$recommends" fonts-noto-core

files=$(dpkg-deb --contents "$deb" | awk '{ print $6 }')$'\n'
for file in \
    ./usr/bin/korvalen \
    ./usr/bin/korvalen-browser-host \
    ./usr/share/korvalen/browser-extension/manifest.json \
    ./usr/share/korvalen/browser-extension/background.js \
    ./usr/share/korvalen/korvalen-browser-extension.crx \
    ./usr/share/korvalen/korvalen-browser-extension.xpi \
    ./usr/share/korvalen/browser-extension-update.xml \
    ./usr/share/korvalen/native-messaging-host-chromium.json \
    ./usr/lib/mozilla/native-messaging-hosts/io.github.korvalen.browser_host.json \
    ./usr/share/korvalen/gnome-shell/43/metadata.json \
    ./usr/share/korvalen/gnome-shell/43/extension.js \
    ./usr/share/korvalen/gnome-shell/45/metadata.json \
    ./usr/share/korvalen/gnome-shell/45/extension.js \
    ./usr/share/gnome-shell/extensions/korvalen@korvalen.github.io/metadata.json \
    ./usr/share/gnome-shell/extensions/korvalen@korvalen.github.io/extension.js \
    ./usr/share/korvalen/Korvalen_Korvalen.bundle/de.lproj/Localizable.strings \
    ./usr/share/korvalen/Korvalen_Korvalen.bundle/zh-Hans.lproj/Localizable.strings \
    ./usr/share/applications/io.github.korvalen.Korvalen.desktop \
    ./usr/share/metainfo/io.github.korvalen.Korvalen.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/io.github.korvalen.Korvalen.svg \
    ./usr/share/icons/hicolor/symbolic/apps/io.github.korvalen.Korvalen-symbolic.svg; do
    expect "the package" "$files" "$file"$'\n'
done
# The files that name installed paths name them under /usr, where the package puts them, not
# under the prefix the build folder was configured with.
packaged() { dpkg-deb --fsys-tarfile "$deb" | tar -xOf - "$1"; }
expect "Firefox's host manifest" \
    "$(packaged ./usr/lib/mozilla/native-messaging-hosts/io.github.korvalen.browser_host.json)" \
    '"path": "/usr/bin/korvalen-browser-host"'
expect "the update manifest" "$(packaged ./usr/share/korvalen/browser-extension-update.xml)" \
    "codebase='file:///usr/share/korvalen/korvalen-browser-extension.crx'"
# A file outside /usr comes from an install rule with an absolute destination, which ignores
# the prefix: `cmake --install --prefix ~/.local` would write it outside the home folder too.
# So the package has no host manifests for Chromium and Google Chrome, which read those for all
# users from /etc only (and files in /etc would be conffiles, which dpkg keeps on removal):
# `korvalen --browser-integration install` writes the user's own.
if outside=$(grep -v -e '^\./$' -e '^\./usr/' -e '^$' <<<"$files"); then
    echo "FAIL: files outside /usr:"$'\n'"$outside"
    failures=$((failures + 1))
fi
exit $((failures > 0))
