#!/bin/sh
# Renders the icon's PNG sizes from the SVG. The PNGs are committed, so a build needs no SVG
# renderer; run this after changing the SVG (needs rsvg-convert, Debian package librsvg2-bin).
set -eu
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" com.velmora.QuorvaneTools.svg -o "$size.png"
done
