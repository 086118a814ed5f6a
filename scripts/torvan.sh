#!/usr/bin/env bash
# The work behind the README's two commands, safe to run again and again:
#   scripts/torvan.sh demo   install what is missing, build, start the tool on the simulated extender
#   scripts/torvan.sh test   install what is missing, build, run every test (also under sanitizers),
#                            the Windows build's suites and installer under Wine, then each fuzz
#                            target for a bounded time (TORVAN_FUZZ_SECONDS, 60)
#   scripts/torvan.sh windows  install what is missing, build Qt and SQLite for Windows once
#                            (scripts/qt-windows.sh, scripts/sqlite-windows.sh), cross-build the
#                            three programs, the installer, the MSI package and the portable zip
#                            into build/windows/, signed when TORVAN_SIGN_PKCS12 and
#                            TORVAN_SIGN_PASSWORD_FILE are set (scripts/sign-windows.sh)
# Only missing Debian packages are installed, the build tree is configured once, and ninja
# rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-}
case "$mode" in
demo | test | windows) shift ;;
*)
    echo "usage: $0 demo|test|windows" >&2
    exit 2
    ;;
esac

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libhidapi-dev libudev-dev libsqlite3-dev)
if [ "$mode" = test ]; then
    # The end-to-end test of the real transport boots a guest with Debian's kernel, which offers uhid.
    packages+=(qemu-system-x86 linux-image-amd64 busybox-static cpio kmod)
    # The package test validates the desktop files, the manual pages and the bash completion, builds
    # the .deb and runs lintian on it.
    packages+=(desktop-file-utils appstream dpkg-dev file lintian mandoc bash-completion)
    # HEX conversion is checked against srec_cat and objcopy; clang with its libFuzzer runtime
    # builds the fuzz targets.
    packages+=(srecord binutils clang libclang-rt-14-dev)
    # The metrics are scraped by the real node_exporter and Prometheus, and checked by promtool.
    packages+=(prometheus prometheus-node-exporter)
    # Formatting drift, clang-tidy findings (clang reads the Windows sources too, with MinGW-w64's
    # headers) and shellcheck findings fail the command too.
    packages+=(clang-format clang-tidy shellcheck)
fi
if [ "$mode" != demo ]; then
    # The Windows build: MinGW-w64 with POSIX threads (std::thread), Qt's source for its Windows
    # build (apt-get source), NSIS for the installer, wixl for the MSI package, osslsigncode to
    # sign them, Wine to run the tests and the installer. DejaVu gives the offscreen windows under
    # Wine their fonts (scripts/wine-run.sh).
    packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix dpkg-dev nsis wixl osslsigncode wine64)
    # SQLite's one-file source for the Windows build is made from Debian's source with tclsh.
    packages+=(tcl)
    packages+=(fonts-dejavu-core)
    # The downloads' tests read the Start-menu entries (lnkinfo) and sign with a throw-away
    # certificate (openssl).
    [ "$mode" = windows ] || packages+=(liblnk-utils openssl)
fi
if [ "$mode" = test ]; then
    # The windows' main path runs again under Qt's own Windows platform plugin, as Windows users
    # run it, on a virtual X display for Wine, with DejaVu's fonts alone (the math font among them
    # for the bare line edit that shows Wine's dialog font).
    packages+=(xvfb xauth fonts-dejavu-extra)
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

build() {
    [ -f "build/$1/CMakeCache.txt" ] || cmake --preset "$1"
    cmake --build --preset "$1"
}

if [ "$mode" = demo ]; then
    build dev
    exec build/dev/torvanreader-demo "$@"
fi

# The Windows build against Qt and SQLite for Windows, configured anew when either is another (a
# changed recipe); it makes the downloads too. Qt's script adds the source index both use.
build_windows() {
    TORVAN_QT_WINDOWS=$(scripts/qt-windows.sh)
    TORVAN_SQLITE_WINDOWS=$(scripts/sqlite-windows.sh)
    export TORVAN_QT_WINDOWS TORVAN_SQLITE_WINDOWS
    if ! grep -qF "$TORVAN_QT_WINDOWS/" build/windows/CMakeCache.txt 2>/dev/null ||
        ! grep -qxF "TORVAN_SQLITE_WINDOWS:PATH=$TORVAN_SQLITE_WINDOWS" build/windows/CMakeCache.txt; then
        cmake --preset windows --fresh
    fi
    cmake --build --preset windows
}

if [ "$mode" = windows ]; then
    build_windows
    echo "built: build/windows/*.exe and" build/windows/TorvanReader-*-win64{-setup.exe,.msi,-portable.zip}
    exit 0
fi

# The whole suite runs twice: in the ordinary build, and under the address and undefined-behaviour
# sanitizers, which fail a test on the first finding.
for preset in dev asan; do
    build "$preset"
    QT_QPA_PLATFORM=offscreen ctest --test-dir "build/$preset" --output-on-failure -j2 "$@"
done

# The Windows build's suites and its installer, under Wine (scripts/wine-run.sh); with no display,
# so that Wine opens no window. Before them, formatting and a small set of clang-tidy checks over
# our sources, the Windows ones with the Windows build's compile commands.
build_windows
scripts/code-health.sh build/dev build/windows
status=0
env -u DISPLAY ctest --test-dir build/windows --output-on-failure -j2 "$@" || status=$?
scripts/wine-run.sh --stop
[ "$status" -eq 0 ] || exit "$status"

# Then each fuzz target runs for a bounded time under the sanitizers in the clang build
# (build/fuzz/); a crash, a leak or a hang fails the command. The full libFuzzer output is kept
# in build/fuzz/<target>.log and shown when the target fails.
mkdir -p build/fuzz
for corpus in tests/fuzz/corpus/*/; do
    target=$(basename "$corpus")
    log=build/fuzz/$target.log
    if ! scripts/run-fuzzer.sh "$target" "${TORVAN_FUZZ_SECONDS:-60}" >"$log" 2>&1; then
        tail -n 80 "$log" >&2
        echo "fuzz target $target failed; the input is in build/fuzz/artifacts/$target/" >&2
        exit 1
    fi
    echo "fuzz $target: $(grep -E '^Done [0-9]+ runs' "$log" | tail -n 1)"
done
