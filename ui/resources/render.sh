#!/usr/bin/env bash
# Regenerates the raster images in this folder from their SVG sources:
#   quarven.svg -> quarven.png (64 x 64, indexed, at most 256 colours)
#                  quarven.ico (64, 32 and 16 px images, 256 colours each)
#   emblem.svg  -> emblem.png  (40 x 42, opaque white background)
# Needs the Debian packages librsvg2-bin (rsvg-convert) and imagemagick (convert).
# Run it by hand after editing an SVG; the build uses the committed PNG/ICO files.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for size in 64 32 16; do
    rsvg-convert -w "$size" -h "$size" quarven.svg -o "$tmp/icon-$size.png"
done

# PNG: palette with graded transparency; nearly clear pixels become fully clear.
convert "$tmp/icon-64.png" -channel A -fx 'a < 0.03 ? 0 : a' +channel \
    -colors 256 -strip quarven.png

# ICO: 8-bit images whose transparency is a 1-bit mask, so cut the alpha at 50 %.
convert "$tmp/icon-64.png" "$tmp/icon-32.png" "$tmp/icon-16.png" \
    -channel A -threshold 50% +channel -colors 256 quarven.ico

# Emblem: flattened on white, plain RGB.
rsvg-convert -w 40 -h 42 emblem.svg -o "$tmp/emblem.png"
convert "$tmp/emblem.png" -background white -alpha remove -alpha off \
    -define png:color-type=2 -strip emblem.png
