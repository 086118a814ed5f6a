#!/bin/busybox sh
# shellcheck shell=dash
# The guest's first process: loads the modules for the shared root file system, mounts the host's
# root read-only with scratch space on /run (/tmp stays the host's, where a build tree may lie),
# loads uhid and the generic HID driver (no udev here), runs the test in it and powers off.
/bin/busybox --install -s /bin
mount -t proc proc /proc && mount -t sysfs sys /sys && mount -t devtmpfs dev /dev
while read -r module; do insmod "/modules/$module"; done </modules.order
test_binary=$(sed -n 's/.*e2e_test=\([^ ]*\).*/\1/p' /proc/cmdline)
cli_binary=$(sed -n 's/.*e2e_cli=\([^ ]*\).*/\1/p' /proc/cmdline)
if mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144 hostroot /newroot; then
    mount -t proc proc /newroot/proc && mount -t sysfs sys /newroot/sys && mount -t devtmpfs dev /newroot/dev
    mount -t tmpfs -o mode=0700 run /newroot/run
    chroot /newroot /sbin/modprobe -a uhid hid-generic
    chroot /newroot /usr/bin/env HOME=/run XDG_RUNTIME_DIR=/run TMPDIR=/run QT_QPA_PLATFORM=offscreen \
        TORVAN_GUEST=1 TORVAN_CLI="$cli_binary" "$test_binary" hidrawEndToEnd
    echo "E2E-RESULT: $?"
else
    echo "E2E-RESULT: the host's root file system could not be mounted"
fi
poweroff -f
