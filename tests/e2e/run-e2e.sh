#!/usr/bin/env bash
# run-e2e.sh TEST_BINARY WORK_DIR CLI_BINARY [WINDOWS_DIR]: boots a throw-away QEMU guest (software
# emulation) with Debian's kernel and this machine's root file system shared read-only, and runs the
# hidraw end-to-end test in it, where /dev/uhid can make a virtual extender; the command line is the
# second program there. Given WINDOWS_DIR (a Windows build tree), the test drives its programs under
# Wine instead, beside the Linux command line. E2E_CASE names the test's case (hidrawEndToEnd;
# empty for a program that is no test suite). Where the guest or Wine cannot start: says why, exit 77.
set -uo pipefail
test_binary=$1 work=$2 cli_binary=$3 windows=${4:-}
source=$(cd "$(dirname "$0")/../.." && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is missing (Debian package qemu-system-x86)"
kernel=$(printf '%s\n' /boot/vmlinuz-* | sort -V | tail -1)
[ -r "$kernel" ] || skip "no readable kernel in /boot (Debian package linux-image-amd64)"
version=${kernel#/boot/vmlinuz-}
[ -d "/lib/modules/$version" ] || skip "no modules for kernel $version"
if [ ! -x /bin/busybox ] || ldd /bin/busybox >/dev/null 2>&1; then skip "a static busybox is missing (busybox-static)"; fi
if [ ! -x "$test_binary" ] || [ ! -x "$cli_binary" ]; then skip "$test_binary or $cli_binary is missing (build the Linux tree)"; fi
test_binary=$(realpath "$test_binary") cli_binary=$(realpath "$cli_binary")

memory=1024 seconds=600 options=(e2e_source="$source") cpu=()
if [ -n "$windows" ]; then
    wine=/usr/lib/wine/wine64
    [ -x "$wine" ] || skip "Wine is missing (Debian package wine64)"
    for program in cli/torvanreader-cli torvanreader; do
        [ -f "$windows/$program.exe" ] || skip "$windows/$program.exe is missing (scripts/torvan.sh windows)"
    done
    # Making a prefix takes a minute in the guest and seconds here: it is made here once per Wine
    # version, whole on disk before the guest starts. Wine's HID bus offers hidraw devices only
    # with SDL off.
    prefix=$(realpath "$windows")/wine-guest
    TORVAN_WINEPREFIX=$prefix "$source/scripts/wine-run.sh" --make-prefix \
        reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v 'Enable SDL' /t REG_DWORD /d 0 /f ||
        skip "Wine could not make its prefix in $prefix"
    # Wine's return from a system call faults under emulation where the CPU has SMAP and SMEP.
    memory=2048 seconds=1500 cpu=(-cpu "${E2E_CPU:-max,-smap,-smep}")
    options+=(e2e_windows="$(realpath "$windows")" e2e_prefix="$(realpath "$prefix")")
fi

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
# The host's file systems share one export: remap keeps their inode numbers apart, or Wine, which
# knows a loaded DLL by device and inode, takes a DLL for another one already loaded.
timeout "$seconds" qemu-system-x86_64 -accel tcg "${cpu[@]}" -m "$memory" -smp 2 -nographic -no-reboot -nic none \
    -kernel "$kernel" -initrd "$work/initrd.gz" \
    -append "console=ttyS0 panic=-1 quiet e2e_test=$test_binary e2e_case=${E2E_CASE-hidrawEndToEnd} e2e_cli=$cli_binary ${options[*]}" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap >"$log" 2>&1
status=$?
sed -n '/^E2E-OUTPUT/,/^E2E-RESULT/{/^E2E-/d;p}' "$log" | tr -d '\r'
result=$(grep -a -o 'E2E-RESULT: .*' "$log" | tr -d '\r')
[ -n "$result" ] || { tail -30 "$log"; skip "the guest did not run the test (qemu exit $status, log in $log)"; }
echo "$result"
[ "$result" = "E2E-RESULT: 0" ]
