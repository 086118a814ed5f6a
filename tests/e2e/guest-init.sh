#!/bin/busybox sh
# shellcheck shell=dash
# The guest's first process: loads the modules for the shared root file system, mounts the host's
# root read-only with scratch space on /run (/tmp stays the host's, where a build tree may lie),
# loads uhid and the generic HID driver (udevd only for Wine), runs the test (e2e_test, with its case
# e2e_case) in it and powers off.
# Given a Windows build (e2e_windows), it gives Wine what it writes, each as a layer over the host's
# files: /tmp (wineserver's socket lives there) and the prefix made on the host, at /run/wine.
/bin/busybox --install -s /bin
mount -t proc proc /proc && mount -t sysfs sys /sys && mount -t devtmpfs dev /dev
while read -r module; do insmod "/modules/$module"; done </modules.order
option() { sed -n "s/.*$1=\\([^ ]*\\).*/\\1/p" /proc/cmdline; }
test_binary=$(option e2e_test)
cli_binary=$(option e2e_cli)
windows=$(option e2e_windows)
prefix=$(option e2e_prefix)
source=$(option e2e_source)
case=$(option e2e_case)
if mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144 hostroot /newroot; then
    mount -t proc proc /newroot/proc && mount -t sysfs sys /newroot/sys && mount -t devtmpfs dev /newroot/dev
    mount -t tmpfs -o mode=0700 run /newroot/run
    chroot /newroot /sbin/modprobe -a uhid hid-generic
    if [ -n "$windows" ]; then
        chroot /newroot /sbin/modprobe overlay
        for dir in tmp run/wine; do
            mkdir -p "/newroot/run/upper/$dir" "/newroot/run/work/$dir" "/newroot/$dir"
        done
        mount -t overlay -o lowerdir=/newroot/tmp,upperdir=/newroot/run/upper/tmp,workdir=/newroot/run/work/tmp \
            tmp /newroot/tmp &&
            mount -t overlay -o "lowerdir=/newroot$prefix,upperdir=/newroot/run/upper/run/wine,workdir=/newroot/run/work/run/wine" \
                wine /newroot/run/wine || echo "guest: Wine's overlays could not be mounted"
        # Qt's DLLs read from the shared root fail to initialise under Wine here: the programs, the
        # DLLs they load and Qt's plugins are copied into the guest's memory, as one folder each.
        for program in "/newroot$windows"/*.exe "/newroot$windows"/*/*.exe; do
            folder=/newroot/run/windows/$(dirname "${program#"/newroot$windows"/}")
            mkdir -p "$folder" && cp "$program" "$folder/"
        done
        mkdir -p /newroot/run/windows/dlls
        while read -r dir; do
            cp "/newroot$dir"/*.dll /newroot/run/windows/dlls/ 2>/dev/null
            [ -d "/newroot$dir/../plugins" ] && cp -r "/newroot$dir/../plugins" /newroot/run/windows/
        done <"/newroot$windows/dll-dirs.txt"
        echo /run/windows/dlls >/newroot/run/windows/dll-dirs.txt
        windows=/run/windows
        # Wine's HID bus hears of units plugged in and pulled out only from udevd, as on a desktop.
        chroot /newroot /lib/systemd/systemd-udevd --daemon || echo "guest: udevd could not start"
        export QTEST_FUNCTION_TIMEOUT=1440000 # the Wine stage is one case of many Windows programs
    fi
    echo "E2E-OUTPUT (guest up $(cut -d' ' -f1 /proc/uptime) s)"
    # shellcheck disable=SC2086 # the case's name, or none
    chroot /newroot /usr/bin/env HOME=/run XDG_RUNTIME_DIR=/run TMPDIR=/run QT_QPA_PLATFORM=offscreen \
        TORVAN_GUEST=1 TORVAN_CLI="$cli_binary" TORVAN_WINDOWS="$windows" TORVAN_WINEPREFIX=/run/wine \
        TORVAN_WINE_RUN="$source/scripts/wine-run.sh" TORVAN_SOURCE_DIR="$source" "$test_binary" $case
    echo "E2E-RESULT: $?"
else
    echo "E2E-RESULT: the host's root file system could not be mounted"
fi
poweroff -f
