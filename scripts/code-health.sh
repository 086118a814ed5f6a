#!/usr/bin/env bash
# Fails on formatting drift in our C++ sources (.clang-format), on clang-tidy findings of the
# checked set (.clang-tidy) in the application's sources, using a build tree's compile commands,
# and on shellcheck findings in our shell scripts (the scripts and the test scripts). Given the
# Windows build tree, clang-tidy reads the windows/ folders too, with its compile commands and the
# MinGW-w64 headers; without it they are left out, and it says so.
#   scripts/code-health.sh [BUILD_DIR [WINDOWS_BUILD_DIR]]      (default build/dev)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
windows_build=${2:-}

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
echo "code health: formatting of ${#sources[@]} files"
clang-format --dry-run -Werror "${sources[@]}"

# The Windows platform folders are not in a Linux build's compile commands.
mapfile -t checked < <(git ls-files '*.cpp' | grep -vE '^(tests|bench)/|(^|/)windows/')
echo "code health: clang-tidy on ${#checked[@]} files"
printf '%s\n' "${checked[@]}" | xargs -P2 -n4 clang-tidy -p "$build" --quiet 2>/dev/null

# clang reads the Windows sources as MinGW-w64's g++ compiled them: for its target, with that
# compiler's C++ library and system headers, and its own built-in headers in place of g++'s.
if [ -z "$windows_build" ]; then
    echo "code health: no Windows build tree given: the windows/ folders are not checked"
else
    commands=$windows_build/compile_commands.json
    [ -f "$commands" ] || { echo "code health: no $commands: scripts/torvan.sh windows makes it" >&2; exit 1; }
    cxx=$(grep -m1 -o '"command": "[^ ]*' "$commands" | cut -d'"' -f4)
    # Windows' API hands pointers over as integers (LPARAM, LONG_PTR, a C library's handle).
    windows_args=(--checks=-performance-no-int-to-ptr
                  --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc
                  "--extra-arg=-isystem$(clang -print-resource-dir)/include")
    builtin=$("$cxx" -print-file-name=include)
    mapfile -t headers < <("$cxx" -v -E -x c++ /dev/null 2>&1 |
        sed -n '/^#include <...> search starts here:/,/^End of search list/s/^ //p')
    for dir in "${headers[@]}"; do
        [ "$dir" = "$builtin" ] || [ "$dir" = "$builtin-fixed" ] ||
            windows_args+=("--extra-arg=-isystem$(realpath "$dir")")
    done
    mapfile -t windows < <(git ls-files '*.cpp' | grep -E '(^|/)windows/' | grep -vE '^(tests|bench)/')
    echo "code health: clang-tidy on ${#windows[@]} Windows files"
    printf '%s\n' "${windows[@]}" |
        xargs -P2 -n4 clang-tidy -p "$windows_build" "${windows_args[@]}" --quiet 2>/dev/null
fi
mapfile -t scripts < <(git ls-files '*.sh')
echo "code health: shellcheck on ${#scripts[@]} scripts"
shellcheck "${scripts[@]}"
echo "code health: clean"
