#!/usr/bin/env bash
# hd_example.sh -- makes the README's side-by-side picture: one camera over an imported
# 1024 x 1024 map pair, in the faithful view (the 256 x 256 maps, the handheld's 240 x 320
# screen, scaled up) and in the HD view (the 1024 maps kept by import, at 960 x 640).
# Usage: docs/images/hd_example.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -seed 7 -size 1024x1024 plasma:fractal -blur 0x4 -colorspace gray -auto-level \
  -depth 16 "$work/height.png"
convert -size 1x1 xc:'#1d3f73' xc:'#2c6e9e' xc:'#d8c98c' xc:'#4f8f3a' xc:'#2f6b2a' \
  xc:'#7a6a4f' xc:'#9c9a94' xc:'#f2f2f2' -append -resize '1x256!' "$work/ramp.png"
convert "$work/height.png" "$work/ramp.png" -clut -attenuate 0.3 +noise Gaussian \
  -depth 8 "$work/colour.png"
"$build/bin/flyover-tool" import --colour "$work/colour.png" --height "$work/height.png" \
  --out "$work/scene" > /dev/null
time=20000
"$build/bin/flyover-tool" render --scene "$work/scene" --time $time --out "$work/faithful.png"
"$build/bin/flyover-tool" render --scene "$work/scene" --time $time --view hd --size 960x640 \
  --out "$work/hd.png"
# The faithful view: the screen's 296 view rows below its 24-row margin, scaled to 640 rows.
convert "$work/faithful.png" -crop 240x296+0+24 +repage -filter point -resize x640 "$work/f.png"
convert "$work/f.png" "$work/hd.png" -background black -splice 8x0 +append "$here/hd_side_by_side.png"
