#!/bin/sh
# Draws the PNG sizes of the icon with the geometry of tessaly.svg (ImageMagick here renders no SVG).
# Run from this folder after changing the design: sh make-icons.sh
set -e
convert -size 256x256 xc:none \
  -fill '#1f5fbf' -draw 'roundrectangle 16,16 239,239 40,40' \
  -fill '#ffffff' -draw 'roundrectangle 52,148 79,203 4,4' \
  -draw 'roundrectangle 92,116 119,203 4,4' -draw 'roundrectangle 132,84 159,203 4,4' \
  -fill none -stroke '#ffd23f' -strokewidth 14 -draw 'circle 168,84 168,46' \
  -strokewidth 18 -draw 'line 195,111 222,138' -stroke none -fill '#ffd23f' -draw 'circle 222,138 222,129' -depth 8 \
  tessaly-256.png
for size in 48 128; do convert tessaly-256.png -resize ${size}x${size} -depth 8 tessaly-$size.png; done
