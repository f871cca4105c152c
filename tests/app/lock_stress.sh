#!/usr/bin/env bash
# Manual stress run (not in CTest): jobs whose content lies about their
# format (a PNG as PDF, noise as PWG and Apple raster) and valid ones, from
# two clients, with Get-Printer-Attributes and default changes at the same
# time, against one server on loopback. Reports whether the server still
# answers at the end, with every thread's stack (gdb) when it does not.
#   tests/app/lock_stress.sh BUILD_DIR [SECONDS]
# PCLXL_APP_WATCHDOG_SECONDS=0 in the environment shows PAPPL's deadlock
# without the watchdog; a small value shows the server coming back.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../filter/scenario.sh"
set +e
secs=${2:-60} app=$build/app/pclxl-printer-app work=$build/app-stress
lifetime=$((secs + 120)) # the run and two minutes
rm -rf "$work"
mkdir -p "$work/out" "$work/docs"
source "$here/serve.sh"
page_ps 1 >"$work/docs/p.ps"
gs_doc png16m "$work/docs/pic.png" "$work/docs/p.ps" -r20
gs_doc pdfwrite "$work/docs/ok.pdf" "$work/docs/p.ps"
head -c 30000 /dev/urandom >"$work/docs/noise.bin"
port=$(free_port)
serve spool "$port" || { echo "no server"; exit 1; }
"$app" add -u "$(sys "$port")" -d p -m pclxl_color -v "file://$work/out"
uri=ipp://localhost:$port/ipp/print/p end=$((SECONDS + secs))
sub() { timeout 20 "$app" submit -u "$uri" "$@" >/dev/null 2>&1; }
loop_lies() { while [ $SECONDS -lt $end ]; do
  sub -o document-format=application/pdf "$work/docs/pic.png"
  sub -o document-format=image/pwg-raster "$work/docs/noise.bin"
  sub -o document-format=image/urf "$work/docs/noise.bin"
  sub "$work/docs/ok.pdf"; done; }
loop_attrs() { while [ $SECONDS -lt $end ]; do timeout 20 ipptool -q "$uri" get-printer-attributes.test; done; }
loop_defaults() { q=(draft normal high); i=0; while [ $SECONDS -lt $end ]; do
  timeout 20 "$app" modify -u "$uri" -o print-quality=${q[$((i++ % 3))]} >/dev/null 2>&1; done; }
loop_lies & a=$!; loop_lies & b=$!; loop_attrs & c=$!; loop_defaults & d=$!
wait $a $b $c $d
if timeout 10 curl -sf -o /dev/null "http://localhost:$port/" && timeout 10 ipptool -q "$uri" get-printer-attributes.test; then
  logs=$(cat "$work"/spool.log.O "$work/spool.log" 2>/dev/null) # the log turns over at 1 MB
  twice=$(grep -a -o '\[Job [0-9]*\] \(Completed\|Aborted\|Canceled\),' <<<"$logs" | sort | uniq -d | wc -l)
  echo "server answers after $secs s: $(grep -a -c 'Starting print job' <<<"$logs") job starts, $(grep -a -c 'Saving system state' <<<"$logs") saves, $twice jobs ended twice"
  stop "$pid"
else
  echo "server HANGS (pid $pid)"
  if command -v gdb >/dev/null; then
    timeout 60 gdb -p "$pid" -batch -ex "thread apply all bt 15" 2>/dev/null | grep -E "^Thread|^#" >"$work/hang.txt"
    echo "stacks in $work/hang.txt"
  fi
fi
