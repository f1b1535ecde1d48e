#!/usr/bin/env bash
# Renders the application icon's PNG sizes from the two SVG drawings in data/icons/.
# The PNGs are committed; run this again only after changing a drawing (needs ImageMagick).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"

render() { # render <svg> <size> <density>
    local out="hicolor/$2x$2/apps/quarnel.png"
    mkdir -p "$(dirname "$out")"
    # -sample keeps the 16-pixel grid drawing's edges sharp; the large drawing is
    # rendered straight at its size so nothing is blurred by scaling.
    convert -background none -density "$3" "$1" -sample "$2x$2" -strip -depth 8 \
        -define png:exclude-chunks=date,time "png32:$out"
}

# Small sizes from the pixel-grid drawing (16 units wide), rendered at 256 pixels first.
for size in 16 32; do render quarnel-small.svg "$size" 1536; done
# Larger sizes from the detailed drawing (256 units wide): 96 dpi gives 256 pixels.
for size in 48 64 128 256; do render quarnel.svg "$size" $((96 * size / 256)); done
