#!/usr/bin/env bash
# Draws the console's clock icon (console/res/Horalux.ico, 32x32 and 16x16) and the About
# box picture (console/res/About.bmp) with ImageMagick. The results are kept in the tree;
# run this only to change them.
set -euo pipefail
cd "$(dirname "$0")/../console/res"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# clock SIZE OUT: a blue-rimmed white face, twelve ticks, hands at ten past ten.
clock() {
    local s=$1 out=$2
    local c r ticks="" i
    c=$(echo "$s/2 - 0.5" | bc -l)
    r=$(echo "$s/2 - 1" | bc -l)
    local stroke
    stroke=$(echo "if ($s >= 64) $s/24 else 1.6" | bc -l)
    for i in $(seq 0 11); do
        local a x1 y1 x2 y2 inner
        a=$(echo "$i * 3.14159265 / 6" | bc -l)
        inner=$(echo "if ($i % 3 == 0) $r*0.68 else $r*0.78" | bc -l)
        x1=$(echo "$c + s($a) * $inner" | bc -l); y1=$(echo "$c - c($a) * $inner" | bc -l)
        x2=$(echo "$c + s($a) * $r*0.86" | bc -l); y2=$(echo "$c - c($a) * $r*0.86" | bc -l)
        ticks+="line $x1,$y1 $x2,$y2 "
    done
    local hx hy mx my
    hx=$(echo "$c + s(10*3.14159265/6 + 3.14159265/36) * $r*0.48" | bc -l)
    hy=$(echo "$c - c(10*3.14159265/6 + 3.14159265/36) * $r*0.48" | bc -l)
    mx=$(echo "$c + s(2*3.14159265/12*1) * $r*0.72" | bc -l)
    my=$(echo "$c - c(2*3.14159265/12*1) * $r*0.72" | bc -l)
    convert -size "${s}x${s}" xc:none \
        -fill '#1f5fbf' -stroke none -draw "circle $c,$c $c,$(echo "$c - $r" | bc -l)" \
        -fill white -draw "circle $c,$c $c,$(echo "$c - $r*0.84" | bc -l)" \
        -stroke '#20304a' -strokewidth "$stroke" -draw "$ticks" \
        -stroke '#20304a' -strokewidth "$(echo "$stroke*1.5" | bc -l)" -draw "line $c,$c $hx,$hy" \
        -stroke '#20304a' -strokewidth "$stroke" -draw "line $c,$c $mx,$my" \
        -stroke none -fill '#d03020' -draw "circle $c,$c $c,$(echo "$c - $stroke" | bc -l)" \
        "$out"
}

clock 256 "$tmp/clock256.png"
convert "$tmp/clock256.png" -resize 32x32 "$tmp/clock32.png"
convert "$tmp/clock256.png" -resize 16x16 -unsharp 0x0.6 "$tmp/clock16.png"
convert "$tmp/clock32.png" "$tmp/clock16.png" Horalux.ico

# About picture: the clock on a soft sky gradient, sized for the 102 x 74 unit frame.
convert -size 152x120 gradient:'#e8f0fc-#b8cdf0' \
    \( "$tmp/clock256.png" -resize 96x96 \) -gravity center -geometry +0-4 -composite \
    -fill '#20304a' -font DejaVu-Sans -pointsize 11 -gravity south -annotate +0+3 'Horalux' \
    -alpha off -type TrueColor BMP3:About.bmp
echo "console/res/Horalux.ico and console/res/About.bmp written"
