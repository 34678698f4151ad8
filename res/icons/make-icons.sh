#!/bin/sh
# Draws the program's icons (main and "disabled") with ImageMagick and writes the PNG sizes that
# the program embeds and installs. Run from this folder after changing the art; the PNGs are
# committed so that a build needs no image tools.
set -eu
IM=/usr/bin/convert
draw() {  # draw NAME BACKGROUND BUBBLE2 GLYPH1COLOUR
    name=$1 bg=$2 b2=$3 g1=$4
    $IM -size 256x256 xc:none \
        -fill "$bg" -draw "roundrectangle 12,12 243,243 52,52" \
        -fill white -draw "roundrectangle 34,40 168,136 26,26" \
        -draw "polygon 62,132 52,176 106,132" \
        -fill "$b2" -draw "roundrectangle 92,116 224,212 26,26" \
        -draw "polygon 182,208 204,244 150,208" \
        -font DejaVu-Sans-Bold -pointsize 84 -fill "$g1" -annotate +69+118 "A" \
        -fill white -annotate +126+196 "ñ" \
        "$name-256.png"
    for s in 16 24 32 48 64 128; do
        $IM "$name-256.png" -resize ${s}x${s} "$name-$s.png"
    done
}
draw talvero '#2b6cb0' '#e8892b' '#2b6cb0'
draw talvero-disabled '#8a8f96' '#b4b8bd' '#8a8f96'
