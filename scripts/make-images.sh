#!/bin/sh
# Render the skin images from their SVG sources.
#   resources/skin/src/NAME.svg  ->  resources/skin/NAME.png  (size from the SVG width/height)
#   resources/skin/src/vela_logo.svg -> resources/skin/vela_logo.ico (16, 32, 48, 256 px;
#     src/ico/vela_logo-SIZE.svg, if present, is used for that size instead)
# and rewrite resources/tallyport.qrc listing every generated file.
# Needs: rsvg-convert (librsvg2-bin) and icotool (icoutils) or ImageMagick convert.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SRC="$ROOT/resources/skin/src"
OUT="$ROOT/resources/skin"
QRC="$ROOT/resources/tallyport.qrc"

command -v rsvg-convert >/dev/null 2>&1 || { echo "rsvg-convert not found (apt-get install librsvg2-bin)" >&2; exit 1; }

# first width="N" / height="N" of the <svg> element
svg_attr() {
    tr '\n' ' ' < "$1" | sed -n 's/.*<svg[^>]*[[:space:]]'"$2"'="\([0-9][0-9]*\)".*/\1/p'
}

for svg in "$SRC"/*.svg; do
    name=$(basename "$svg" .svg)
    w=$(svg_attr "$svg" width)
    h=$(svg_attr "$svg" height)
    [ -n "$w" ] && [ -n "$h" ] || { echo "no width/height in $svg" >&2; exit 1; }
    rsvg-convert -w "$w" -h "$h" -f png -o "$OUT/$name.png" "$svg"
    echo "  $name.png  ${w}x${h}"
done

# application icon
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
# a hand-tuned source in src/ico/vela_logo-SIZE.svg replaces the big drawing at that size
for s in 16 32 48 256; do
    src="$SRC/vela_logo.svg"
    [ -f "$SRC/ico/vela_logo-$s.svg" ] && src="$SRC/ico/vela_logo-$s.svg"
    rsvg-convert -w $s -h $s -f png -o "$TMP/logo-$s.png" "$src"
done
if command -v icotool >/dev/null 2>&1; then
    icotool -c -o "$OUT/vela_logo.ico" "$TMP/logo-16.png" "$TMP/logo-32.png" "$TMP/logo-48.png" -r "$TMP/logo-256.png"
else
    convert "$TMP/logo-16.png" "$TMP/logo-32.png" "$TMP/logo-48.png" "$TMP/logo-256.png" "$OUT/vela_logo.ico"
fi
echo "  vela_logo.ico  16,32,48,256"

# Qt resource file: every generated image under :/Tallyport/skin/NAME
{
    echo '<!DOCTYPE RCC>'
    echo '<RCC version="1.0">'
    echo '    <qresource prefix="/Tallyport/skin">'
    for f in "$OUT"/*.png "$OUT"/*.ico; do
        n=$(basename "$f")
        echo "        <file alias=\"$n\">skin/$n</file>"
    done
    echo '    </qresource>'
    echo '</RCC>'
} > "$QRC"
echo "  tallyport.qrc"
