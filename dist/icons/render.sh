#!/bin/sh
# Renders the icon's PNG sizes. The PNGs are committed, so a build needs no SVG renderer; run this
# after changing an SVG (needs rsvg-convert, Debian package librsvg2-bin). Sizes up to 24 pixels
# come from small.svg, drawn with fewer and heavier lines; the rest and the installed scalable
# icon from com.velmora.QuorvaneTools.svg.
set -eu
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    source=com.velmora.QuorvaneTools.svg
    if [ "$size" -le 24 ]; then
        source=small.svg
    fi
    rsvg-convert -w "$size" -h "$size" "$source" -o "$size.png"
done
