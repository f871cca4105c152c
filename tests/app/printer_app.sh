#!/usr/bin/env bash
# pclxl-printer-app end to end: a server on a loopback port with a private
# spool directory, two printers with file:// devices, a PDF, a PWG raster and
# a JPEG with different options (the first two at the same time), each job
# checked with `pclxl dump`; a 20-page job and a cancelled one; the IPP
# Everywhere tests of ipptool; the web page in headless Chromium.
#   tests/app/printer_app.sh BUILD_DIR
# Needs ghostscript, cups-ipp-utils (ipptool), curl; node, npm and chromium
# for the web page (playwright-core from package-lock.json is installed
# into BUILD_DIR/app-web once, without a browser download). Everything
# stays on loopback and under BUILD_DIR; the server is stopped by SIGTERM
# to its PID and killed by a watchdog after PCLXL_APP_TEST_SECONDS (240).
set -euo pipefail
export LC_ALL=C
# Under the sanitizers, PAPPL's own sub-commands and server leave memory
# behind at exit; the driver core's leaks are checked by test_app. Address
# and undefined-behaviour errors still end the processes and fail below.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"

build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
app=$build/app/pclxl-printer-app
tool=$build/tools/pclxl/pclxl
work=$build/app-test
limit=${PCLXL_APP_TEST_SECONDS:-240}
for f in "$app" "$tool"; do
  [ -x "$f" ] || { echo "missing $f (build pclxl-printer-app and pclxl_tool first)"; exit 1; }
done
for p in gs ipptool curl node npm; do
  command -v "$p" >/dev/null || { echo "missing $p"; exit 1; }
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
now_ms() { date +%s%3N; }
test_start=$(now_ms)

rm -rf "$work"
mkdir -p "$work/spool" "$work/color" "$work/mono" "$work/docs"

# --- documents -------------------------------------------------------------
# Each page: its number, gray and colour areas, and a black square one inch
# from the top left corner of the sheet.
page_ps() {
  cat <<PS
%!PS
/Helvetica findfont 40 scalefont setfont
1 1 $1 {
  /n exch def
  0 setgray 72 748 72 22 rectfill
  72 600 moveto (Page ) show n 3 string cvs show
  0.5 setgray 72 400 200 150 rectfill
  1 0 0 setrgbcolor 320 400 200 150 rectfill
  showpage
} for
PS
}
page_ps 3 > "$work/docs/three.ps"
page_ps 20 > "$work/docs/twenty.ps"
docs=$work/docs
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sPAPERSIZE=a4 \
   -sOutputFile="$docs/pdf-job.pdf" "$docs/three.ps"
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sPAPERSIZE=a4 \
   -sOutputFile="$docs/twenty-pages.pdf" "$docs/twenty.ps"
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pwgraster -r600 -dcupsColorSpace=18 \
   -dcupsBitsPerColor=8 -sPAPERSIZE=a4 -dLastPage=2 -sOutputFile="$docs/pwg-job.pwg" \
   "$docs/three.ps" >/dev/null 2>&1
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=jpeg -r75 -sPAPERSIZE=a4 -dLastPage=1 \
   -sOutputFile="$docs/jpeg-job.jpg" "$docs/three.ps"

# --- server ------------------------------------------------------------------
# A free loopback port: nothing answers on it.
port=
for _ in $(seq 50); do
  p=$((20000 + RANDOM % 40000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
    port=$p
    break
  fi
done
[ -n "$port" ] || { echo "no free port"; exit 1; }
base=http://localhost:$port
t=$(now_ms)
"$app" server -o server-port="$port" -o spool-directory="$work/spool" \
  -o log-file="$work/server.log" -o log-level=info >"$work/server.out" 2>&1 &
pid=$!
(
  sleep "$limit" &
  echo $! >"$work/watchdog-sleep.pid"
  wait
  kill -KILL "$pid"
) </dev/null >/dev/null 2>&1 &
watchdog=$!
stop_server() {
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  kill "$watchdog" 2>/dev/null || true
  [ -s "$work/watchdog-sleep.pid" ] && kill "$(cat "$work/watchdog-sleep.pid")" 2>/dev/null
  return 0
}
trap stop_server EXIT
for _ in $(seq 250); do
  curl -sf -o /dev/null "$base/" && break
  sleep 0.02
done
start_ms=$(($(now_ms) - t))
curl -sf -o /dev/null "$base/" || { fail "server did not start"; exit 1; }
pass "server started in $start_ms ms"

"$app" add -u "ipp://localhost:$port/ipp/system" -d color -m pclxl_color -v "file://$work/color"
"$app" add -u "ipp://localhost:$port/ipp/system" -d mono -m pclxl_mono -v "file://$work/mono"
rss_kb() { awk "/^$1:/ {print \$2}" "/proc/$pid/status"; }
idle_kb=$(rss_kb VmRSS)

# --- jobs --------------------------------------------------------------------
# A job's state, and a printer's sides-default.
ipp_test() {
  printf '{ OPERATION %s GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8 ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri %s ATTR keyword requested-attributes %s
  STATUS successful-ok EXPECT %s WITH-VALUE $value }\n' "$@" >"$work/$3.test"
}
ipp_test Get-Job-Attributes 'ATTR integer job-id $job' job-state job-state
ipp_test Get-Printer-Attributes '' sides-default sides-default
printer_uri() { echo "ipp://localhost:$port/ipp/print/$1"; }
# submit PRINTER FILE OPTION...: prints the job id. The document's file
# name is the job name.
submit() {
  local printer=$1 file=$2
  shift 2
  "$app" submit -u "$(printer_uri "$printer")" "$@" "$file" | tail -n 1
}
job_state() {
  ipptool -q -d job="$2" -d value="$3" "$1" "$work/job-state.test"
}
# wait_job PRINTER ID [STATE]: until the job is completed (9), canceled (7)
# or aborted (8); fails unless it reached STATE.
wait_job() {
  local uri
  uri=$(printer_uri "$1")
  for _ in $(seq 600); do
    job_state "$uri" "$2" '>6' && break
    sleep 0.1
  done
  job_state "$uri" "$2" "${3:-9}" ||
    fail "job $2 on $1 did not end in state ${3:-9}"
}

t=$(now_ms)
pdf_id=$(submit color "$docs/pdf-job.pdf" -o copies=2 -o sides=two-sided-long-edge \
  -o print-color-mode=color -o print-quality=draft -o media=iso_a4_210x297mm)
pwg_id=$(submit mono "$docs/pwg-job.pwg" -o copies=3 \
  -o multiple-document-handling=separate-documents-uncollated-copies \
  -o media-type=labels -o media-source=tray-2)
wait_job color "$pdf_id"
pdf_ms=$(($(now_ms) - t))
wait_job mono "$pwg_id"
pair_ms=$(($(now_ms) - t))
t=$(now_ms)
jpeg_id=$(submit color "$docs/jpeg-job.jpg" -o copies=2 -o print-color-mode=monochrome \
  -o sides=two-sided-short-edge -o media=na_letter_8.5x11in)
wait_job color "$jpeg_id"
jpeg_ms=$(($(now_ms) - t))
pass "PDF + PWG raster at the same time: PDF $pdf_ms ms, both $pair_ms ms; JPEG $jpeg_ms ms"

# check_job NAME FILE PAGES PAGE-COPIES EXPECTED-DUMP-TEXT...
check_job() {
  local name=$1 out=$2 pages=$3 copies=$4
  shift 4
  if [ ! -s "$out" ]; then
    fail "$name: no output $out"
    return
  fi
  if ! "$tool" dump "$out" >"$out.dump" 2>&1; then
    fail "$name: pclxl dump finds the job malformed: $(tail -n 1 "$out.dump")"
    return
  fi
  "$tool" dump --summary "$out" >"$out.summary"
  grep -q "^pages: $pages\$" "$out.summary" ||
    fail "$name: $(grep '^pages:' "$out.summary"), expected $pages"
  local wrong
  wrong=$(grep -c "^  page [0-9]*: .*copies $copies\$" "$out.summary" || true)
  [ "$wrong" = "$pages" ] || fail "$name: $wrong of $pages pages have $copies copies"
  local text
  for text in "$@"; do
    grep -a -q -F -- "$text" "$out.dump" || fail "$name: no '$text' in the job"
  done
  # The job's name (the document's file name) and its user.
  grep -a -q -F "@PJL SET JOBNAME=\"$(basename "$out" .prn)\"" "$out.dump" ||
    fail "$name: job name missing from the PJL header"
  grep -a -q -F "@PJL SET USERNAME=\"$(id -un)\"" "$out.dump" ||
    fail "$name: user name missing from the PJL header"
  pass "$name: $pages pages, $copies copies each, options in PJL and pages"
}

check_job "PDF" "$work/color/pdf-job.pdf.prn" 3 1 \
  "@PJL SET COPIES=1" "@PJL SET QTY=2" "@PJL SET DUPLEX=ENABLE" "@PJL SET BINDING=LONGEDGE" \
  "@PJL SET RENDERMODE=COLOR" "@PJL SET PAPER=A4" "@PJL SET RESOLUTION=R300X300" \
  "UnitsPerMeasure=(300,300)" \
  "DuplexPageMode=eDuplexVerticalBinding" "MediaSize=eA4Paper" "ColorSpace=eRGB"
check_job "PWG raster" "$work/mono/pwg-job.pwg.prn" 2 3 \
  "@PJL SET COPIES=3" "@PJL SET QTY=1" "@PJL SET DUPLEX=DISABLE" \
  "@PJL SET RENDERMODE=GRAYSCALE" "@PJL SET MEDIATYPE=LABELS" "@PJL SET MEDIASOURCE=OPTIONAL2" \
  "@PJL SET RESOLUTION=R600X600" "UnitsPerMeasure=(600,600)" "MediaSource=7" 'MediaType="Labels"' "ColorSpace=eGray" \
  "PageOrigin=(100,100)"
check_job "JPEG" "$work/color/jpeg-job.jpg.prn" 2 1 \
  "@PJL SET COPIES=1" "@PJL SET QTY=1" "@PJL SET BINDING=SHORTEDGE" \
  "@PJL SET RENDERMODE=GRAYSCALE" "@PJL SET PAPER=LETTER" "MediaSize=eLetterPaper" \
  "DuplexPageMode=eDuplexHorizontalBinding" "ColorSpace=eGray"
if grep -a -q "ColorSpace=eRGB" "$work/color/jpeg-job.jpg.prn.dump"; then
  fail "JPEG: monochrome job has colour images"
fi

# --- a 20-page job, then one cancelled in the middle -------------------------
t=$(now_ms)
big_id=$(submit mono "$docs/twenty-pages.pdf")
wait_job mono "$big_id"
big_ms=$(($(now_ms) - t))
peak_kb=$(rss_kb VmHWM)
check_job "20-page PDF" "$work/mono/twenty-pages.pdf.prn" 20 1 "@PJL SET RENDERMODE=GRAYSCALE"

# The raster comes through a pipe that stalls inside the last page: the job
# is cancelled there, then the rest arrives.
mkfifo "$docs/cancelled.pwg"
size=$(stat -c %s "$docs/pwg-job.pwg")
(
  exec 3>"$docs/cancelled.pwg"
  head -c $((size * 3 / 4)) "$docs/pwg-job.pwg" >&3
  while [ ! -e "$work/cancel-sent" ]; do sleep 0.05; done
  tail -c +$((size * 3 / 4 + 1)) "$docs/pwg-job.pwg" >&3
) &
feeder=$!
# The request ends only with the document, so the job's number is the next
# one on the printer.
submit mono "$docs/cancelled.pwg" -o copies=2 \
  -o multiple-document-handling=separate-documents-uncollated-copies >"$work/cancel-id" &
submitter=$!
cancel_id=$((big_id + 1))
# Cancel once the first page is out (its EndPage with 2 copies is in the
# file), however slow the build.
for _ in $(seq 600); do
  [ -s "$work/mono/cancelled.pwg.prn" ] &&
    LC_ALL=C grep -q -a -P '\xC1\x02\x00\xF8\x31\x44' "$work/mono/cancelled.pwg.prn" && break
  sleep 0.05
done
"$app" cancel -u "$(printer_uri mono)" -j "$cancel_id" || fail "cancel refused"
touch "$work/cancel-sent"
wait "$feeder" "$submitter" || true
[ "$(cat "$work/cancel-id")" = "$cancel_id" ] || fail "cancelled job is $(cat "$work/cancel-id")"
wait_job mono "$cancel_id" 7
out=$work/mono/cancelled.pwg.prn
# Whole pages keep their copies; the cut one prints once.
if "$tool" dump --summary "$out" >"$out.summary" 2>&1 &&
   [ "$(grep -o 'copies [0-9]*$' "$out.summary" | tr '\n' ' ')" = "copies 2 copies 1 " ]; then
  pass "cancelled job ends cleanly after $(grep '^pages:' "$out.summary"), the last one cut"
else
  fail "cancelled job is not a whole job with copies 2, then 1: $(tail -n 3 "$out.summary")"
fi
[ "$(tail -c 28 "$out" | od -An -c | tr -d ' \n')" = '033%-12345X@PJLEOJ\r\n033%-12345X' ] ||
  fail "cancelled job does not end with the PJL trailer"

# --- IPP Everywhere ------------------------------------------------------------
ipptool -t -I -f "$docs/pdf-job.pdf" "$(printer_uri color)" ipp-everywhere.test \
  >"$work/ipp-everywhere.txt" 2>&1 || true
summary=$(grep -c '\[PASS\]' "$work/ipp-everywhere.txt" || true)
failed=$(grep '\[FAIL\]' "$work/ipp-everywhere.txt" || true)
skipped=$(grep -c '\[SKIP\]' "$work/ipp-everywhere.txt" || true)
# Only overrides-supported (not in PAPPL 1.3) may fail.
unexpected=$(awk '/\[FAIL\]/ {f = 1; next} /\[(PASS|SKIP)\]/ {f = 0}
  f && /EXPECTED:/ && !/overrides-supported/' "$work/ipp-everywhere.txt")
if [ -n "$unexpected" ] || [ "$(printf '%s\n' "$failed" | grep -c FAIL)" -gt 1 ]; then
  fail "ipptool ipp-everywhere.test: $failed $unexpected (see $work/ipp-everywhere.txt)"
else
  pass "ipptool ipp-everywhere.test: $summary passed, $(printf '%s\n' "$failed" | grep -c FAIL) failed (overrides-supported), $skipped skipped"
fi

# --- web page ------------------------------------------------------------------
web=$build/app-web
if [ ! -d "$web/node_modules/playwright-core" ]; then
  mkdir -p "$web"
  cp "$here/package.json" "$here/package-lock.json" "$web/"
  (cd "$web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 timeout 120 npm ci --no-audit --no-fund --silent) ||
    fail "npm ci of playwright-core"
fi
cp "$here/web_test.mjs" "$web/"
if [ -d "$web/node_modules/playwright-core" ] && [ -x "${CHROMIUM:-/usr/bin/chromium}" ]; then
  t=$(now_ms)
  if timeout 90 node "$web/web_test.mjs" "$base" mono two-sided-short-edge color; then
    if ipptool -q -d value=two-sided-short-edge "$(printer_uri mono)" "$work/sides-default.test"; then
      pass "web: sides default saved and reported over IPP ($(($(now_ms) - t)) ms)"
    # The job is complete once the reader finds it whole.
    out="$work/mono/Test Page.prn"
    for _ in $(seq 100); do
      "$tool" dump --summary "$out" >"$work/testpage.summary" 2>&1 && break
      sleep 0.1
    done
    if grep -q '^pages: 1$' "$work/testpage.summary"; then
      pass "web: test page printed"
    else
      fail "web: no one-page test page in $out"
    fi
    else
      fail "web: sides default not reported over IPP"
    fi
  else
    fail "web page test"
  fi
else
  fail "web page test needs chromium and playwright-core"
fi

# --- state stays in the spool directory --------------------------------------
[ -s "$work/spool/pclxl-printer-app.state" ] || fail "no state file in the spool directory"
[ -S "$work/spool/pclxl-printer-app.sock" ] || [ "$(id -u)" != 0 ] ||
  fail "the control socket is not in the spool directory"

stop_server
trap - EXIT
if grep -a -q -e "ERROR: AddressSanitizer" -e "runtime error:" "$work/server.out"; then
  fail "sanitizer report from the server: $(grep -a -m 1 -e ERROR: -e "runtime error:" "$work/server.out")"
fi
grep -h "CPU" "$work/server.log" | sed 's/^.*\] //' >"$work/cpu.txt" || true
echo "server start: $start_ms ms; idle RSS $((idle_kb / 1024)) MB; peak RSS (20-page job) $((peak_kb / 1024)) MB; 20-page job $big_ms ms"
grep -a "PCL XL job: 2 pages" "$work/cpu.txt" | head -n 1 | sed 's/^/PWG raster 600 dpi A4, /' || true
echo "whole test: $(($(now_ms) - test_start)) ms"
if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s); server log: $work/server.log"
  exit 1
fi
echo "all printer application checks passed"
