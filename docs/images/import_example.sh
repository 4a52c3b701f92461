#!/usr/bin/env bash
# import_example.sh -- makes the README's import example: a 1024 x 1024 height map and a
# colour map drawn from it with ImageMagick, the scene flyover-tool imports from them, and
# the two pictures shown (the source colour map beside a frame of the flight).
# Usage: docs/images/import_example.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -seed 3 -size 1024x1024 plasma:fractal -blur 0x6 -colorspace gray -auto-level \
  -depth 16 "$work/height.png"
convert -size 1x1 xc:'#1d3f73' xc:'#2c6e9e' xc:'#d8c98c' xc:'#4f8f3a' xc:'#2f6b2a' \
  xc:'#7a6a4f' xc:'#9c9a94' xc:'#f2f2f2' -append -resize '1x256!' "$work/ramp.png"
convert "$work/height.png" "$work/ramp.png" -clut -attenuate 0.4 +noise Gaussian \
  -depth 8 "$work/colour.png"
"$build/bin/flyover-tool" import --colour "$work/colour.png" --height "$work/height.png" \
  --out "$work/scene"
"$build/bin/flyover-tool" render --scene "$work/scene" --time 30000 --out "$work/frame.png"
convert "$work/colour.png" -resize 320x320 "$here/import_source.png"
convert "$work/frame.png" -scale 200% -resize x320 "$here/import_frame.png"
