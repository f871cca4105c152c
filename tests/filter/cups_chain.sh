#!/usr/bin/env bash
# PDFs through the whole CUPS chain (cupsfilter: PDF -> raster ->
# rastertopclxl) with the generated PPD, the jobs checked with `pclxl dump`
# when the build has it; then cut and garbled raster into the filter.
#   tests/filter/cups_chain.sh BUILD_DIR
# Needs cups, cups-filters and ghostscript; works in BUILD_DIR/cups-chain
# and runs without a cupsd.
set -euo pipefail
export LC_ALL=C

build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
filter=$build/filter/rastertopclxl
ppd=$build/filter/ppd/pclxl.ppd
tool=$build/tools/pclxl/pclxl
work=$build/cups-chain
for f in "$filter" "$ppd"; do
  [ -e "$f" ] || { echo "missing $f (build the tree with libcups and ppdc first)"; exit 1; }
done
for p in cupsfilter gs cups-config; do
  command -v "$p" >/dev/null || { echo "missing $p"; exit 1; }
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

rm -rf "$work"
mkdir -p "$work"
chmod 755 "$work"

# cupsfilter takes filters from ServerBin/filter and, run as root, only
# root-owned ones that group and others cannot write. A private ServerBin
# holds our filter next to links to the system's filters.
serverbin=$work/serverbin
mkdir -p "$serverbin/filter"
for f in "$(cups-config --serverbin)"/filter/*; do
  ln -s "$f" "$serverbin/filter/"
done
install -m 755 "$filter" "$serverbin/filter/rastertopclxl"
pdffilter=$build/filter/pdftopclxl
[ -x "$pdffilter" ] && install -m 755 "$pdffilter" "$serverbin/filter/pdftopclxl"
printf 'ServerBin %s\n' "$serverbin" > "$work/cups-files.conf"

# A three-page document: text, gray and colour areas on each page.
cat > "$work/doc.ps" <<'PS'
%!PS
/Helvetica findfont 40 scalefont setfont
1 1 3 {
  /n exch def
  0 setgray 72 720 moveto (Page ) show n 3 string cvs show
  0.5 setgray 72 400 200 200 rectfill
  1 0 0 setrgbcolor 320 400 200 200 rectfill
  0 0 1 setrgbcolor 72 100 450 100 rectfill
  showpage
} for
PS
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sPAPERSIZE=a4 \
   -sOutputFile="$work/doc.pdf" "$work/doc.ps"

count() { grep -a -o -P "$1" "$2" | wc -l; }

# check_job NAME FILE PAGES COPIES MEDIA PJL-LINE...
check_job() {
  local name=$1 out=$2 pages=$3 copies=$4 media=$5
  shift 5
  local uel=$'\x1b%-12345X'
  if [ "$(head -c 17 "$out")" != "${uel}@PJL JOB" ]; then
    fail "$name: no PJL job header"; return
  fi
  # CloseDataSource, EndSession, then the trailer.
  if [ "$(tail -c 30 "$out" | od -An -tx1 | tr -d ' \n')" != \
       "49421b252d31323334355840504a4c20454f4a0d0a1b252d313233343558" ]; then
    fail "$name: job does not end with the session end and the trailer"; return
  fi
  local opened closed
  opened=$(count '\x43\x61\x74' "$out")
  closed=$(count "\\xC1\\x$(printf %02X "$copies")\\x00\\xF8\\x31\\x44" "$out")
  [ "$opened" = "$pages" ] || fail "$name: $opened pages opened, expected $pages"
  [ "$closed" = "$pages" ] || fail "$name: $closed pages ended with $copies copies, expected $pages"
  local line
  for line in "$@"; do
    grep -a -q -F "$line"$'\r' "$out" || fail "$name: no PJL line $line"
  done
  if [ -x "$tool" ] && "$tool" dump --summary "$out" > "$out.summary" 2>&1; then
    grep -q "^pages: $pages\$" "$out.summary" || fail "$name: pclxl dump counts other pages"
    [ "$(grep -c "^  page .*: media $media, .*copies $copies\$" "$out.summary")" = "$pages" ] ||
      fail "$name: pclxl dump shows other media or copies"
  elif [ -x "$tool" ] && ! grep -q "not available" "$out.summary"; then
    fail "$name: pclxl dump rejects the job: $(tail -1 "$out.summary")"
  fi
  pass "$name: $(stat -c %s "$out") bytes"
}

# run_chain NAME COPIES MEDIA CUPSFILTER-OPTIONS... -- PJL-LINES...
run_chain() {
  local name=$1 copies=$2 media=$3
  shift 3
  local opts=()
  while [ "$1" != "--" ]; do opts+=("$1"); shift; done
  shift
  local out=$work/$name.pxl
  if ! cupsfilter -c "$work/cups-files.conf" -e -p "$ppd" -m printer/test -n "$copies" \
       "${opts[@]}" "$work/doc.pdf" > "$out" 2> "$work/$name.log"; then
    fail "$name: cupsfilter failed: $(grep -a 'ERROR' "$work/$name.log" | head -3)"
    return
  fi
  local pc=$copies
  for o in "${opts[@]}"; do [ "$o" = "Collate=True" ] && pc=1; done
  check_job "$name" "$out" 3 "$pc" "$media" "$@"
}

run_chain gray-simplex 1 eA4Paper -o PageSize=A4 -o ColorModel=Gray -o Duplex=None -- \
  "@PJL SET PAPER=A4" "@PJL SET RENDERMODE=GRAYSCALE" "@PJL SET DUPLEX=DISABLE" \
  "@PJL SET COPIES=1"
run_chain rgb-duplex 1 eA4Paper -o PageSize=A4 -o Duplex=DuplexNoTumble -o ColorModel=RGB -- \
  "@PJL SET RENDERMODE=COLOR" "@PJL SET DUPLEX=ENABLE" "@PJL SET BINDING=LONGEDGE"
run_chain letter-copies 2 eLetterPaper -o PageSize=Letter -o ColorModel=Gray -o Duplex=DuplexTumble \
  -o InputSlot=tray_2 -o MediaType=film -- \
  "@PJL SET PAPER=LETTER" "@PJL SET BINDING=SHORTEDGE" "@PJL SET COPIES=2" \
  "@PJL SET QTY=1" "@PJL SET MEDIASOURCE=OPTIONAL2" "@PJL SET MEDIATYPE=FILM"
run_chain a5-collated 3 eA5Paper -o PageSize=A5 -o ColorModel=RGB -o Collate=True -- \
  "@PJL SET PAPER=A5" "@PJL SET COPIES=1" "@PJL SET QTY=3"

# PDF jobs go to pdftopclxl, which sends vectors and text; with
# pclxlRender=Raster it sends each page as one image instead.
if [ -x "$pdffilter" ]; then
  run_chain pdf-raster 1 eA4Paper -o PageSize=A4 -o pclxlRender=Raster -- "@PJL SET PAPER=A4"
  vector=$(stat -c %s "$work/gray-simplex.pxl") raster=$(stat -c %s "$work/pdf-raster.pxl")
  [ "$vector" -lt "$raster" ] || fail "the vector job ($vector bytes) is not smaller than the raster one"
  # A cut PDF (which the PDF library may repair) and one that is not PDF at
  # all: exit 1 with one ERROR line, or 0; either way the job is whole or
  # empty.
  head -c $(($(stat -c %s "$work/doc.pdf") / 3)) "$work/doc.pdf" > "$work/cut.pdf"
  head -c 20000 /dev/urandom > "$work/noise.pdf"
  for name in cut noise; do
    status=0
    PPD=$ppd "$pdffilter" 1 user title 1 "" "$work/$name.pdf" > "$work/$name.pxl" \
      2> "$work/$name.log" || status=$?
    errors=$(grep -c '^ERROR: ' "$work/$name.log" || true)
    if [ "$status:$errors" != 1:1 ] && [ "$status:$errors" != 0:0 ]; then
      fail "$name PDF: exit status $status, $errors ERROR lines"
    elif [ "$name" = noise ] && [ "$status" != 1 ]; then
      fail "noise PDF: accepted"
    elif [ -s "$work/$name.pxl" ] && ! "$tool" dump --summary "$work/$name.pxl" > /dev/null 2>&1; then
      fail "$name PDF: the job written is not whole"
    else
      pass "$name PDF: exit $status $(grep '^ERROR: ' "$work/$name.log" || true)"
    fi
  done
fi

# Bad raster straight into the filter: a clean ERROR and exit status 1, and
# a job that is still whole up to the last complete page.
cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m application/vnd.cups-raster \
  -o ColorModel=Gray "$work/doc.pdf" > "$work/doc.ras" 2>/dev/null
size=$(stat -c %s "$work/doc.ras")
bad_input() {
  local name=$1 pages=$2
  local status=0
  "$filter" 1 user title 1 "" < "$work/$name.ras" > "$work/$name.pxl" 2> "$work/$name.log" ||
    status=$?
  if [ "$status" != 1 ] || ! grep -q '^ERROR: ' "$work/$name.log"; then
    fail "$name: exit status $status, $(grep -c '^ERROR: ' "$work/$name.log") ERROR lines"
    return
  fi
  if [ "$pages" = 0 ]; then
    [ -s "$work/$name.pxl" ] && fail "$name: output without a complete page" && return
    pass "$name: $(grep '^ERROR: ' "$work/$name.log")"
  else
    check_job "$name" "$work/$name.pxl" "$pages" 1 eA4Paper
  fi
}
head -c $((size * 5 / 6)) "$work/doc.ras" > "$work/truncated.ras"
bad_input truncated 2
head -c 100000 /dev/urandom > "$work/garbage.ras"
bad_input garbage 0

# SIGTERM while the second page is read: that page is finished, the job
# ends there and the filter exits 0.
mkfifo "$work/fifo"
"$filter" 1 user title 1 "" < "$work/fifo" > "$work/cancel.pxl" 2> "$work/cancel.log" &
pid=$!
{
  head -c $((size / 2)) "$work/doc.ras"
  sleep 1
  kill -TERM "$pid"
  tail -c +$((size / 2 + 1)) "$work/doc.ras" 2>/dev/null || true
} > "$work/fifo"
status=0
wait "$pid" || status=$?
if [ "$status" = 0 ]; then
  check_job cancel "$work/cancel.pxl" 2 1 eA4Paper
else
  fail "cancel: exit status $status"
fi

# Speed: the filter's CPU time per page next to the whole chain's elapsed
# time (the CPU time of its grandchildren is not reported to us), for the
# document above and for pages inked edge to edge with a gradient.
cat > "$work/full.ps" <<'PS'
%!PS
1 1 3 {
  pop
  << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 595 842]
     /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0.9 0] /C1 [0 0.2 1] /N 1 >> >> shfill
  showpage
} for
PS
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sPAPERSIZE=a4 \
   -sOutputFile="$work/full.pdf" "$work/full.ps"
speed() {
  local doc=$1 model=$2 ras=$work/speed.ras
  cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m application/vnd.cups-raster \
    -o ColorModel="$model" -o PageSize=A4 "$work/$doc.pdf" > "$ras" 2>/dev/null
  local TIMEFORMAT='%U %S %R' filter_time chain_time
  filter_time=$( { time "$filter" 1 u t 1 "" "$ras" > /dev/null 2>&1; } 2>&1)
  chain_time=$( { time cupsfilter -c "$work/cups-files.conf" -e -p "$ppd" -m printer/test \
    -o ColorModel="$model" -o PageSize=A4 "$work/$doc.pdf" > /dev/null 2>&1; } 2>&1)
  local report='{ printf "speed %s %s, A4 600 dpi, per page: filter %.3f s CPU; ", $1, $2, ($3 + $4) / 3
                  printf "whole chain %.3f s elapsed\n", $8 / 3 }'
  echo "$doc $model $filter_time $chain_time" | awk "$report"
}
for doc in doc full; do
  speed $doc Gray
  speed $doc RGB
done

echo "cups chain: $failures failures"
[ "$failures" = 0 ]
