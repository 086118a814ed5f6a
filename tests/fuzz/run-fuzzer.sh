#!/usr/bin/env bash
# Builds one fuzz target with clang's libFuzzer, address and undefined-behaviour sanitizers in
# build/fuzz/ (configured once; later runs rebuild only what changed, and only what the target
# needs) and runs it for the given seconds (default 60), starting from its seed corpus and what
# earlier runs added in build/fuzz/corpus/<target>/. A crash, a leak or an input that runs longer
# than 10 s fails the run; the input is kept in build/fuzz/artifacts/<target>/. Needs clang and
# libclang-rt-14-dev (scripts/torvan.sh test installs them).
#   tests/fuzz/run-fuzzer.sh TARGET [seconds] [extra libFuzzer options...]
# TARGET is a folder name under tests/fuzz/corpus/: image_file, hid_response, bit_report.
set -euo pipefail
cd "$(dirname "$0")/../.."
target=${1:-}
if [ -z "$target" ] || [ ! -d "tests/fuzz/corpus/$target" ]; then
    echo "usage: $0 TARGET [seconds] [libFuzzer options...]; targets: $(ls tests/fuzz/corpus)" >&2
    exit 2
fi
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))

sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
[ -f build/fuzz/CMakeCache.txt ] || cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DTORVAN_FUZZ=ON "-DCMAKE_CXX_FLAGS=$sanitizers" \
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
cmake --build build/fuzz --target "fuzz_$target"

corpus=build/fuzz/corpus/$target
artifacts=build/fuzz/artifacts/$target
mkdir -p "$corpus" "$artifacts"
cp -n "tests/fuzz/corpus/$target"/* "$corpus"/
exec "build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -max_len=4096 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$corpus"
