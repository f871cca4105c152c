#!/usr/bin/env bash
# The CUPS driver end to end, without a cupsd: a PDF through cupsfilter with
# the generated PPD and its options (to pdftopclxl when the build has it,
# else to raster and rastertopclxl); the regions' resolution; SIGTERM to
# rastertopclxl in the middle of a page.
#   tests/filter/cups_chain.sh BUILD_DIR
# Needs cups, cups-filters and ghostscript; works in BUILD_DIR/cups-chain.
source "$(dirname "$0")/scenario.sh"
filter=$build/filter/rastertopclxl pdffilter=$build/filter/pdftopclxl
ppd=$build/filter/ppd/pclxl.ppd work=$build/cups-chain
need "$filter" "$ppd" cupsfilter cups-config
rm -rf "$work"
mkdir -p "$work/serverbin/filter"
chmod 755 "$work"

# cupsfilter takes filters from ServerBin/filter and, run as root, only
# root-owned ones that group and others cannot write. A private ServerBin
# holds ours next to links to the system's filters.
ln -s "$(cups-config --serverbin)"/filter/* "$work/serverbin/filter/"
install -m 755 "$filter" "$work/serverbin/filter/"
[ -x "$pdffilter" ] && install -m 755 "$pdffilter" "$work/serverbin/filter/"
printf 'ServerBin %s\n' "$work/serverbin" >"$work/cups-files.conf"
page_ps 3 >"$work/doc.ps"
gs_doc pdfwrite "$work/doc.pdf" "$work/doc.ps"

# chain NAME PAGE-COPIES "CUPSFILTER-OPTIONS" TEXT...: the three pages.
chain() {
  local name=$1 copies=$2 opts
  read -ra opts <<<"$3"
  shift 3
  if cupsfilter -c "$work/cups-files.conf" -e -p "$ppd" -m printer/test "${opts[@]}" \
    "$work/doc.pdf" >"$work/$name.pxl" 2>"$work/$name.log"; then
    check_job "$name" "$work/$name.pxl" 3 "$copies" "$@"
  else
    fail "$name: cupsfilter failed: $(grep -a -m 3 ERROR "$work/$name.log")"
  fi
}
chain gray-a4 1 "-o PageSize=A4 -o ColorModel=Gray -o Duplex=None" "MediaSize=eA4Paper" \
  "@PJL SET PAPER=A4" "@PJL SET RENDERMODE=GRAYSCALE" "@PJL SET DUPLEX=DISABLE"
chain letter-copies 2 "-n 2 -o PageSize=Letter -o ColorModel=Gray -o Duplex=DuplexTumble \
  -o InputSlot=tray_2 -o MediaType=film" "MediaSize=eLetterPaper" "@PJL SET PAPER=LETTER" \
  "@PJL SET BINDING=SHORTEDGE" "@PJL SET COPIES=2" "@PJL SET QTY=1" \
  "@PJL SET MEDIASOURCE=OPTIONAL2" "@PJL SET MEDIATYPE=FILM"

if [ -x "$pdffilter" ]; then
  # pclxlRender=Raster sends each page as one image instead of vectors.
  chain pdf-raster 1 "-o PageSize=A4 -o pclxlRender=Raster" "@PJL SET PAPER=A4" BeginImage
  # pclxlRegionResolution: transparent regions at that resolution (the
  # first region image's source against its size on the 600 dpi page),
  # else at the job's; as a PPD default and as a job option.
  regions=$(dirname "$0")/../pdf/data/regions.pdf
  while read -r name scale ppd_default options; do
    sed "s/^\*DefaultpclxlRegionResolution: .*/*DefaultpclxlRegionResolution: $ppd_default/" \
      "$ppd" >"$work/$name.ppd"
    PPD=$work/$name.ppd "$pdffilter" 1 user title 1 "${options#-}" "$regions" \
      >"$work/$name.pxl" 2>"$work/$name.log" || fail "$name: exit status $?"
    got=$("$tool" dump "$work/$name.pxl" | awk -F'[ =(,]+' '/BeginImage/ {
      for (i = 1; i < NF; i++) { if ($i == "SourceWidth") s = $(i + 1); if ($i == "DestinationSize") d = $(i + 1) }
      printf "%.0f", d / s; exit }')
    [ "$got" = "$scale" ] && pass "$name" || fail "$name: regions at 1/$got of the job's resolution, not 1/$scale"
  done <<'ROWS'
regions-auto 1 Auto -
regions-ppd 4 150dpi -
regions-option 2 150dpi pclxlRegionResolution=300dpi
ROWS
fi

# SIGTERM while the second page is read: that page is finished, the job
# ends there and the filter exits 0.
cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m application/vnd.cups-raster \
  -o ColorModel=Gray "$work/doc.pdf" >"$work/doc.ras" 2>/dev/null
half=$(($(stat -c %s "$work/doc.ras") / 2))
mkfifo "$work/fifo"
"$filter" 1 user title 1 "" <"$work/fifo" >"$work/cancel.pxl" 2>"$work/cancel.log" &
pid=$!
{
  head -c "$half" "$work/doc.ras"
  sleep 1
  kill -TERM "$pid"
  tail -c +$((half + 1)) "$work/doc.ras" 2>/dev/null || true
} >"$work/fifo"
if wait "$pid"; then
  check_job cancel "$work/cancel.pxl" 2 1 "MediaSize=eA4Paper"
else
  fail "cancel: exit status $?"
fi
finish "cups chain"
