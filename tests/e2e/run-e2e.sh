#!/usr/bin/env bash
# run-e2e.sh TEST_BINARY WORK_DIR CLI_BINARY: boots a throw-away QEMU guest (software emulation)
# with Debian's kernel and this machine's root file system shared read-only, and runs the hidraw
# end-to-end test in it, where /dev/uhid can make a virtual extender; the command line is the second
# program there. Where the guest cannot start: says why, exit 77.
set -uo pipefail
test_binary=$1 work=$2 cli_binary=$3
skip() { echo "SKIPPED: $*"; exit 77; }
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is missing (Debian package qemu-system-x86)"
kernel=$(printf '%s\n' /boot/vmlinuz-* | sort -V | tail -1)
[ -r "$kernel" ] || skip "no readable kernel in /boot (Debian package linux-image-amd64)"
version=${kernel#/boot/vmlinuz-}
[ -d "/lib/modules/$version" ] || skip "no modules for kernel $version"
if [ ! -x /bin/busybox ] || ldd /bin/busybox >/dev/null 2>&1; then skip "a static busybox is missing (busybox-static)"; fi

# The initial RAM disk: busybox, the modules that mount the shared root, and the init script.
ramdisk=$work/initramfs
rm -rf "$ramdisk" && mkdir -p "$ramdisk"/{bin,modules,proc,sys,dev,newroot}
cp /bin/busybox "$ramdisk/bin/busybox"
cp "$(dirname "$0")/guest-init.sh" "$ramdisk/init"
for module in 9p 9pnet_virtio virtio_pci; do
    modprobe -S "$version" --show-depends "$module" | awk '$1 == "insmod" { print $2 }'
done | awk '!seen[$0]++' | while read -r path; do
    cp "$path" "$ramdisk/modules/" && basename "$path"
done >"$ramdisk/modules.order"
(cd "$ramdisk" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz" || skip "could not pack the RAM disk"

log=$work/guest.log
timeout 600 qemu-system-x86_64 -accel tcg -m 1024 -smp 2 -nographic -no-reboot -nic none -kernel "$kernel" \
    -initrd "$work/initrd.gz" -append "console=ttyS0 panic=-1 quiet e2e_test=$test_binary e2e_cli=$cli_binary" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on >"$log" 2>&1
status=$?
sed -n '/Start testing/,/Finished testing/p' "$log"
result=$(grep -a -o 'E2E-RESULT: .*' "$log" | tr -d '\r')
[ -n "$result" ] || { tail -30 "$log"; skip "the guest did not run the test (qemu exit $status, log in $log)"; }
echo "$result"
[ "$result" = "E2E-RESULT: 0" ]
