#!/usr/bin/env bash
# The work behind the README's two commands, safe to run again and again:
#   scripts/torvan.sh demo   install what is missing, build, start the tool on the simulated extender
#   scripts/torvan.sh test   install what is missing, build, run every test
# Only missing Debian packages are installed, the build tree is configured once, and ninja
# rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-}
case "$mode" in
demo | test) shift ;;
*)
    echo "usage: $0 demo|test" >&2
    exit 2
    ;;
esac

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libhidapi-dev)
# The tests also check our HEX conversion against srec_cat and objcopy; clang with its libFuzzer
# runtime builds the fuzz target (tests/fuzz/run-fuzzer.sh).
if [ "$mode" = test ]; then
    packages+=(srecord binutils clang libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ -f build/dev/CMakeCache.txt ] || cmake --preset dev
cmake --build --preset dev

if [ "$mode" = demo ]; then
    exec build/dev/torvanreader-demo "$@"
fi
QT_QPA_PLATFORM=offscreen ctest --test-dir build/dev --output-on-failure -j2 "$@"
