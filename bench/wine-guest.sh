#!/usr/bin/env bash
# The Windows build under Wine beside the Linux build, in the hidraw guest (run-e2e.sh), on one
# virtual extender: an 8 KiB image's programming time and the connect check's round trip for
# each (bench/wine_guest_bench.cpp). A benchmark, not a test; the downloads' sizes are
# bench/windows-downloads.sh's.
#   bench/wine-guest.sh [LINUX_BUILD [WINDOWS_BUILD]]   (build/release and build/windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$(realpath "${1:-$root/build/release}")
windows=$(realpath "${2:-$root/build/windows}")
work=$windows/bench/wine-guest
mkdir -p "$work"
E2E_CASE='' nice "$root/tests/e2e/run-e2e.sh" "$linux/bench/bench_wine_guest" "$work" \
    "$linux/cli/torvanreader-cli" "$windows"
