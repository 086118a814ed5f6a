#!/usr/bin/env bash
# Installs the build into a scratch root and packs it as a .deb, then validates what a desktop and
# Debian expect of them: the desktop entry, the AppStream metadata, the udev rule, the package's
# files and its library dependencies.
#   check-package.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1
work=$2
for tool in desktop-file-validate appstreamcli dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 77; }
done

root=$work/root
rm -rf "$root" "$work/deb" && mkdir -p "$root"
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

app=org.torvan.TorvanReader
desktop-file-validate "$root/usr/share/applications/$app.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml"
grep -q 'SUBSYSTEM=="hidraw", ATTRS{idVendor}=="051a", ATTRS{idProduct}=="511b", TAG+="uaccess"' \
    "$root/usr/lib/udev/rules.d/70-torvanreader.rules"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/torvanreader_*.deb)
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/torvanreader ./usr/share/applications/$app.desktop ./usr/share/metainfo/$app.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/$app.svg ./usr/share/icons/hicolor/32x32/apps/$app.png \
    ./usr/share/icons/hicolor/64x64/apps/$app.png ./usr/lib/udev/rules.d/70-torvanreader.rules; do
    grep -q " $path\$" <<<"$contents" || { echo "missing from the package: $path"; exit 1; }
done
grep -q torvanreader-demo <<<"$contents" && { echo "the demo does not belong in the package"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libhidapi-hidraw0; do
    grep -q "$library" <<<"$depends" || { echo "Depends lacks $library: $depends"; exit 1; }
done
dpkg-deb -I "$deb" postinst | grep -q 'udevadm control --reload-rules'
echo "package $(basename "$deb") validated"
