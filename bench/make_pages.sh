#!/usr/bin/env bash
# Makes the real pages bench_raster reads from DIR (PCLXL_BENCH_PAGES=DIR),
# from content Debian ships; nothing here is committed:
#   photo.png  a photograph: the astronaut of scikit-image's sample data,
#              taken from the python3-skimage package (downloaded with
#              apt-get download, unpacked, not installed)
#   text.ppm   a text page: the Apache licence (base-files) set in Times,
#              rasterized by Ghostscript on A4 at 600 dpi, 24 bits
#   scan.ppm   the same page as a scanner sees it: anti-aliased and turned
#              0.4 degrees (bench_raster adds paper tone and sensor noise)
#   bench/make_pages.sh DIR
set -euo pipefail
dir=${1:?usage: $0 DIR}
mkdir -p "$dir"
cd "$dir"

if [ ! -s photo.png ]; then
  rm -rf deb && mkdir deb
  (cd deb && apt-get download python3-skimage >/dev/null)
  dpkg-deb --fsys-tarfile deb/python3-skimage_*.deb |
    tar -xO ./usr/lib/python3/dist-packages/skimage/data/astronaut.png >photo.png
  rm -rf deb
fi

# The first 76 lines of the licence, one PostScript string per line.
{
  printf '%%!PS\n/Times-Roman findfont 10 scalefont setfont\n'
  printf '/y 800 def /line { 60 y moveto show /y y 10.5 sub def } def\n'
  head -n 76 /usr/share/common-licenses/Apache-2.0 |
    sed 's/[\\()]/\\&/g; s/^/(/; s/$/) line/'
  printf 'showpage\n'
} >text.ps
{
  printf '%%!PS\n<< /BeginPage { 297 421 translate 0.4 rotate -297 -421 translate } >> setpagedevice\n'
  tail -n +2 text.ps
} >scan.ps
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=ppmraw -sPAPERSIZE=a4 -r600 -sOutputFile=text.ppm text.ps
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=ppmraw -sPAPERSIZE=a4 -r600 -dTextAlphaBits=4 \
  -dGraphicsAlphaBits=4 -sOutputFile=scan.ppm scan.ps
ls -l "$dir"
