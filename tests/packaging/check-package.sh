#!/bin/sh
# Builds the Debian package from a built tree and checks what it holds:
# the program, kivtable, the desktop entry with its icon, the example
# /etc/kiv/Ostrel.ini as a conffile, and the declared Qt dependencies.
# Usage: check-package.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack -G DEB failed"; }
deb=$(ls "$work"/kiv_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no kiv_*.deb written"

dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/files"
for path in ./usr/bin/kiv ./usr/bin/kivtable ./usr/share/applications/kiv.desktop \
            ./usr/share/icons/hicolor/48x48/apps/kiv.png \
            ./usr/share/icons/hicolor/256x256/apps/kiv.png ./etc/kiv/Ostrel.ini; do
    grep -qx "$path" "$work/files" || fail "$path missing from the package"
done

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins; do
    echo "$depends" | grep -q "$dep" || fail "Depends lacks $dep: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = kiv ] || fail "package name"

dpkg-deb -I "$deb" conffiles | grep -qx /etc/kiv/Ostrel.ini \
    || fail "/etc/kiv/Ostrel.ini is not a conffile"

dpkg-deb -x "$deb" "$work/root"
grep -qx 'Exec=kiv' "$work/root/usr/share/applications/kiv.desktop" || fail "desktop Exec"
grep -qx 'Icon=kiv' "$work/root/usr/share/applications/kiv.desktop" || fail "desktop Icon"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$work/root/usr/share/applications/kiv.desktop" || fail "desktop entry"
fi
grep -q '^KivpcDir=' "$work/root/etc/kiv/Ostrel.ini" || fail "Ostrel.ini has no KivpcDir"
head -c 8 "$work/root/usr/share/icons/hicolor/256x256/apps/kiv.png" | od -An -c | grep -q 'P   N   G' \
    || fail "the icon is not a PNG"
# The packed tool runs: it lists a directory's table files.
"$work/root/usr/bin/kivtable" check "$work" >/dev/null 2>&1 || true
[ -x "$work/root/usr/bin/kiv" ] || fail "kiv is not executable"
echo "package ok: $(basename "$deb")"
