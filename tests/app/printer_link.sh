#!/usr/bin/env bash
# pclxl-printer-app against network printer stand-ins: one stand-in per
# script (tests/app/printer_standin.py), one socket:// printer each, one job
# each, all at once. Each script must end in its job state, with the printer
# state reasons it should show on the way, within a bounded time; the pages
# the job reports are the pages the stand-in counted. Then what the printer
# told about itself (model, trays, duplex, page count), a model's quirks in
# its next job, supplies over SNMP or unknown, the same on the web page
# (headless Chromium), a printer added with the driver "auto", and cancel
# and SIGTERM in the middle of a stalled write.
#   tests/app/printer_link.sh BUILD_DIR
# Needs python3, ipptool, node, npm and chromium. Everything stays on
# loopback and under BUILD_DIR/link-test; the server and every stand-in are
# stopped by their PIDs and end by themselves anyway.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../filter/scenario.sh"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"
app=$build/app/pclxl-printer-app work=$build/link-test
need "$app" ipptool curl python3 node npm timeout
rm -rf "$work"
mkdir -p "$work/jobs" "$work/docs"
lifetime=${PCLXL_LINK_TEST_SECONDS:-120}
source "$here/serve.sh"

page_ps 2 >"$work/docs/two.ps"
gs_doc pwgraster "$work/docs/two.pwg" "$work/docs/two.ps" -r300 -dcupsColorSpace=18 \
  -dcupsBitsPerColor=8
# A page of noise: megabytes of PCL XL, more than socket buffers hold.
python3 -c 'import random, struct, sys, zlib
chunk = lambda k, d: struct.pack(">I", len(d)) + k + d + struct.pack(">I", zlib.crc32(k + d))
rows = zlib.compress(b"".join(b"\0" + random.randbytes(1200) for _ in range(1600)), 1)
sys.stdout.buffer.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1200, 1600, 8,
    0, 0, 0, 0)) + chunk(b"IDAT", rows) + chunk(b"IEND", b""))' >"$work/docs/noise.png"

port=$(free_port)
base=http://localhost:$port system=ipp://localhost:$port/ipp/system
# The stand-in's model has quirks of its own: 300 dpi at most, and its
# multipurpose tray is MediaSource 9.
cat >"$work/quirks.conf" <<'EOF'
[*]
trays = auto:1 mpf_tray:3 standard_tray:4 tray_1:5 tray_2:7
[Stand-in Laser 4*]
max-resolution = 300
trays = auto:1 mpf_tray:9
EOF
serve server "$port" env PCLXL_QUIRKS="$work/quirks.conf" || { fail "server did not start"; exit 1; }
server=$pid

printer_uri() { echo "ipp://localhost:$port/ipp/print/$1"; }
printf '{ OPERATION Get-Job-Attributes GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8 ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri ATTR integer job-id $job STATUS successful-ok }
{ OPERATION Get-Printer-Attributes GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8 ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri STATUS successful-ok }\n' >"$work/attrs.test"
# attrs PRINTER JOB: the job's attributes, then the printer's, "name = value" a line.
attrs() {
  { ipptool -tv -d job="$2" "$(printer_uri "$1")" "$work/attrs.test" 2>/dev/null || true; } |
    sed -n 's/^ *\([a-z0-9-]*\) ([^)]*) = /\1 = /p'
}
value() { sed -n "s/^$1 = //p" | head -n 1; }

# start_standin SCRIPT [NAME [OPTION...]]: its PID in pids, its port in
# $work/NAME.port.
start_standin() {
  local script=$1 name=${2:-$1}
  shift $(($# > 1 ? 2 : 1))
  python3 "$here/printer_standin.py" --script "$script" --port-file "$work/$name.port" \
    --reader "$tool" --save "$work/jobs" --lifetime "$lifetime" "$@" 2>"$work/$name.log" &
  pids+=($!)
}
opts="connect-timeout=2,write-timeout=3,end-timeout=15,retry-interval=1,answer-timeout=2"

# script | job state at the end | a reason seen on the way | printer reasons at the end |
# words in the job-state-message
expectations="
ready|completed|-|none|printed, 2 pages on 2 sheets
paper-out|completed|media-empty|none|printed
door-open|completed|cover-open|none|printed
toner-low|completed|-|toner-low|printed
noise|completed|-|none|printed
silence|completed|-|none|completed when sent
stall|aborted|-|offline|timed out
close|aborted|-|-|closed
refuse|completed|offline|none|printed
xl-error|aborted|-|none|IllegalOperatorSequence
ready-via-device|completed|-|none|printed, 2 pages on 2 sheets
xl-error-via-device|aborted|-|none|IllegalOperatorSequence
"
scripts=$(echo "$expectations" | cut -d'|' -f1 | grep .)
for s in $scripts; do
  if [ "$s" = ready ]; then
    start_standin ready ready --snmp-port-file "$work/ready.snmp"
  elif [ "$s" = refuse ]; then
    # Back once the printer has been seen offline (or after 20 s).
    start_standin refuse refuse --back-when "$work/refuse.back" --back-after 20
  else
    start_standin "${s%-via-device}" "$s"
  fi
done
for s in $scripts; do
  waits_for 5 '[ -s "$work/$s.port" ]' || true
  extra=
  # Supplies: the ready printer answers SNMP, the toner-low one does not.
  case $s in
  ready) extra=",status-interval=1,snmp-port=$(cat "$work/ready.snmp")" ;;
  toner-low) extra=",status-interval=1,snmp-port=$(cat "$work/ready.port")" ;;
  # The same dialogue through PAPPL's device read and write, as for USB.
  *-via-device) extra=",back-channel=device" ;;
  esac
  "$app" add -u "$system" -d "$s" -m pclxl_mono \
    -v "socket://127.0.0.1:$(cat "$work/$s.port")/?$opts$extra" >/dev/null
done
started=$(date +%s)
# All at once; each printer's first job is number 1.
for s in $scripts; do
  doc=$work/docs/two.pwg
  [ "$s" = stall ] && doc=$work/docs/noise.png
  "$app" submit -u "$(printer_uri "$s")" "$doc" >/dev/null &
  echo 1 >"$work/$s.id"
done

# Every script's job ends within 60 s; the reasons seen on the way are kept.
# One watcher per printer, so that short conditions are seen on a slow
# machine too.
watch_job() {
  local s=$1 state
  while [ $(($(date +%s) - started)) -lt 60 ]; do
    attrs "$s" 1 >"$work/$s.now"
    value printer-state-reasons <"$work/$s.now" >>"$work/$s.seen"
    value job-state-reasons <"$work/$s.now" >>"$work/$s.job-seen"
    [ "$s" != refuse ] || ! grep -q offline "$work/$s.seen" || touch "$work/refuse.back"
    state=$(value job-state <"$work/$s.now")
    case $state in
    completed | aborted | canceled)
      cp "$work/$s.now" "$work/$s.end"
      echo "$(($(date +%s) - started))" >"$work/$s.time"
      return
      ;;
    esac
    sleep 0.5
  done
}
watchers=()
for s in $scripts; do
  watch_job "$s" &
  watchers+=($!)
done
wait "${watchers[@]}"

while IFS='|' read -r s state seen reasons words; do
  [ -n "$s" ] || continue
  if [ ! -f "$work/$s.end" ]; then
    fail "$s: the job did not end within 60 s ($(value job-state <"$work/$s.now"))"
    continue
  fi
  got=$(value job-state <"$work/$s.end") message=$(value job-state-message <"$work/$s.end")
  printer_reasons=$(value printer-state-reasons <"$work/$s.end")
  ok=1
  [ "$got" = "$state" ] || { fail "$s: job $got, not $state ($message)"; ok=; }
  [ "$seen" = - ] || grep -q -e "$seen" "$work/$s.seen" ||
    { fail "$s: $seen never among the printer's reasons ($(sort -u "$work/$s.seen" | tr '\n' ' '))"; ok=; }
  [ "$reasons" = - ] || echo "$printer_reasons" | grep -q -e "$reasons" ||
    { fail "$s: printer reasons $printer_reasons, not $reasons"; ok=; }
  echo "$message" | grep -q -i -e "$words" || { fail "$s: job message \"$message\""; ok=; }
  if [ "$state" = completed ]; then
    counted=$(sed -n 's/.* received: .* \([0-9]*\) pages$/\1/p' "$work/$s.log" | tail -n 1)
    impressions=$(value job-impressions-completed <"$work/$s.end")
    [ -n "$counted" ] && [ "$impressions" = "$counted" ] ||
      { fail "$s: job-impressions-completed $impressions, the stand-in counted ${counted:-nothing}"; ok=; }
  fi
  [ -z "$ok" ] || pass "$s: $got after $(cat "$work/$s.time") s ($message)"
done <<<"$expectations"

# Until the printer reports the end, the job is printing.
grep -q job-printing "$work/paper-out.job-seen" ||
  fail "paper-out: job-printing never among the job's reasons"

# The model's quirks reach its next job: at most 300 dpi however fine the
# job asks, and the multipurpose tray as MediaSource 9. Two-sided, its two
# pages are one sheet.
"$app" submit -u "$(printer_uri ready)" -o print-quality=high -o media-source=by-pass-tray \
  -o sides=two-sided-long-edge "$work/docs/two.pwg" >/dev/null
waits_for 20 '[ "$(attrs ready 2 | value job-state)" = completed ]' || true
"$tool" dump --summary "$work/jobs/ready-job2.prn" >"$work/ready-job2.summary" 2>&1
attrs ready 2 >"$work/ready.job2"

# Supplies from SNMP where the printer answers, "unknown" where it does not.
waits_for 10 'attrs ready 1 >"$work/ready.printer"; attrs toner-low 1 >"$work/toner-low.printer"
  grep -q Drum "$work/ready.printer" && grep -q unknown "$work/toner-low.printer"' || true
# What the printers said: FILE|ATTRIBUTE|the extended regular expression its
# value (or, for "-", a line of the file) matches. The ready printer's
# model, its trays (the multipurpose tray and tray 2, no tray 1), its duplex
# unit, its lifetime page count, its supplies and its second job; the
# others' words and supplies.
while IFS='|' read -r file name pattern; do
  if [ "$name" = - ]; then
    grep -a -q -E -e "$pattern" "$work/$file" || fail "$file: no line matches /$pattern/"
  else
    value "$name" <"$work/$file" | grep -q -E -e "$pattern" ||
      fail "$file: $name = $(value "$name" <"$work/$file"), not /$pattern/"
  fi
done <<'EOF'
xl-error.end|job-state-reasons|document-format-error
toner-low.end|printer-alert-description|TONER LOW
ready.printer|printer-make-and-model|^Stand-in Laser 4000$
ready.printer|media-source-supported|^auto,by-pass-tray,tray-2(,|$)
ready.printer|sides-supported|^one-sided,two-sided-long-edge
ready.printer|printer-impressions-completed|^1[0-9]{3}$
ready.printer|marker-names|^Black Toner Cartridge,Waste Toner Box \(level unknown\),Imaging Drum$
ready.printer|marker-levels|^40,-2,85$
toner-low.printer|marker-names|^Black Toner \(level unknown\)$
toner-low.printer|marker-levels|^-2$
ready.job2|job-state-message|2 pages on 1 sheet\.
jobs/ready-job2.prn|-|@PJL SET RESOLUTION=R300X300
ready-job2.summary|-|page 1: .*source 9
server.log|-|Quirks for "Stand-in Laser 4000": rows \[\*\] \[Stand-in Laser 4\*\]
EOF
# A printer added with the driver "auto": its INFO ID picks the driver.
"$app" add -u "$system" -d auto -m auto -v "socket://127.0.0.1:$(cat "$work/ready.port")" ||
  fail "auto driver refused"
auto() { ipptool -tv "$(printer_uri auto)" get-printer-attributes.test 2>/dev/null || true; }
waits_for 5 'auto | grep -q "printer-make-and-model (.*) = Stand-in Laser 4000$"' || true
model=$(auto | grep -e printer-make-and-model -e printer-device-id || true)
grep -q "printer-device-id (.*) = .*CMD:PJL,PCLXL" <<<"$model" && pass "driver auto: $model" ||
  fail "driver auto: $model"

# The same on the web page, in headless Chromium (playwright-core as the
# end-to-end test installs it).
web=$build/app-web
if [ ! -d "$web/node_modules/playwright-core" ]; then
  mkdir -p "$web"
  cp "$here/package.json" "$here/package-lock.json" "$web/"
  (cd "$web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 timeout 120 npm ci --no-audit --no-fund --silent) ||
    fail "npm ci of playwright-core"
fi
cp "$here/link_web_test.mjs" "$web/"
timeout 90 node "$web/link_web_test.mjs" "$base" ready "supplies=Black Toner Cartridge" \
  "supplies=Waste Toner Box (level unknown)" "printer-says=Stand-in Laser 4000" \
  "printer-says=Lifetime page count" ||
  fail "web page of the ready printer (needs chromium and playwright-core)"
timeout 90 node "$web/link_web_test.mjs" "$base" toner-low "=toner-low" \
  "supplies=Black Toner (level unknown)" "printer-says=TONER LOW" ||
  fail "web page of the toner-low printer"

# Cancel in the middle of a stalled write: the job ends canceled at once.
start_standin stall stall2
waits_for 5 '[ -s "$work/stall2.port" ]' || true
"$app" add -u "$system" -d stall2 -m pclxl_mono \
  -v "socket://127.0.0.1:$(cat "$work/stall2.port")/?write-timeout=100" >/dev/null
# stall N: a job on stall2, once the stand-in stopped reading (its Nth time).
stall() {
  local n=$1
  id=$("$app" submit -u "$(printer_uri stall2)" "$work/docs/noise.png" | tail -n 1)
  waits_for 10 '[ "$(grep -c "stops reading" "$work/stall2.log")" -ge "$n" ]' || true
}
# within WHAT CONDITION: passes when the condition holds within 5 s.
within() {
  local t0 t
  t0=$(date +%s%N)
  waits_for 5 "$2" || true
  t=$((($(date +%s%N) - t0) / 1000000))
  if eval "$2"; then pass "$1 after $t ms"; else fail "$1: not after $t ms"; fi
}
stall 1
sleep 0.5
"$app" cancel -u "$(printer_uri stall2)" -j "$id" || fail "cancel refused"
within "cancel in a stalled write: canceled" '[ "$(attrs stall2 "$id" | value job-state)" = canceled ]'
# SIGTERM in the middle of a stalled write: the server ends within seconds.
stall 2
kill -TERM "$server"
within "SIGTERM in a stalled write: the server ended" '! kill -0 "$server" 2>/dev/null'
no_sanitizer_reports
finish "printer link"
