#!/bin/sh
# Draws all of Tarnwick's own artwork from scratch with ImageMagick:
#   tarnwick.ico  program icon at every size Windows asks for at 100 to 200 %:
#                 16 20 24 28 32 (small icons, the tray), 32 40 48 56 64 (the
#                 window's icon, the task switcher) and 256 (PNG)
#   banner-NNN.png  the "more cursor sets" banner drawn for NNN % scaling, at
#                 the size its place in the window has there: 270x75, 337x93,
#                 405x112, 472x131, 540x150 (each drawn, not scaled: its text
#                 is set at the size it is shown)
#   hand.cur      32x32 pointing hand, hotspot (13,3) on the index finger tip
# Shapes are drawn 8x too big in 32-pixel units and shrunk, which is what
# gives the small sizes their smooth edges.  The .ico/.cur containers are put
# together by pack.py so the hotspot and the BMP-style entries that every
# Windows version reads are under our control.
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
# Each size drawn 8 times too big (4 times for 256) and shrunk with a box
# filter.  Up to 24 pixels the rim and cord would smear: drawn a bit bolder.
bold_mvg=$(echo "$icon_mvg" |
    sed 's/stroke-width 1.6/stroke-width 2.6/; s/stroke-width 0.9/stroke-width 1.6/;
         s/stroke-width 1 /stroke-width 1.6 /; s/stroke-width 0.8/stroke-width 1.4/')
icon_sizes="16 20 24 28 32 40 48 56 64"
for s in $icon_sizes 256; do
    over=$(( s == 256 ? 4 : 8 ))
    big=$(( s * over ))
    mvg=$icon_mvg
    [ "$s" -le 24 ] && mvg=$bold_mvg
    convert -size ${big}x${big} xc:none \
        -draw "scale $(( big / 32 )),$(( big / 32 )) $(echo "$mvg" | sed 's/scale 8,8//')" \
        -filter box -resize ${s}x${s} "$tmp/icon$s.png"
done

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
# the program is about) and the two lines of text, designed at 270x75 and
# drawn for each scaling at its own size: everything scaled by the scaling,
# the frame on the picture's edge.
arrow='polygon 0,0 0,16 4,12 7,18 9,17 6,11 11,11'
fan=""
for a in 15 105 195 285; do
    fan="$fan push graphic-context translate 33,38 rotate $a scale 0.85,0.85
         translate -3,-25 $arrow pop graphic-context"
done
banner() {  # percent width height
    k=$(awk "BEGIN { print $1 / 100 }")
    at() { awk "BEGIN { print $1 * $k }"; }
    convert -size ${2}x${3} gradient:"#ffe0c0-#ffc890" \
        -stroke "#c04000" -strokewidth "$(at 2)" -fill none \
        -draw "rectangle $(at 1),$(at 1) $(awk "BEGIN { print $2 - 1 - $k }"),$(awk "BEGIN { print $3 - 1 - $k }")" \
        -stroke "#c04000" -strokewidth "$(at 1.2)" -fill "#ff8000" -draw "scale $k,$k $fan" \
        -stroke none -fill "#c04000" -draw "scale $k,$k circle 33,38 33,34.5" \
        -font Helvetica-Bold -pointsize "$(at 19)" -fill "#c04000" \
        -draw "text $(at 66),$(at 32) 'More cursor sets?'" \
        -pointsize "$(at 17)" -fill "#c04000" -draw "text $(at 67),$(at 58) 'Create your own!'" \
        -fill "#ff8000" -draw "text $(at 66),$(at 57) 'Create your own!'" \
        -alpha off -depth 8 -define png:color-type=2 -define png:exclude-chunk=date,time "banner-$1.png"
}
banner 100 270 75
banner 125 337 93
banner 150 405 112
banner 175 472 131
banner 200 540 150

for s in $icon_sizes; do
    convert "$tmp/icon$s.png" -depth 8 "rgba:$tmp/icon$s.rgba"
done
convert "$tmp/hand32.png" -depth 8 "rgba:$tmp/hand32.rgba"
convert "$tmp/icon256.png" -depth 8 -define png:color-type=6 -define png:exclude-chunk=date,time "$tmp/icon256-entry.png"
python3 pack.py ico tarnwick.ico $(for s in $icon_sizes; do printf '%s ' "$tmp/icon$s.rgba:$s"; done) \
    "$tmp/icon256-entry.png:256"
python3 pack.py cur hand.cur "$tmp/hand32.rgba:32" 13 3
# Previews for humans and reviews; not used by the build.
mkdir -p preview
for f in icon16 icon32 icon64 hand32; do
    convert "$tmp/$f.png" -define png:exclude-chunk=date,time "preview/$f.png"
done
