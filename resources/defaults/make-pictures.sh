#!/usr/bin/env bash
# Draws the default pictures that stpack puts into an installer whose product
# folder brings none: the two wizard banners (160 x 308 JPEG), the header
# picture (32 x 32, 24-bit BMP; its bottom-left colour is drawn transparent)
# and the application icon (16, 32 and 48 pixels). The files are committed, so
# builds do not depend on ImageMagick's version; run this again only to change
# them.
set -euo pipefail
cd "$(dirname "$0")"

# A package going into an open box, in white on a teal gradient.
banner() {
  convert -size 160x308 "gradient:#0b3c49-#3aa6a0" \
    -fill none -stroke "#ffffff" -strokewidth 4 \
    -draw "line 44,120 44,176" -draw "line 44,176 116,176" -draw "line 116,176 116,120" \
    -draw "line 80,60 80,150" -draw "line 60,130 80,150" -draw "line 80,150 100,130" \
    -stroke "#ffffff" -strokewidth 2 -draw "line 30,200 130,200" \
    -quality 90 -sampling-factor 2x2 -strip "$1"
}
banner ImageLeft0.jpg
banner ImageLeft2.jpg

# No anti-aliasing: a blended edge pixel would not match the transparent colour.
convert -size 32x32 "xc:#ff00ff" +antialias -fill "#0b3c49" \
  -draw "rectangle 5,14 7,27" -draw "rectangle 5,25 26,27" -draw "rectangle 24,14 26,27" \
  -draw "rectangle 15,3 16,20" -draw "polygon 10,14 15,20 16,20 21,14 19,14 15.5,18 12,14" \
  -type TrueColor -strip "BMP3:ImageIcon.bmp"

icon() {  # size
  local s=$1
  convert -size "${s}x${s}" "xc:#0b3c49" -fill none -stroke white -strokewidth $((s / 16 + 1)) \
    -draw "line $((s * 3 / 16)),$((s * 7 / 16)) $((s * 3 / 16)),$((s * 13 / 16))" \
    -draw "line $((s * 3 / 16)),$((s * 13 / 16)) $((s * 13 / 16)),$((s * 13 / 16))" \
    -draw "line $((s * 13 / 16)),$((s * 13 / 16)) $((s * 13 / 16)),$((s * 7 / 16))" \
    -draw "line $((s / 2)),$((s / 8)) $((s / 2)),$((s * 10 / 16))" \
    -draw "line $((s * 5 / 16)),$((s * 7 / 16)) $((s / 2)),$((s * 10 / 16))" \
    -draw "line $((s / 2)),$((s * 10 / 16)) $((s * 11 / 16)),$((s * 7 / 16))" \
    -strip "icon-$s.png"
}
icon 16; icon 32; icon 48
convert icon-16.png icon-32.png icon-48.png -compress None AppIcon.ico
rm -f icon-16.png icon-32.png icon-48.png
