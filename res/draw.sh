#!/bin/sh
# Draws all of Tarnwick's own artwork from scratch with ImageMagick:
#   tarnwick.ico  program icon, 32x32 and 16x16
#   banner.bmp    270x75 "more cursor sets" picture for the About box, 24-bit
#   hand.cur      32x32 pointing hand, hotspot (13,3) on the index finger tip
# Shapes are drawn 8x too big in 32-pixel units (scale 8,8) and shrunk, which
# is what gives the small sizes their smooth edges.  The .ico/.cur containers
# are put together by pack.py so the hotspot and the BMP-style entries that
# every Windows version reads are under our control.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- program icon: a mouse seen from above on a yellow disc, red rim ------
icon_mvg='
  scale 8,8
  stroke "#b00000" stroke-width 1.6 fill "#ffd21e"
  circle 16,16 16,1.6
  stroke none fill "#ffe873"
  ellipse 13,11 7,5 0,360
  stroke "#5a3a00" stroke-width 0.9 fill none
  path "M 16,7.5 C 16,4 19,4.5 21,3.5 S 24,2 24.5,1.5"
  stroke "#202020" stroke-width 1 fill "#f4f4f4"
  roundrectangle 10,7.5 22,27 6,6
  stroke none fill "#d2d2d2"
  path "M 11,19 L 21,19 L 21,21 C 21,25 19,26.3 16,26.3 C 13,26.3 11,25 11,21 Z"
  stroke "#202020" stroke-width 0.8 fill none
  line 10.3,15.5 21.7,15.5
  line 16,7.8 16,15.5
  stroke "#202020" stroke-width 0.6 fill "#9a9a9a"
  roundrectangle 15,10 17,13.5 1,1
'
convert -size 256x256 xc:none -draw "$icon_mvg" "$tmp/icon256.png"
convert "$tmp/icon256.png" -filter box -resize 32x32 "$tmp/icon32.png"
# At 16 pixels the rim and cord would smear; draw them a bit bolder.
convert -size 256x256 xc:none -draw "$(echo "$icon_mvg" |
    sed 's/stroke-width 1.6/stroke-width 2.6/; s/stroke-width 0.9/stroke-width 1.6/;
         s/stroke-width 1 /stroke-width 1.6 /; s/stroke-width 0.8/stroke-width 1.4/')" \
    -filter box -resize 16x16 "$tmp/icon16.png"

# --- hand cursor --------------------------------------------------------
# Index finger up with its tip at (13,3); three folded fingers to the right,
# thumb along the left, cuff at the bottom.
hand_mvg='
  scale 8,8
  stroke black stroke-width 1 fill white stroke-linejoin round
  path "M 11,16 L 11,5 C 11,2.8 15.5,2.8 15.5,5 L 15.5,13
        C 15.5,11.5 19.5,11.5 19.5,13.5 C 19.5,12 23.5,12 23.5,14
        C 23.5,12.8 27,12.8 27,15 L 27,22 C 27,25 25.5,26.5 24.5,28
        L 12.5,28 C 10.5,25.5 8,22.5 5.5,19.5 C 4.3,18 6.3,16 8,17.3 Z"
  fill none stroke-width 0.8
  line 15.5,13 15.5,17
  line 19.5,13.5 19.5,17
  line 23.5,14 23.5,17.5
  stroke-width 1 fill "#e0e0e0"
  rectangle 12,28 25,30.5
'
convert -size 256x256 xc:none -draw "$hand_mvg" -filter box -resize 32x32 \
    "$tmp/hand32.png"

# --- banner ---------------------------------------------------------------
# Peach field, dark orange frame, a fan of small arrow pointers (the thing
# the program is about) and the two lines of text.
arrow='polygon 0,0 0,16 4,12 7,18 9,17 6,11 11,11'
fan=""
for a in 15 105 195 285; do
    fan="$fan push graphic-context translate 33,38 rotate $a scale 0.85,0.85
         translate -3,-25 $arrow pop graphic-context"
done
convert -size 270x75 gradient:"#ffe0c0-#ffc890" \
    -stroke "#c04000" -strokewidth 2 -fill none -draw "rectangle 1,1 268,73" \
    -stroke "#c04000" -strokewidth 1.2 -fill "#ff8000" -draw "$fan" \
    -stroke none -fill "#c04000" -draw "circle 33,38 33,34.5" \
    -font Helvetica-Bold -pointsize 19 -fill "#c04000" \
    -draw "text 66,32 'More cursor sets?'" \
    -pointsize 17 -fill "#c04000" -draw "text 67,58 'Create your own!'" \
    -fill "#ff8000" -draw "text 66,57 'Create your own!'" \
    "$tmp/banner.png"
# Windows resource compilers want a plain 24-bit BI_RGB bitmap.
convert "$tmp/banner.png" -alpha off -type TrueColor -define bmp:format=bmp3 \
    -compress none BMP3:banner.bmp

for s in icon32 icon16 hand32; do
    convert "$tmp/$s.png" -depth 8 "rgba:$tmp/$s.rgba"
done
python3 pack.py ico tarnwick.ico "$tmp/icon32.rgba:32" "$tmp/icon16.rgba:16"
python3 pack.py cur hand.cur "$tmp/hand32.rgba:32" 13 3
# Previews for humans and reviews; not used by the build.
mkdir -p preview
cp "$tmp/icon32.png" "$tmp/icon16.png" "$tmp/hand32.png" "$tmp/banner.png" preview/
