#!/usr/bin/env bash
# Draws the world map of the scenery screens, resources/map.png, from GMT's coastline data
# (Debian packages gmt, gmt-gshhg-low, ghostscript and imagemagick):
#   tools/make_map.sh [output]
# The texture is 512 x 512. The plain map fills texels s 0-504, t 0-252 (t up from the bottom),
# the highlighted map the 252 rows above it; longitude -180 and latitude -90 sit at the lower
# left of each, 14 texels to 10 degrees.
set -euo pipefail
out=$(realpath -m "${1:-$(dirname "$0")/../resources/map.png}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

draw() {  # name land ocean coast grid
  gmt begin "$1" ps >/dev/null 2>&1
  gmt set MAP_FRAME_PEN 0p PS_MEDIA 6ix3i PS_PAGE_ORIENTATION portrait
  gmt coast -R-180/180/-90/90 -JX5.04i/2.52i -Dl -A2000 -G"$2" -S"$3" -W0.25p,"$4"
  gmt basemap -Bg10 --MAP_GRID_PEN_PRIMARY=0.35p,"$5"
  gmt end
  gmt psconvert "$1.ps" -Tg -E100 -A -F"$1" >/dev/null 2>&1
  # psconvert's crop keeps one row too many; the map is exactly 504 x 252.
  convert "$1.png" -crop 504x252+0+0 +repage "$1_cut.png"
}
draw plain '#cdd9b0' '#a9c9e8' '#7d8f66' '#c2d3e6'
draw lit '#f2cf72' '#5c9fe0' '#9a7b2c' '#7fb4ea'

convert -size 512x512 xc:none lit_cut.png -geometry +0+8 -composite plain_cut.png -geometry +0+260 \
  -composite -define png:exclude-chunk=all "PNG32:$out"
