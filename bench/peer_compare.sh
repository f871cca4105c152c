#!/usr/bin/env bash
# Side by side with the PCL XL driver most Linux systems use today
# (cups-filters' pxlcolor.ppd, Ghostscript's pxlcolor device): the same
# documents through cupsfilter with each PPD, in one run. Prints, per
# document, the bytes and the elapsed time of both jobs and how far each
# job's pages are from a direct render of the document (mean absolute
# difference from ../shared/tools/pxl-compare when it is there), then the
# geometric means of our/peer ratios.
#
#   bench/peer_compare.sh BUILD_DIR [PDF...]
#
# Without PDFs it takes ten public documents from Debian: the CUPS test page
# and form, and manuals of graphviz, asymptote and shared-mime-info
# (downloaded as packages into BUILD_DIR/peer, never installed).
# Needs cups, cups-filters, ghostscript and a build with pdftopclxl.
set -euo pipefail
export LC_ALL=C

build=$(cd "${1:?usage: $0 BUILD_DIR [PDF...]}" && pwd)
shift
here=$(cd "$(dirname "$0")/.." && pwd)
work=$build/peer
ours_ppd=$build/filter/ppd/pclxl.ppd
peer_ppd=/usr/share/ppd/cupsfilters/pxlcolor.ppd
compare=$here/../shared/tools/pxl-compare
for f in "$build/filter/pdftopclxl" "$build/filter/rastertopclxl" "$ours_ppd" "$peer_ppd"; do
  [ -e "$f" ] || { echo "missing $f"; exit 1; }
done
mkdir -p "$work/docs" "$work/jobs"

# cupsfilter, run as root, takes only root-owned filters from ServerBin: a
# private one holds ours next to links to the system's.
serverbin=$work/serverbin
rm -rf "$serverbin"
mkdir -p "$serverbin/filter"
for f in "$(cups-config --serverbin)"/filter/*; do ln -s "$f" "$serverbin/filter/"; done
install -m 755 "$build/filter/pdftopclxl" "$build/filter/rastertopclxl" "$serverbin/filter/"
printf 'ServerBin %s\n' "$serverbin" > "$work/cups-files.conf"

docs=("$@")
if [ ${#docs[@]} = 0 ]; then
  debs=$work/debs
  mkdir -p "$debs"
  (cd "$debs" && for p in graphviz-doc asymptote-doc; do
     ls ${p}_*.deb >/dev/null 2>&1 || apt-get download "$p" >/dev/null
   done)
  for d in "$debs"/*.deb; do dpkg-deb -x "$d" "$debs/x"; done
  g=$debs/x/usr/share/doc/graphviz/pdf
  gunzip -kf "$g/neatoguide.pdf.gz" "$g/dot.1.pdf.gz" "$g/smyrna.pdf.gz"
  a=$debs/x/usr/share/doc/asymptote
  docs=(/usr/share/cups/data/default-testpage.pdf /usr/share/cups/data/form_english.pdf
        "$g/neatoguide.pdf" "$g/dot.1.pdf" "$g/smyrna.pdf"
        "$a/CAD.pdf" "$a/asyRefCard.pdf" "$a/asy-latex.pdf" "$a/examples/pixel.pdf"
        /usr/share/doc/shared-mime-info/shared-mime-info-spec.pdf)
fi

# run PPD OUT DOC PAPER: prints the elapsed seconds.
run() {
  local TIMEFORMAT=%R t
  t=$( { time cupsfilter -c "$work/cups-files.conf" -e -p "$1" -m printer/test \
           -o PageSize="$4" -o Resolution=600dpi "$3" > "$2" 2> "$2.log"; } 2>&1 ) ||
    { echo "cupsfilter failed for $3 ($1)" >&2; tail -3 "$2.log" >&2; }
  echo "$t"
}

# fidelity DOC JOB: "mean/max" page difference, or "-" without the tools.
fidelity() {
  [ -x "$compare" ] || { echo -; return; }
  "$compare" "$1" "$2" --limit 1000 2>&1 |
    awk '/^page [0-9]+: mean difference/ { v = $5; s += v; n++; if (v > m) m = v }
         END { if (n) printf "%.1f/%.1f", s / n, m; else print "error" }'
}

printf '%-28s %5s %11s %11s %7s %7s %7s %7s %11s %11s\n' document pages ours-bytes peer-bytes \
  ratio ours-s peer-s ratio ours-diff peer-diff
for doc in "${docs[@]}"; do
  name=$(basename "$doc" .pdf)
  pages=$(pdfinfo "$doc" 2>/dev/null | awk '/^Pages:/ { print $2 }')
  ours=$work/jobs/$name.ours.pxl peer=$work/jobs/$name.peer.pxl
  # Each document on its own paper, so that the differences measure the
  # printing, not a scaling.
  paper=$(pdfinfo "$doc" 2>/dev/null | awk '/^Page size:/ {
            print ($3 > 605 && $3 < 620 && $5 > 785 && $5 < 800) ? "Letter" : "A4" }')
  ts_ours=$(run "$ours_ppd" "$ours" "$doc" "$paper")
  ts_peer=$(run "$peer_ppd" "$peer" "$doc" "$paper")
  b_ours=$(stat -c %s "$ours") b_peer=$(stat -c %s "$peer")
  printf '%-28s %5s %11s %11s %7.3f %7.2f %7.2f %7.3f %11s %11s\n' "$name" "$pages" "$b_ours" \
    "$b_peer" "$(awk -v a="$b_ours" -v b="$b_peer" 'BEGIN { print (b ? a / b : 0) }')" \
    "$ts_ours" "$ts_peer" "$(awk -v a="$ts_ours" -v b="$ts_peer" 'BEGIN { print (b ? a / b : 0) }')" \
    "$(fidelity "$doc" "$ours")" "$(fidelity "$doc" "$peer")"
done | tee "$work/table.txt"
awk 'NR > 0 && $5 > 0 && $8 > 0 { lb += log($5); lt += log($8); n++ }
     END { if (n) printf "geometric mean of our/peer: bytes %.3f, time %.3f over %d documents\n",
                         exp(lb / n), exp(lt / n), n }' "$work/table.txt"
