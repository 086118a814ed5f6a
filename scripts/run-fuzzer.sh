#!/usr/bin/env bash
# scripts/run-fuzzer.sh TARGET [seconds] [libFuzzer options...]: builds one fuzz target (a folder
# name under tests/fuzz/corpus/) with clang's libFuzzer and the address and undefined-behaviour
# sanitizers in build/fuzz/ (the configure preset fuzz), and runs it for the given seconds (60)
# from its seed corpus and what earlier runs added in build/fuzz/corpus/TARGET/. A crash, a leak or an input taking over 10 s
# fails it; the input is kept in build/fuzz/artifacts/TARGET/. Needs clang and libclang-rt-14-dev.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-}
[[ -n $target && -d tests/fuzz/corpus/$target ]] ||
    { echo "usage: $0 TARGET [seconds] [options]; targets: $(ls tests/fuzz/corpus)" >&2; exit 2; }
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
[ -f build/fuzz/CMakeCache.txt ] || cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target "fuzz_$target"
mkdir -p "build/fuzz/corpus/$target" "build/fuzz/artifacts/$target"
cp -n "tests/fuzz/corpus/$target"/* "build/fuzz/corpus/$target/"
# A target whose parser reads words (HEX records) has them in tests/fuzz/TARGET.dict. Inputs are
# given time by how fast they run, so that the few slow ones do not take it all.
dict=tests/fuzz/$target.dict
[ ! -f "$dict" ] || set -- "-dict=$dict" "$@"
exec "build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -max_len=4096 -rss_limit_mb=4096 \
    -entropic_scale_per_exec_time=1 -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$target/" \
    "$@" "build/fuzz/corpus/$target"
