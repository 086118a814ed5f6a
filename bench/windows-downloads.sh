#!/usr/bin/env bash
# The Windows downloads' sizes, and the start-up of the window beside Linux's: from the start of
# torvanreader-demo to its main window on the screen (its connect check made), on a virtual X
# display, the Linux build under Qt's xcb platform and the Windows build under Wine with Qt's
# windows platform. Wine's first start includes its own (the server and its services); the
# others are the median of RUNS. A benchmark, not a test; it needs xvfb and x11-utils.
#   bench/windows-downloads.sh [LINUX_BUILD [WINDOWS_BUILD [RUNS]]]   (build/release, build/windows, 5)
set -euo pipefail
# On a virtual display of its own, whatever display the caller has.
if [ "${TORVAN_BENCH_XVFB:-}" != 1 ]; then
    TORVAN_BENCH_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$(realpath "${1:-$root/build/release}")
windows=$(realpath "${2:-$root/build/windows}")
runs=${3:-5}

mib() { awk -v bytes="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", bytes / 1048576 }'; }
shopt -s nullglob
downloads=("$windows"/TorvanReader-*-win64{-setup.exe,.msi,-portable.zip})
((${#downloads[@]})) || echo "downloads: not built (scripts/torvan.sh windows makes them)"
for download in "${downloads[@]}"; do
    echo "$(basename "$download"): $(mib "$download") MiB"
done
if [ -d "$windows/packages/TorvanReader" ]; then
    echo "installed: $(du -sm "$windows/packages/TorvanReader" | cut -f1) MiB"
fi

# Milliseconds from the program's start to the main window's appearance on the display.
startup() {
    local start program
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 &
    program=$!
    until xwininfo -name Tessalink 2>/dev/null | grep -q IsViewable; do
        if ! kill -0 "$program" 2>/dev/null; then
            echo "(did not start)"
            return
        fi
        sleep 0.01
    done
    echo $((($(date +%s%N) - start) / 1000000))
    kill "$program" 2>/dev/null
    wait "$program" 2>/dev/null || true
    while xwininfo -name Tessalink 2>/dev/null | grep -q IsViewable; do sleep 0.05; done
}

measure() {
    local name=$1 times=()
    shift
    for _ in $(seq "$runs"); do times+=("$(startup "$@")"); done
    echo "$name: start-up to the main window ${times[*]} ms, median" \
        "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p") ms"
}

measure "Linux (xcb)" env QT_QPA_PLATFORM=xcb "$linux/torvanreader-demo"
if [ -x "$windows/torvanreader-demo.exe" ]; then
    wine=(env -u QT_QPA_PLATFORM "$root/scripts/wine-run.sh" "$windows/torvanreader-demo.exe")
    "$root/scripts/wine-run.sh" --stop
    echo "Windows under Wine (windows), its first start with Wine's own: $(startup "${wine[@]}") ms"
    measure "Windows under Wine (windows)" "${wine[@]}"
    "$root/scripts/wine-run.sh" --stop
fi
