#!/usr/bin/env bash
# The portable zip under Wine, in a Wine prefix of its own: unpacked into a folder of the user's
# choosing, with nothing installed, torvanreader-cli.exe answers with the version and the demo
# draws its windows, from the unpacked files alone.
#   check-portable.sh ZIP WORK_DIR VERSION
set -euo pipefail
zip=$(realpath "$1")
shift
# shellcheck source=tests/windows/package-test.sh
source "$(dirname "$0")/package-test.sh" "$@"
tools="$drive/My Tools"
mkdir -p "$tools"
(cd "$tools" && cmake -E tar xf "$zip")
folder=$tools/TorvanReader
answers_version "$folder"
draws_windows "$folder"
echo "portable: torvanreader-cli $version and the demo ran from the unpacked zip alone"
