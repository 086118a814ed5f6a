#!/usr/bin/env bash
# Fails on formatting drift in our C++ sources (.clang-format), on clang-tidy findings of the
# checked set (.clang-tidy) in the application's sources, using a build tree's compile commands,
# and on shellcheck findings in our shell scripts (the scripts and the test scripts).
#   scripts/code-health.sh [BUILD_DIR]      (default build/dev)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
echo "code health: formatting of ${#sources[@]} files"
clang-format --dry-run -Werror "${sources[@]}"

# The Windows platform folders are not in a Linux build's compile commands.
mapfile -t checked < <(git ls-files '*.cpp' | grep -vE '^(tests|bench)/|(^|/)windows/')
echo "code health: clang-tidy on ${#checked[@]} files"
printf '%s\n' "${checked[@]}" | xargs -P2 -n4 clang-tidy -p "$build" --quiet 2>/dev/null
mapfile -t scripts < <(git ls-files '*.sh')
echo "code health: shellcheck on ${#scripts[@]} scripts"
shellcheck "${scripts[@]}"
echo "code health: clean"
