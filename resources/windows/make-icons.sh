#!/bin/sh
# Render the icons of the Windows helper programs from their SVG sources, as
# scripts/make-images.sh renders the till's own (resources/skin/vela_logo.ico):
#   resources/windows/src/NAME.svg  ->  resources/windows/NAME.ico  (16, 32, 48 and 256 px)
# Needs rsvg-convert (librsvg2-bin) and icotool (icoutils).
set -eu

HERE=$(cd "$(dirname "$0")" && pwd)
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

for svg in "$HERE"/src/*.svg; do
    name=$(basename "$svg" .svg)
    for s in 16 32 48 256; do
        rsvg-convert -w $s -h $s -f png -o "$TMP/$name-$s.png" "$svg"
    done
    icotool -c -o "$HERE/$name.ico" "$TMP/$name-16.png" "$TMP/$name-32.png" \
        "$TMP/$name-48.png" -r "$TMP/$name-256.png"
    echo "  $name.ico  16,32,48,256"
done
