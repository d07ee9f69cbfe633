#!/bin/sh
# Draws the program's icons with ImageMagick: a card going into a reader.
#   snimac.ico  the application and the main window (16 to 48 pixels)
#   tray.ico    the notification area (16 pixels, and larger for high DPI)
# Run it here after changing the drawing; the .ico files are kept in the tree.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One picture of `size` pixels; the drawing is on a 16-unit grid.
draw() {
  size=$1
  s=$(echo "$size / 16" | bc -l)
  p() { printf '%.2f' "$(echo "$1 * $s" | bc -l)"; }
  aa=-antialias
  [ "$size" -le 16 ] && aa=+antialias
  convert -size "${size}x${size}" xc:none $aa \
    -stroke '#173a73' -strokewidth "$(p 1)" -fill '#3a7bd5' \
    -draw "roundrectangle $(p 2.5),$(p 0.5) $(p 13.5),$(p 9.5) $(p 1.5),$(p 1.5)" \
    -stroke none -fill '#e8c04a' \
    -draw "rectangle $(p 4),$(p 2.5) $(p 7),$(p 5.5)" \
    -stroke '#1f252d' -strokewidth "$(p 1)" -fill '#4a5563' \
    -draw "roundrectangle $(p 0.5),$(p 7.5) $(p 15.5),$(p 15.5) $(p 2),$(p 2)" \
    -stroke none -fill '#2b323b' \
    -draw "rectangle $(p 2),$(p 8.5) $(p 14),$(p 9.5)" \
    -fill '#5fe35f' \
    -draw "rectangle $(p 11),$(p 11.5) $(p 13),$(p 13.5)" \
    "PNG32:$tmp/$size.png"
}

for size in 16 20 24 32 48; do draw "$size"; done
convert "$tmp/16.png" "$tmp/20.png" "$tmp/24.png" "$tmp/32.png" "$tmp/48.png" snimac.ico
convert "$tmp/16.png" "$tmp/20.png" "$tmp/24.png" "$tmp/32.png" tray.ico
