#!/bin/bash
# Installs a built tree into a scratch DESTDIR and checks what a desktop
# reads: the files in their places, the desktop entry and the metainfo valid,
# and the installed executable starting and ending with 0 under Xvfb. Then
# builds the Debian package and checks its dependencies (the Qt 6 runtime)
# and that it lays out exactly the same files.
# Usage: install_and_package.sh BUILD_DIR
. "$(dirname "$0")/../e2e/lib.sh"
build=$1
for tool in desktop-file-validate appstreamcli cpack dpkg-deb dpkg-shlibdeps file identify; do
  command -v "$tool" > /dev/null || skip "$tool is not installed"
done
id=org.zembrix.Zembrix
root=$e2e_work/root
DESTDIR=$root cmake --install "$build" --prefix /usr > "$e2e_work/install.log" || {
  cat "$e2e_work/install.log"
  fail "cmake --install failed"
}
expected="usr/bin/zembrix
usr/share/applications/$id.desktop
usr/share/doc/zembrix/copyright
usr/share/icons/hicolor/128x128/apps/$id.png
usr/share/icons/hicolor/256x256/apps/$id.png
usr/share/icons/hicolor/48x48/apps/$id.png
usr/share/metainfo/$id.metainfo.xml"
installed=$(cd "$root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$installed" = "$(echo "$expected" | LC_ALL=C sort)" ] || fail "installed files differ: $installed"
for side in 48 128 256; do
  [ "$(identify -format '%m %wx%h' "$root/usr/share/icons/hicolor/${side}x$side/apps/$id.png")" = "PNG ${side}x$side" ] ||
    fail "the $side icon is not a $side x $side PNG"
done
desktop-file-validate "$root/usr/share/applications/$id.desktop" | grep -v ': hint:' | grep . && fail "desktop entry not valid"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" > "$e2e_work/appstream.log" 2>&1 || {
  cat "$e2e_work/appstream.log"
  fail "metainfo not valid"
}
grep -q "<release version=\"$(sed -nE 's/^FILEVERSION +([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+).*/\1.\2.\3.\4/p' \
  "$(dirname "$0")/../../resources/zembrix.rc")\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo's release is not the resource file's version"
echo "installed tree, desktop entry and metainfo valid"

start_display
start_app "$root/usr/bin/zembrix"
menu_pick 15 75  # File > Exit
expect_exit 0
echo "the installed zembrix started, showed its window and ended with 0"

(cd "$build" && cpack -G DEB -B "$e2e_work/package" > "$e2e_work/cpack.log" 2>&1) || {
  cat "$e2e_work/cpack.log"
  fail "cpack failed"
}
deb=$(ls "$e2e_work"/package/zembrix_*.deb)
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6; do
  echo "$depends" | grep -q "$lib" || fail "the package does not depend on $lib"
done
# Wayland's platform is only suggested: the X11 road needs none of it.
! echo "$depends" | grep -qi wayland || fail "the package depends on Wayland: $depends"
[ "$(dpkg-deb --field "$deb" Suggests)" = qt6-wayland ] || fail "the package does not suggest qt6-wayland"
dpkg-deb -x "$deb" "$e2e_work/unpacked"
packed=$(cd "$e2e_work/unpacked" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$packed" = "$installed" ] || fail "the package's files differ from the installed ones: $packed"
echo "PASS: $(basename "$deb") lays out the installed files"
