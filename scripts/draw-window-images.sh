#!/usr/bin/env bash
# Draws the window's pictures into src/app/ui/qt/images/ (ImageMagick). The PNGs are kept in the tree, so the build
# needs no ImageMagick; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")/../src/app/ui/qt/images"

# The donation button: a gold tag with a red heart and a coin slot, 62 x 31.
convert -size 62x31 xc:none \
  -fill '#f4c430' -stroke '#9a7400' -strokewidth 1 -draw 'roundrectangle 0,0 61,30 6,6' \
  -fill '#d81e2c' -stroke '#8c0f18' \
  -draw 'path "M 16,24 C 4,16 5,6 11,6 C 14,6 16,9 16,10 C 16,9 18,6 21,6 C 27,6 28,16 16,24 Z"' \
  -fill '#fff6d5' -stroke '#9a7400' -draw 'circle 44,15 44,5' \
  -fill '#9a7400' -stroke none -draw 'rectangle 42,9 46,21' \
  -strip PNG32:donate.png

# Clearing the log: a red cross, 10 x 10.
convert -size 10x10 xc:none -stroke '#c0161f' -strokewidth 2 \
  -draw 'line 1,1 8,8' -draw 'line 8,1 1,8' -strip PNG32:clear-log.png

# The program: an envelope with a paper clip, 64 x 64.
convert -size 64x64 xc:none \
  -fill '#fdfdf6' -stroke '#35506b' -strokewidth 3 -draw 'roundrectangle 4,14 59,53 4,4' \
  -fill none -draw 'polyline 5,16 32,37 58,16' \
  -stroke '#d4a017' -strokewidth 4 -draw 'path "M 44,40 L 44,8 C 44,2 54,2 54,8 L 54,46 C 54,54 38,54 38,46 L 38,20"' \
  -strip PNG32:zendrel.png
