#!/usr/bin/env bash
# Renders the PNGs the application embeds from their SVG sources beside them. Run after editing an
# SVG; the PNGs are committed so that building needs no SVG renderer. Needs rsvg-convert
# (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do
    name=${svg%.svg}
    rsvg-convert "$svg" -o "$name.png"
    rsvg-convert --zoom 2 "$svg" -o "$name@2x.png"
done
