#!/usr/bin/env bash
# pclxl-printer-app end to end: a server on a loopback port with a private
# spool directory, two printers with file:// devices, a PDF, a PWG raster and
# a JPEG with different options (the first two at the same time), a job
# cancelled in the middle, the IPP Everywhere tests of ipptool, and the web
# page in headless Chromium.
#   tests/app/printer_app.sh BUILD_DIR
# Needs ghostscript, ipptool, curl, node, npm and chromium (playwright-core
# from package-lock.json goes into BUILD_DIR/app-web once, without a browser
# download). Everything stays on loopback and under BUILD_DIR; the server
# lives at most PCLXL_APP_TEST_SECONDS (240) and is stopped by SIGTERM to its PID.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../filter/scenario.sh"
# Under the sanitizers, PAPPL's own sub-commands and server leave memory
# behind at exit; the driver core's leaks are checked by test_app.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"
app=$build/app/pclxl-printer-app work=$build/app-test docs=$build/app-test/docs
need "$app" ipptool curl node npm timeout
rm -rf "$work"
mkdir -p "$work/spool" "$work/color" "$work/mono" "$docs"

page_ps 3 >"$docs/three.ps"
gs_doc pdfwrite "$docs/pdf-job.pdf" "$docs/three.ps"
gs_doc pwgraster "$docs/pwg-job.pwg" "$docs/three.ps" -r600 -dcupsColorSpace=18 \
  -dcupsBitsPerColor=8 -dLastPage=2
gs_doc jpeg "$docs/jpeg-job.jpg" "$docs/three.ps" -r75 -dLastPage=1

# A loopback port that nothing answers on.
for _ in $(seq 50); do
  port=$((20000 + RANDOM % 12000))
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
done
base=http://localhost:$port
system=ipp://localhost:$port/ipp/system
"$app" server -o server-port="$port" -o spool-directory="$work/spool" \
  -o log-file="$work/server.log" -o log-level=info >"$work/server.out" 2>&1 &
pid=$!
# The watchdog kills the server once it has lived too long, and ends with it.
timeout "${PCLXL_APP_TEST_SECONDS:-240}" tail --pid="$pid" -f /dev/null </dev/null >/dev/null 2>&1 ||
  kill -KILL "$pid" 2>/dev/null &
trap 'kill -TERM $pid 2>/dev/null; wait $pid 2>/dev/null || true' EXIT
for _ in $(seq 750); do # a loaded machine may take seconds
  curl -sf -o /dev/null "$base/" && break
  sleep 0.02
done
curl -sf -o /dev/null "$base/" || { fail "server did not start"; exit 1; }
"$app" add -u "$system" -d color -m pclxl_color -v "file://$work/color"
"$app" add -u "$system" -d mono -m pclxl_mono -v "file://$work/mono"

printer_uri() { echo "ipp://localhost:$port/ipp/print/$1"; }
# attr PRINTER [JOB] NAME: the printer's (or its job's) attribute NAME, as
# ipptool lists it.
attr() {
  local uri test=get-printer-attributes.test
  uri=$(printer_uri "$1")
  [ $# = 2 ] || uri=$uri/$2 test=get-job-attributes.test
  { ipptool -tv "$uri" "$test" 2>/dev/null || true; } | sed -n "s/^ *${!#} ([^)]*) = //p"
}
# submit PRINTER FILE OPTION...: prints the job id. The document's file
# name is the job name.
submit() {
  local printer=$1 file=$2
  shift 2
  "$app" submit -u "$(printer_uri "$printer")" "$@" "$file" | tail -n 1
}
# wait_job PRINTER ID [STATE]: until the job is completed, canceled or
# aborted; fails unless it reached STATE (completed).
wait_job() {
  local state
  for _ in $(seq 600); do
    state=$(attr "$1" "$2" job-state)
    case $state in completed | canceled | aborted) break ;; esac
    sleep 0.1
  done
  [ "$state" = "${3:-completed}" ] || fail "job $2 on $1 ended $state, not ${3:-completed}"
}

pdf_id=$(submit color "$docs/pdf-job.pdf" -o copies=2 -o sides=two-sided-long-edge \
  -o print-color-mode=color -o print-quality=draft -o media=iso_a4_210x297mm)
pwg_id=$(submit mono "$docs/pwg-job.pwg" -o copies=3 \
  -o multiple-document-handling=separate-documents-uncollated-copies \
  -o media-type=labels -o media-source=tray-2)
wait_job color "$pdf_id"
wait_job mono "$pwg_id"
jpeg_id=$(submit color "$docs/jpeg-job.jpg" -o copies=2 -o print-color-mode=monochrome \
  -o sides=two-sided-short-edge -o media=na_letter_8.5x11in)
wait_job color "$jpeg_id"

check_job "PDF" "$work/color/pdf-job.pdf.prn" 3 1 "@PJL SET JOBNAME=\"pdf-job.pdf\"" \
  "@PJL SET USERNAME=\"$(id -un)\"" "@PJL SET COPIES=1" "@PJL SET QTY=2" \
  "@PJL SET DUPLEX=ENABLE" "@PJL SET BINDING=LONGEDGE" "@PJL SET RENDERMODE=COLOR" \
  "@PJL SET PAPER=A4" "@PJL SET RESOLUTION=R300X300" "UnitsPerMeasure=(300,300)" \
  "DuplexPageMode=eDuplexVerticalBinding" "MediaSize=eA4Paper" "ColorSpace=eRGB"
check_job "PWG raster" "$work/mono/pwg-job.pwg.prn" 2 3 "@PJL SET COPIES=3" "@PJL SET QTY=1" \
  "@PJL SET DUPLEX=DISABLE" "@PJL SET RENDERMODE=GRAYSCALE" "@PJL SET MEDIATYPE=LABELS" \
  "@PJL SET MEDIASOURCE=OPTIONAL2" "@PJL SET RESOLUTION=R600X600" "UnitsPerMeasure=(600,600)" \
  "MediaSource=7" 'MediaType="Labels"' "ColorSpace=eGray" "PageOrigin=(100,100)"
check_job "JPEG" "$work/color/jpeg-job.jpg.prn" 2 1 "@PJL SET COPIES=1" "@PJL SET QTY=1" \
  "@PJL SET BINDING=SHORTEDGE" "@PJL SET RENDERMODE=GRAYSCALE" "@PJL SET PAPER=LETTER" \
  "MediaSize=eLetterPaper" "DuplexPageMode=eDuplexHorizontalBinding" "ColorSpace=eGray"

# A broken image in the middle of a three-page PDF: left out with a warning
# in the job's log, and every page printed.
cp "$here/../pdf/data/bad-jpx.pdf" "$docs/bad-image.pdf"
bad_id=$(submit color "$docs/bad-image.pdf")
wait_job color "$bad_id"
check_job "PDF with a broken image" "$work/color/bad-image.pdf.prn" 3 1
grep -q "page 2: an image left out" "$work/server.log" ||
  fail "PDF with a broken image: no warning in the log"
if grep -a -q "ColorSpace=eRGB" "$work/color/jpeg-job.jpg.prn.dump"; then
  fail "JPEG: monochrome job has colour images"
fi

# Plain text sent without a format goes as text/plain and is set in a bitmap
# font with the job's options, like `pclxl text`; a form feed starts page 2.
printf 'Plain notes\nsecond line, Gr\xc3\xbc\xc3\x9fe\n\fpage two\n' >"$docs/notes.txt"
text_id=$(submit color "$docs/notes.txt" -o sides=two-sided-long-edge -o copies=2 \
  -o media=na_letter_8.5x11in -o print-color-mode=monochrome -o print-quality=draft)
wait_job color "$text_id"
check_job "plain text" "$work/color/notes.txt.prn" 2 1 "@PJL SET JOBNAME=\"notes.txt\"" \
  "@PJL SET USERNAME=\"$(id -un)\"" "@PJL SET QTY=2" "@PJL SET DUPLEX=ENABLE" \
  "@PJL SET BINDING=LONGEDGE" "@PJL SET PAPER=LETTER" "MediaSize=eLetterPaper" \
  "@PJL SET RENDERMODE=GRAYSCALE" "@PJL SET RESOLUTION=R300X300" "UnitsPerMeasure=(300,300)" \
  "DuplexPageMode=eDuplexVerticalBinding" "BeginFontHeader" "ReadChar"
[ "$(attr color "$text_id" job-impressions-completed)" = 4 ] ||
  fail "plain text: impressions are not 2 pages x 2 copies"
# Documents that are not what they say: binary data sent as text/plain and a
# PNG sent as PDF end aborted, say why, and leave no file.
printf 'PK\x03\x04\x00\x00\xff\xfe\x80binary' >"$docs/archive.bin"
bin_id=$(submit color "$docs/archive.bin" -o document-format=text/plain)
wait_job color "$bin_id" aborted
attr color "$bin_id" job-state-message | grep -q "not plain UTF-8 text" ||
  fail "binary sent as text: job-state-message does not say why"
[ ! -e "$work/color/archive.bin.prn" ] || fail "binary sent as text left a file"
gs_doc png16m "$docs/picture.png" "$docs/three.ps" -r20 -dLastPage=1
lie_id=$(submit color "$docs/picture.png" -o document-format=application/pdf)
wait_job color "$lie_id" aborted
attr color "$lie_id" job-state-message | grep -q "content is not PDF" ||
  fail "PNG sent as PDF: job-state-message does not say why"
[ ! -e "$work/color/picture.png.prn" ] || fail "PNG sent as PDF left a file"

# A device that fails every write (a full disk): the job ends aborted with
# the device's error in its job-state-message, never completed.
if [ -w /dev/full ]; then
  "$app" add -u "$system" -d full -m pclxl_mono -v "file:///dev/full"
  full_id=$(submit full "$docs/pdf-job.pdf")
  wait_job full "$full_id" aborted
  attr full "$full_id" job-state-message | grep -q "No space left" ||
    fail "a failing device: its error is not in job-state-message"
fi

# Impressions count every copy; each tray is offered once.
for job in "color $pdf_id 6" "mono $pwg_id 6"; do
  set -- $job
  [ "$(attr "$1" "$2" job-impressions-completed)" = "$3" ] ||
    fail "job $2 on $1: job-impressions-completed is not $3"
done
sources=$(ipptool -t -v "$(printer_uri color)" get-printer-attributes.test |
  sed -n 's/^ *media-source-supported (1setOf keyword) = //p')
[ "$(tr ',' '\n' <<<"$sources" | sort | uniq -d)" = "" ] && [ -n "$sources" ] ||
  fail "media-source-supported has a tray twice: $sources"
options=$("$app" options -u "$(printer_uri color)" 2>&1)
grep -q -- "-o sides=two-sided-long-edge" <<<"$options" || fail "options does not list duplex"
[ "$(grep -c -- "-o media-source=auto" <<<"$options")" = 1 ] ||
  fail "options does not list the auto tray once"

# Jobs that arrive together, each as the one before ends, on one printer:
# each is printed whole, once, into its own file.
burst=()
for i in 1 2 3 4 5 6; do
  cp "$docs/pdf-job.pdf" "$docs/burst-$i.pdf"
  submit color "$docs/burst-$i.pdf" >"$work/burst-$i.id" &
  burst+=($!)
done
wait "${burst[@]}"
for i in 1 2 3 4 5 6; do
  wait_job color "$(cat "$work/burst-$i.id")"
  check_job "burst job $i" "$work/color/burst-$i.pdf.prn" 3 1 "@PJL SET JOBNAME=\"burst-$i.pdf\""
done
# Only the program's own job entry points keep jobs from meeting in PAPPL.
! grep -q "past this program's job guard" "$work/server.log" ||
  fail "PAPPL's job threads bypass the program's job guard"

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
cancel_id=$((pwg_id + 1)) out=$work/mono/cancelled.pwg.prn
# Cancel once the first page is out (its EndPage with 2 copies is in the
# file), however slow the build.
for _ in $(seq 600); do
  partial=$work/mono/.cancelled.pwg.partial.prn # the job's file until it ends
  [ -s "$partial" ] && grep -q -a -P '\xC1\x02\x00\xF8\x31\x44' "$partial" && break
  sleep 0.05
done
"$app" cancel -u "$(printer_uri mono)" -j "$cancel_id" || fail "cancel refused"
touch "$work/cancel-sent"
wait "$submitter" || true
kill "$feeder" 2>/dev/null || true # still blocked only if the server never read it
[ "$(cat "$work/cancel-id")" = "$cancel_id" ] || fail "cancelled job is $(cat "$work/cancel-id")"
wait_job mono "$cancel_id" canceled
# Whole pages keep their copies; the cut one prints once.
if "$tool" dump --summary "$out" >"$out.summary" 2>&1 &&
  [ "$(grep -o 'copies [0-9]*$' "$out.summary" | tr '\n' ' ')" = "copies 2 copies 1 " ]; then
  pass "cancelled job ends cleanly after its first page, the second one cut"
else
  fail "cancelled job is not a whole job with copies 2, then 1: $(tail -n 3 "$out.summary")"
fi

ipptool -t -I -f "$docs/pdf-job.pdf" "$(printer_uri color)" ipp-everywhere.test \
  >"$work/ipp-everywhere.txt" 2>&1 || true
# Only overrides-supported (not in PAPPL 1.3) may fail.
unexpected=$(awk '/\[FAIL\]/ {f = 1; n++; next} /\[(PASS|SKIP)\]/ {f = 0}
  f && /EXPECTED:/ && !/overrides-supported/; END {if (n > 1) print n " tests failed"}' \
  "$work/ipp-everywhere.txt")
[ -z "$unexpected" ] || fail "ipptool ipp-everywhere.test: $unexpected (see $work/ipp-everywhere.txt)"

web=$build/app-web
if [ ! -d "$web/node_modules/playwright-core" ]; then
  mkdir -p "$web"
  cp "$here/package.json" "$here/package-lock.json" "$web/"
  (cd "$web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 timeout 120 npm ci --no-audit --no-fund --silent) ||
    fail "npm ci of playwright-core"
fi
cp "$here/web_test.mjs" "$web/"
if ! timeout 90 node "$web/web_test.mjs" "$base" mono two-sided-short-edge color; then
  fail "web page test (needs chromium and playwright-core)"
elif [ "$(attr mono sides-default)" != two-sided-short-edge ]; then
  fail "web: sides default not reported over IPP"
else
  # The test page's job is complete once the reader finds it whole.
  for _ in $(seq 100); do
    "$tool" dump --summary "$work/mono/Test Page.prn" >/dev/null 2>&1 && break
    sleep 0.1
  done
  check_job "web test page" "$work/mono/Test Page.prn" 1 1
fi

# The state stays in the spool directory. (There is no control socket: the
# sub-commands reach the server over IPP.)
[ -s "$work/spool/pclxl-printer-app.state" ] || fail "no state file in the spool directory"
kill -TERM "$pid" || fail "the server is gone"
wait "$pid" || fail "server exit status $?"
trap - EXIT
if grep -a -q -e "ERROR: AddressSanitizer" -e "runtime error:" "$work/server.out"; then
  fail "sanitizer report from the server: $(grep -a -m 1 -e ERROR: -e "runtime error:" "$work/server.out")"
fi
finish "printer application"
