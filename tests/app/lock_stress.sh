#!/usr/bin/env bash
# Manual stress run (not in CTest): jobs whose content lies about their
# format (a PNG as PDF, noise as PWG and Apple raster) and valid ones, from
# two clients, with Get-Printer-Attributes and default changes at the same
# time, against one server on loopback. Reports whether the server still
# answers at the end, with every thread's stack (gdb) when it does not.
#   tests/app/lock_stress.sh BUILD_DIR [SECONDS]
# PCLXL_APP_WATCHDOG_SECONDS=0 in the environment shows PAPPL's deadlock
# without the watchdog; a small value shows the server coming back.
build=$(cd "${1:?usage: $0 BUILD_DIR [SECONDS]}" && pwd) secs=${2:-60}
app=$build/app/pclxl-printer-app
w=$build/app-stress; rm -rf $w; mkdir -p $w/spool $w/out $w/docs
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=png16m -r20 -sOutputFile=$w/docs/pic.png -c "showpage" 2>/dev/null
printf '%%!PS\n/Helvetica findfont 20 scalefont setfont 72 600 moveto (x) show showpage\n' >$w/docs/p.ps
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile=$w/docs/ok.pdf $w/docs/p.ps
head -c 30000 /dev/urandom >$w/docs/noise.bin
port=$((20000 + RANDOM % 12000))
"$app" server -o server-port=$port -o spool-directory=$w/spool -o log-file=$w/log -o log-level=${LOGLEVEL:-info} >$w/server.out 2>&1 &
pid=$!
# The server lives at most the run plus two minutes.
timeout $((secs + 120)) tail --pid=$pid -f /dev/null </dev/null >/dev/null 2>&1 || kill -KILL $pid 2>/dev/null &
for _ in $(seq 500); do curl -sf -o /dev/null http://localhost:$port/ && break; sleep 0.02; done
"$app" add -u ipp://localhost:$port/ipp/system -d p -m pclxl_color -v "file://$w/out"
uri=ipp://localhost:$port/ipp/print/p
end=$((SECONDS + secs))
sub() { timeout 20 "$app" submit -u $uri "$@" >/dev/null 2>&1; }
loop_lies() { while [ $SECONDS -lt $end ]; do
  sub -o document-format=application/pdf $w/docs/pic.png
  sub -o document-format=image/pwg-raster $w/docs/noise.bin
  sub -o document-format=image/urf $w/docs/noise.bin
  sub $w/docs/ok.pdf; done; }
loop_attrs() { while [ $SECONDS -lt $end ]; do timeout 20 ipptool -q $uri get-printer-attributes.test; done; }
loop_defaults() { q=(draft normal high); i=0; while [ $SECONDS -lt $end ]; do
  timeout 20 "$app" modify -u $uri -o print-quality-default=${q[$((i++ % 3))]} >/dev/null 2>&1; done; }
loop_lies & a=$!; loop_lies & b=$!; loop_attrs & c=$!; loop_defaults & d=$!
wait $a $b $c $d
if timeout 10 curl -sf -o /dev/null http://localhost:$port/ && timeout 10 ipptool -q $uri get-printer-attributes.test; then
  echo "server answers after $secs s: $(grep -a -c 'Starting print job' $w/log) job starts, $(grep -a -c 'Saving system state\|State saved' $w/log) saves"
  kill -TERM $pid
else
  echo "server HANGS (pid $pid)"
  if command -v gdb >/dev/null; then
    timeout 60 gdb -p $pid -batch -ex "thread apply all bt 15" 2>/dev/null | grep -E "^Thread|^#" >$w/hang.txt
    echo "stacks in $w/hang.txt"
  fi
  kill -KILL $pid
fi
