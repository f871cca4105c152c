#!/usr/bin/env bash
# pclxl-printer-app's fault table: each row starts servers on loopback ports
# with private spool directories under BUILD_DIR/app-faults (each lives at
# most PCLXL_APP_TEST_SECONDS, 60, and is stopped by its PID), does one
# harmful thing, and checks that the server is still up, or refused with
# one clear line, or restarts with its configuration.
#   tests/app/server_faults.sh BUILD_DIR KILL_ON_SAVE_LIBRARY
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../filter/scenario.sh"
set +e
shim=${2:?usage: $0 BUILD_DIR KILL_ON_SAVE_LIBRARY}
app=$build/app/pclxl-printer-app work=$build/app-faults lifetime=${PCLXL_APP_TEST_SECONDS:-60}
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0:verify_asan_link_order=0"
# No system bus, hence no avahi-daemon, unless a row provides one.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-bus
need "$app" "$shim" curl timeout python3
rm -rf "$work"
mkdir -p "$work/home"
export HOME=$work/home # a hidden server would make its spool directory here
source "$here/serve.sh"
# refused WHAT PATTERN COMMAND...: COMMAND fails within 20 s, saying one
# line that holds PATTERN.
refused() {
  local what=$1 pattern=$2 said rc
  shift 2
  said=$(timeout 20 "$@" 2>&1 </dev/null)
  rc=$?
  if [ "$rc" != 0 ] && [ "$rc" != 124 ] && [ -n "$said" ] && [ "$(wc -l <<<"$said")" = 1 ] &&
    grep -q -e "$pattern" <<<"$said"; then
    pass "$what: $said"
  else
    fail "$what: exit $rc, said '$said'"
  fi
}

# --- Every client sub-command talks to the server -u names, or says in
# one line that none answers; none starts a server of its own.
nobody=$(free_port)
for cmd in printers add autoadd cancel default delete jobs modify options pause resume shutdown \
  status submit; do
  args=(-u "$(sys "$nobody")")
  case $cmd in
  add) args+=(-d x -m pclxl_mono -v "file://$work") ;;
  delete | modify | pause | resume | cancel | jobs | options) args+=(-d x) ;;
  submit) args+=(-d x "$0") ;;
  esac
  refused "$cmd -u (no server)" "no server answers at ipp://localhost:$nobody" \
    "$app" "$cmd" "${args[@]}"
done
# Without -u: the system's server or the same one line, never a hang.
out=$(timeout 20 "$app" printers 2>"$work/err" </dev/null)
rc=$?
[ "$rc" != 124 ] || fail "printers without -u did not return"
[ "$rc" = 0 ] || [ "$(wc -l <"$work/err")" = 1 ] || fail "printers without -u: $(cat "$work/err")"
[ -z "$(ls -A "$HOME")" ] || fail "a sub-command made $(ls -A "$HOME") in HOME"

# --- A server that takes connections and never answers (it answers only
# Get-Printer-Attributes, so that submit reaches Print-Job): a request that
# only reads is sent three times, each on a fresh connection; one that
# changes something is sent once. Both end in one line, within the bound.
silent=$(free_port)
python3 - "$silent" "$work/silent.log" <<'PY' &
import socketserver, struct, sys, time
class Take(socketserver.StreamRequestHandler):
    def handle(self):
        while line := self.rfile.readline():
            length, chunked = 0, False
            while (h := self.rfile.readline().lower()) not in (b"\r\n", b""):
                length = int(h[15:]) if h.startswith(b"content-length:") else length
                chunked = chunked or h.startswith(b"transfer-encoding: chunked")
            if chunked:
                self.rfile.readline()
            head = self.rfile.read(8)
            op = struct.unpack(">H", head[2:4])[0]
            with open(sys.argv[2], "a") as log:
                log.write("%s %d\n" % (line.split()[1].decode(), op))
            if op != 0x0B or chunked:
                time.sleep(3600)  # silent, the connection open
            self.rfile.read(length - 8)
            body = head[:2] + b"\0\0" + head[4:8] + b"\x01\x47\0\x12attributes-charset\0\x05utf-8" \
                b"\x48\0\x1battributes-natural-language\0\x02en\x03"
            self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n"
                             b"Content-Length: %d\r\n\r\n%s" % (len(body), body))
socketserver.ThreadingTCPServer.daemon_threads = True
socketserver.ThreadingTCPServer(("127.0.0.1", int(sys.argv[1])), Take).serve_forever()
PY
listener=$!
watchdog "$listener"
mkfifo "$work/fifo"
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$silent") 2>/dev/null && break; sleep 0.05; done
# Rows: sub-command, resource, how many times its request may be sent.
rows=("status /ipp/system 3" "jobs /ipp/print/jobs 3" "pause /ipp/print/pause 1"
  "submit /ipp/print/submit 1")
declare -A client
for row in "${rows[@]}"; do
  read -r cmd path _ <<<"$row"
  args=(-u "ipp://127.0.0.1:$silent$path")
  if [ "$cmd" = submit ]; then
    args+=("$work/fifo")
    cat "$0" >"$work/fifo" &
    watchdog "$!"
  fi
  PCLXL_APP_CLIENT_TIMEOUT=0.5 timeout 20 "$app" "$cmd" "${args[@]}" >/dev/null \
    2>"$work/silent-$cmd.err" </dev/null &
  client[$cmd]=$!
done
for row in "${rows[@]}"; do
  read -r cmd path count <<<"$row"
  wait "${client[$cmd]}"
  rc=$? err=$(cat "$work/silent-$cmd.err")
  # (Get-Printer-Attributes, 11, is the one request answered.)
  sent=$(grep "^$path " "$work/silent.log" | grep -c -v " 11$")
  if [ "$rc" = 1 ] && [ "$(wc -l <<<"$err")" = 1 ] && grep -q "did not answer" <<<"$err" &&
    [ "$sent" = "$count" ]; then
    pass "$cmd to a silent server: $err"
  else
    fail "$cmd to a silent server: exit $rc, sent $sent times, not $count: '$err'"
  fi
done
stop "$listener"

# Two servers, each with its printer: every sub-command reaches the one
# -u names.
pa=$(free_port) pb=$(free_port)
serve a "$pa" && a=$pid || fail "server a did not start"
serve b "$pb" && b=$pid || fail "server b did not start"
mkdir -p "$work/out"
"$app" add -u "$(sys "$pa")" -d pa -m pclxl_mono -v "file://$work/out" || fail "add to a"
"$app" add -u "$(sys "$pb")" -d pb -m pclxl_color -v "file://$work/out" || fail "add to b"
check() { # check WHAT EXPECTED COMMAND...
  local what=$1 expected=$2 got
  shift 2
  got=$(timeout 20 "$app" "$@" 2>&1)
  [ "$got" = "$expected" ] || fail "$what: '$got', not '$expected'"
}
check "printers -u a" pa printers -u "$(sys "$pa")"
check "printers -u b" pb printers -u "$(sys "$pb")"
check "default -u a -d pa" "" default -u "$(sys "$pa")" -d pa
check "default -u a" pa default -u "$(sys "$pa")"
check "modify -u a" "" modify -u "$(sys "$pa")" -d pa -o print-quality=high
timeout 20 "$app" options -u "$(sys "$pa")" -d pa | grep -q 'print-quality=high (default)' ||
  fail "modify -u a: print-quality-default is not high"
check "pause -u a" "" pause -u "ipp://localhost:$pa/ipp/print/pa"
timeout 20 "$app" status -u "ipp://localhost:$pa/ipp/print/pa" | grep -q 'Running, stopped' ||
  fail "status -u pa: not stopped after pause"
check "resume -u a" "" resume -u "$(sys "$pa")" -d pa
check "printer of b from a" "pclxl-printer-app: no printer named 'pb' at ipp://localhost:$pa" \
  jobs -u "$(sys "$pa")" -d pb
check "shutdown -u b" "" shutdown -u "$(sys "$pb")"
waits_for 10 '! kill -0 "$b" 2>/dev/null' || fail "server b still runs after shutdown -u b"
up "$a" "$pa" || fail "server a went down with b"
until_in "$work/a/pclxl-printer-app.state" "print-quality-default high" ||
  fail "a's new default not saved"
[ -z "$(ls -A "$HOME")" ] || fail "a sub-command made $(ls -A "$HOME") in HOME"
pass "sub-commands reach the server -u names"

# --- A second server on the same spool directory or port is refused in
# one line; the first runs on.
for row in "same-spool a $(free_port)" "same-port a2 $pa"; do
  read -r what spool port <<<"$row"
  refused "second server ($what)" "" "$app" server -o server-port="$port" \
    -o spool-directory="$work/$spool" -o log-file="$work/$what.log"
  up "$a" "$pa" || fail "the first server went down ($what)"
done

# --- No avahi-daemon: the Add Printer page and `devices` work without it.
# Without a system bus avahi has no client at all; with a bus but no
# daemon its client waits for one.
rows=("no-bus")
if command -v dbus-daemon >/dev/null; then
  dbus-daemon --session --nofork --address="unix:path=$work/bus" >/dev/null 2>&1 &
  pids+=("$!")
  waits_for 5 '[ -S "$work/bus" ]' && rows+=("bus-without-avahi") ||
    fail "the private message bus did not start"
fi
for row in "${rows[@]}"; do
  bus=$DBUS_SYSTEM_BUS_ADDRESS
  [ "$row" = no-bus ] || bus=unix:path=$work/bus
  port=$(free_port)
  DBUS_SYSTEM_BUS_ADDRESS=$bus serve "$row" "$port" || { fail "$row: no server"; continue; }
  for n in 1 2; do
    code=$(timeout 30 curl -s -o "$work/$row.html" -w '%{http_code}' "http://localhost:$port/addprinter")
    [ "$code" = 200 ] && grep -q 'name="hostname"' "$work/$row.html" ||
      fail "$row: Add Printer page $n answered $code"
  done
  # Adding a printer registers it with DNS-SD: PAPPL's lock must be free.
  timeout 20 "$app" add -u "$(sys "$port")" -d net -m pclxl_mono -v "file://$work/out" ||
    fail "$row: add after the Add Printer page"
  # A printer typed in by its device URI on the web page.
  jar=$work/$row.cookies
  token=$(curl -s -c "$jar" -b "$jar" "http://localhost:$port/adddevice" |
    sed -n 's/.*name="session" value="\([^"]*\)".*/\1/p' | head -n 1)
  code=$(curl -s -c "$jar" -b "$jar" -o /dev/null -w '%{http_code}' \
    --data-urlencode "session=$token" --data-urlencode printer_name=typed \
    --data-urlencode device_uri="file://$work/out" --data-urlencode driver_name=pclxl_color \
    "http://localhost:$port/adddevice")
  [ "$code" = 302 ] && timeout 20 "$app" printers -u "$(sys "$port")" | grep -q '^typed$' ||
    fail "$row: no printer added by its device URI on the web page (HTTP $code)"
  up "$pid" "$port" && pass "$row: the server stays up" || fail "$row: the server went down"
  stop "$pid"
  # `devices` also searches by SNMP broadcast: in a network namespace of
  # its own, so nothing leaves the machine.
  if ! unshare -rn true 2>/dev/null; then
    echo "skip: $row: devices (no network namespace here)"
    continue
  fi
  DBUS_SYSTEM_BUS_ADDRESS=$bus timeout 60 unshare -rn "$app" devices >"$work/devices.out" \
    2>"$work/devices.err" </dev/null
  rc=$?
  # (Without a network, the SNMP search says so too.)
  if [ "$rc" = 0 ] && [ "$(grep -c 'DNS-SD' "$work/devices.err")" = 1 ] &&
    grep -q 'DNS-SD discovery is unavailable' "$work/devices.err"; then
    pass "$row: devices lists what it can and says DNS-SD is unavailable"
  else
    fail "$row: devices exit $rc: $(cat "$work/devices.err")"
  fi
done

# --- SIGKILL in the middle of a save: the server restarts with what it had
# saved before.
port=$(free_port)
PCLXL_TEST_KILL_ON_SAVE=$work/armed serve killed "$port" env LD_PRELOAD="$shim" ||
  fail "killed: no server"
"$app" add -u "$(sys "$port")" -d k1 -m pclxl_mono -v "file://$work/out"
"$app" add -u "$(sys "$port")" -d k2 -m pclxl_color -v "file://$work/out"
until_in "$work/killed/pclxl-printer-app.state" 'name="k2"' || fail "killed: k2 never saved"
touch "$work/armed"
"$app" default -u "$(sys "$port")" -d k2
waits_for 10 '! kill -0 "$pid" 2>/dev/null' || { fail "killed: the save never ran"; stop "$pid"; }
wait "$pid" 2>/dev/null
serve killed "$port" || fail "killed: no restart"
check "printers after SIGKILL in a save" "$(printf 'k1\nk2')" printers -u "$(sys "$port")"
stop "$pid"

# --- A state file that cannot be read (here: cut short; which texts are
# whole is state_file_test's table) is kept aside, said so in the log, and
# the server starts.
mkdir -p "$work/bad"
state=$work/bad/pclxl-printer-app.state
head -c -20 "$work/killed/pclxl-printer-app.state" | tee "$work/bad.copy" >"$state"
port=$(free_port)
serve bad "$port" || fail "bad state: no server"
aside=$(ls "$state".unreadable-* 2>/dev/null | head -n 1)
if [ -n "$aside" ] && cmp -s "$aside" "$work/bad.copy" &&
  grep -q "cannot be read.*kept as" "$work/bad.log"; then
  pass "bad state: kept as ${aside##*/}"
else
  fail "bad state: aside '$aside', log: $(grep -i state "$work/bad.log")"
fi
stop "$pid"

# --- A full spool file system (a small tmpfs in a mount namespace; where
# none can be made, a file size limit on the server): a change that cannot
# be saved leaves the last state whole, the server up, and is saved once
# there is room.
port=$(free_port)
mkdir -p "$work/full"
# (PCLXL_APP_TEST_NO_NAMESPACE=1 takes the file size limit here too.)
if [ -z "${PCLXL_APP_TEST_NO_NAMESPACE:-}" ] && unshare -rm true 2>/dev/null; then
  how=tmpfs
  serve full "$port" unshare -rm sh -c 'mount -t tmpfs -o size=256k tmpfs "$0" && exec "$@"' \
    "$work/full" || fail "full: no server"
  root=/proc/$pid/root
else
  how="file size limit"
  serve full "$port" || fail "full: no server"
  root=
fi
state=$root$work/full/pclxl-printer-app.state
mkdir -p "$work/full-out"
"$app" add -u "$(sys "$port")" -d f1 -m pclxl_mono -v "file://$work/full-out"
until_in "$state" 'name="f1"' || fail "full: f1 never saved"
if [ "$how" = tmpfs ]; then
  dd if=/dev/zero of="$root$work/full/filler" bs=4k 2>/dev/null
else
  # (Only the soft limit: raising a hard one back takes a capability.)
  prlimit --pid "$pid" --fsize=$(($(stat -c %s "$state") + 100)):unlimited
fi
"$app" add -u "$(sys "$port")" -d f2 -m pclxl_color -v "file://$work/out" -o printer-location="$(
  head -c 3000 /dev/zero | tr '\0' x)"
# (Under a file size limit the log is over it too.)
[ "$how" != tmpfs ] || until_in "$work/full.log" "Could not save the state" ||
  fail "full ($how): no failed save logged"
grep -q 'name="f2"' "$state" && fail "full ($how): f2 saved on a full disk?"
grep -q 'name="f1"' "$state" && tail -c 11 "$state" | grep -q '</Printer>' ||
  fail "full ($how): the last state is not whole"
# A job that cannot be spooled is refused, and nothing calls it printed.
{ printf '%%PDF-1.4\n'; head -c 400000 /dev/urandom; } >"$work/big.pdf"
timeout 30 "$app" submit -u "ipp://localhost:$port/ipp/print/f1" "$work/big.pdf" >/dev/null \
  2>"$work/full-submit.err" && fail "full ($how): a job was accepted on a full disk"
timeout 20 "$app" jobs -u "ipp://localhost:$port/ipp/print/f1" | grep -v -q -E 'aborted|canceled' &&
  fail "full ($how): a job not refused: $(timeout 20 "$app" jobs -d f1 -u "$(sys "$port")")"
[ -z "$(ls -A "$work/full-out")" ] || fail "full ($how): output written: $(ls "$work/full-out")"
up "$pid" "$port" || fail "full ($how): the server went down"
if [ "$how" = tmpfs ]; then rm -f "$root$work/full/filler"; else prlimit --pid "$pid" --fsize=unlimited; fi
until_in "$state" 'name="f2"' || fail "full ($how): f2 not saved once there was room"
pass "full spool ($how): the server stays up and saves when it can"
stop "$pid"

# --- A spool directory that is not writable: the server refuses to start
# in one line.
if unshare -rm true 2>/dev/null; then
  mkdir -p "$work/readonly"
  refused "read-only spool directory" "spool directory" unshare -rm sh -c 'mount --bind "$0" "$0" &&
    mount -o remount,bind,ro "$0" && exec "$@"' "$work/readonly" "$app" server \
    -o server-port="$(free_port)" -o spool-directory="$work/readonly" -o log-file=-
else
  echo "skip: read-only spool directory (no mount namespace here)"
fi

# --- Closed stdout and stderr, logging to stderr: the server runs, and its
# state file holds no log lines.
port=$(free_port)
mkdir -p "$work/closed"
"$app" server -o server-port="$port" -o spool-directory="$work/closed" -o log-file=- \
  -o log-level=debug >&- 2>&- &
pid=$!
watchdog "$pid"
answers "$port" "$pid" || fail "closed: no server"
"$app" add -u "$(sys "$port")" -d c1 -m pclxl_mono -v "file://$work/out" || fail "closed: add"
until_in "$work/closed/pclxl-printer-app.state" 'name="c1"' || fail "closed: c1 never saved"
grep -a -q -E '^[DIWEF] \[' "$work/closed/pclxl-printer-app.state" &&
  fail "closed: log lines in the state file"
"$app" printers -u "$(sys "$port")" >&- 2>/dev/null && fail "closed: printers to a closed stdout succeeded"
up "$pid" "$port" && pass "closed stdout and stderr: the server runs" || fail "closed: server down"
stop "$pid"

# --- Logging to a standard error that is a file already past the log's
# 1 MB (PAPPL cannot turn "-" over, and waited on its own lock for good):
# the server starts, answers, and the file turns over.
port=$(free_port)
mkdir -p "$work/stderr"
head -c 1100000 /dev/zero | tr '\0' '#' >"$work/stderr.log"
"$app" server -o server-port="$port" -o spool-directory="$work/stderr" -o log-file=- \
  -o log-level=info >"$work/stderr.out" 2>>"$work/stderr.log" &
pid=$!
watchdog "$pid"
if ! answers "$port" "$pid" || ! timeout 10 "$app" printers -u "$(sys "$port")" >/dev/null; then
  fail "standard error a file past 1 MB: the server does not answer"
elif until_in "$work/stderr.log" "Starting log" && [ -s "$work/stderr.log.O" ]; then
  pass "standard error a file past 1 MB: the server answers and its log turns over"
else
  fail "standard error a file past 1 MB: the log did not turn over"
fi
stop "$pid"

# --- A printer whose lock is never given back, as in PAPPL's lock-order
# deadlock (here gdb takes it for the server's main thread, from the
# watchdog's own probe): nothing on that printer answers, and the watchdog
# starts the program again in place, with its PID, port and printers.
if command -v gdb >/dev/null && [ "$(uname -m)" = x86_64 ]; then
  port=$(free_port)
  serve stuck "$port" env PCLXL_APP_WATCHDOG_SECONDS=6 || fail "stuck: no server"
  "$app" add -u "$(sys "$port")" -d s1 -m pclxl_mono -v "file://$work/out"
  until_in "$work/stuck/pclxl-printer-app.state" 'name="s1"' || fail "stuck: s1 never saved"
  timeout 30 gdb -p "$pid" -batch -ex 'break papplPrinterIsAcceptingJobs' -ex continue \
    -ex 'set $printer = $rdi' -ex delete -ex 'thread 1' \
    -ex 'print (int)pthread_rwlock_wrlock((void *)$printer)' >"$work/stuck.gdb" 2>&1
  grep -q '^\$1 = 0$' "$work/stuck.gdb" || fail "stuck: gdb took no lock: $(tail -n 1 "$work/stuck.gdb")"
  timeout 5 "$app" status -u "ipp://localhost:$port/ipp/print/s1" >/dev/null 2>&1 &&
    fail "stuck: the printer answers with its lock held"
  if ! waits_for 30 'grep -q -a "Starting the server again" "$work/stuck.log"'; then
    fail "stuck: the watchdog did not start the server again"
  elif ! answers "$port" "$pid"; then
    fail "stuck: no server after the restart"
  else
    check "printers after the watchdog's restart" s1 printers -u "$(sys "$port")"
    pass "a printer lock held for good: the watchdog started the server again"
  fi
  stop "$pid"
else
  echo "skip: a printer lock held for good (needs gdb on x86-64)"
fi

stop "$a"
no_sanitizer_reports
finish "server faults"
