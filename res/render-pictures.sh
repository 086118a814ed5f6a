#!/usr/bin/env bash
# Renders the PNGs the application embeds from their SVG sources beside them, and the Windows icon
# (windows/torvanreader.ico: the programs, their Start-menu entries and the installer) from
# icon.svg. Run after editing an SVG; the results are committed so that building needs no SVG
# renderer. Needs rsvg-convert (Debian package librsvg2-bin) and python3.
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do
    name=${svg%.svg}
    rsvg-convert "$svg" -o "$name.png"
    rsvg-convert --zoom 2 "$svg" -o "$name@2x.png"
done

# An .ico whose images are PNGs (as Windows reads them since Vista), in the sizes Windows asks for.
sizes=(16 24 32 48 64 256)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in "${sizes[@]}"; do
    rsvg-convert --width "$size" --height "$size" icon.svg -o "$work/$size.png"
done
python3 - "$work" "${sizes[@]}" >windows/torvanreader.ico <<'PY'
import struct, sys
folder, sizes = sys.argv[1], [int(s) for s in sys.argv[2:]]
images = [open(f"{folder}/{size}.png", "rb").read() for size in sizes]
out = struct.pack("<HHH", 0, 1, len(images))  # reserved, type 1 (icon), count
offset = 6 + 16 * len(images)
for size, image in zip(sizes, images):
    # width and height (0 means 256), colours, reserved, planes, bits per pixel, bytes, offset
    out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
    offset += len(image)
sys.stdout.buffer.write(out + b"".join(images))
PY
