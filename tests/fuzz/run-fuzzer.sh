#!/usr/bin/env bash
# Builds the image-loading fuzz target with clang's libFuzzer, address and undefined-behaviour
# sanitizers in build/fuzz/ and runs it for the given seconds (default 60), starting from a copy
# of the seed corpus. Needs clang and libclang-rt-14-dev (scripts/torvan.sh test installs them).
#   tests/fuzz/run-fuzzer.sh [seconds] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true

sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
[ -f build/fuzz/CMakeCache.txt ] || cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DTORVAN_FUZZ=ON "-DCMAKE_CXX_FLAGS=$sanitizers" \
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined"
cmake --build build/fuzz --target fuzz_image_file

mkdir -p build/fuzz/corpus
cp -n tests/fuzz/corpus/* build/fuzz/corpus/
exec build/fuzz/tests/fuzz/fuzz_image_file -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=4096 \
    "$@" build/fuzz/corpus
