#!/usr/bin/env bash
# Installs the build into a scratch root and packs it as a .deb, then validates what a desktop and
# Debian expect of them: the desktop entry, the AppStream metadata, the udev rule, the manual pages,
# the bash completion, the package's files, hardened programs and dependencies, and lintian's verdict.
#   check-package.sh BUILD_DIR WORK_DIR VENDOR_ID PRODUCT_ID    (the IDs as CMake records them: 051a)
set -euo pipefail
trap 'echo "check-package.sh: check on line $LINENO failed"' ERR
build=$1 work=$2 vendor=$3 product=$4
for tool in desktop-file-validate appstreamcli dpkg-deb dpkg-shlibdeps lintian mandoc; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 77; }
done

root=$work/root
rm -rf "$root" "$work/deb" "$work/shots" && mkdir -p "$root"
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

app=org.torvan.TorvanReader
desktop-file-validate "$root/usr/share/applications/$app.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml"
grep -q "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"$vendor\", ATTRS{idProduct}==\"$product\", TAG+=\"uaccess\"" \
    "$root/usr/lib/udev/rules.d/70-torvanreader.rules"
# The metrics' service and timer come disabled; the rule the service needs is an example to install.
grep -q "ATTRS{idVendor}==\"$vendor\", ATTRS{idProduct}==\"$product\", GROUP=\"plugdev\"" \
    "$root/usr/share/doc/torvanreader/examples/71-torvanreader-service.rules"
grep -q '^ExecStart=/usr/bin/torvanreader-cli .*--output /var/lib/prometheus/node-exporter/' \
    "$root/usr/lib/systemd/system/torvanreader-metrics.service"
grep -q '^OnCalendar=minutely$' "$root/usr/lib/systemd/system/torvanreader-metrics.timer"
if find "$root" -path '*/etc/systemd/*' | grep -q .; then echo "a systemd unit is enabled"; exit 1; fi
man=$root/usr/share/man/man1
for page in torvanreader torvanreader-cli torvanreader-demo; do zcat "$man/$page.1.gz" | mandoc -T lint -W warning; done
# The pages and the completion name the build's IDs (what it offers is the command-line suite's).
zcat "$man"/torvanreader{,-cli}.1.gz | grep -c "0x${vendor^^} and product 0x${product^^}" | grep -qx 2
grep -q "HID_ID=0003:0000${vendor^^}:0000${product^^}" "$root/usr/share/bash-completion/completions/torvanreader-cli"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/torvanreader_*.deb)
# The package holds what was installed.
dpkg-deb -x "$deb" "$work/deb/root"
diff <(cd "$root" && find . | sort) <(cd "$work/deb/root" && find . | sort)
ls "$root"/usr/bin/torvanreader{,-cli} "$root"/usr/share/icons/hicolor/scalable/apps/$app.svg \
    "$root"/usr/share/icons/hicolor/{32x32,64x64}/apps/$app.png \
    "$root"/usr/share/doc/torvanreader/{copyright,changelog.gz,examples/demo-local-tx-3072.2.hex} >/dev/null
"$work/deb/root/usr/bin/torvanreader-demo" --screenshot "$work/shots" >/dev/null
[ -s "$work/shots/tool-status.png" ]
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libhidapi-hidraw0 libudev1 libsqlite3-0; do
    grep -q "$library" <<<"$depends" || { echo "Depends lacks $library: $depends"; exit 1; }
done
dpkg-deb -I "$deb" postinst | grep -q 'udevadm control --reload-rules'
# Debian's own checker at every level: any tag fails, among them a program that keeps .comment or
# .note, lacks BIND_NOW, or lacks fortified calls where the build is optimised (a debug one cannot).
unfortified=(--suppress-tags hardening-no-fortify-functions)
! grep -qE '^CMAKE_BUILD_TYPE:STRING=(Release|RelWithDebInfo|MinSizeRel)$' "$build/CMakeCache.txt" || unfortified=()
lintian --pedantic --display-info --fail-on error,warning,info,pedantic "${unfortified[@]}" "$deb"
echo "package $(basename "$deb") validated"
