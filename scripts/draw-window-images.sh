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

# The program: the picture of packaging/linux/zendrel.svg (an envelope with a download arrow), drawn at 64 x 64.
convert -size 64x64 xc:none -draw "scale 1.3333,1.3333 \
    fill '#f4f1e8' stroke '#3a5f8f' stroke-width 2.5 roundrectangle 3,10 45,40 3,3 \
    fill none stroke-linejoin round polyline 4,12 24,28 44,12 \
    fill '#2e8b57' stroke none circle 36,35 46,35 \
    fill none stroke '#ffffff' stroke-width 2.5 stroke-linecap round \
    path 'M 36,29 V 40 M 31.5,35.5 L 36,40 L 40.5,35.5'" \
  -strip PNG32:zendrel.png
