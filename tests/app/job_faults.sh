#!/usr/bin/env bash
# pclxl-printer-app's fault table for jobs: each row starts a server on a
# loopback port with a private spool directory under BUILD_DIR/app-job-faults
# (it lives at most PCLXL_APP_TEST_SECONDS, 90, and is stopped by its PID),
# does one harmful thing, and checks that the server is still up, that every
# job ends in a state that says what happened, and that no output is
# half-written and called complete.
#   tests/app/job_faults.sh BUILD_DIR
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../filter/scenario.sh"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"
app=$build/app/pclxl-printer-app work=$build/app-job-faults
need "$app" ipptool curl timeout python3
rm -rf "$work"
mkdir -p "$work/out" "$work/docs"
page_ps 3 >"$work/docs/three.ps"
gs_doc pdfwrite "$work/docs/job.pdf" "$work/docs/three.ps"

lifetime=${PCLXL_APP_TEST_SECONDS:-90}
source "$here/serve.sh"
port=$(free_port)
uri=ipp://localhost:$port/ipp/print/p
printf '{ OPERATION Get-Jobs GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8 ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri ATTR keyword which-jobs all
  ATTR keyword requested-attributes job-id,job-name STATUS successful-ok }\n' >"$work/jobs.test"
# job_id NAME: the id of the job named NAME, if there is one.
job_id() {
  ipptool -t -v "$uri" "$work/jobs.test" 2>/dev/null |
    awk -v name="$1" '/job-name \(/ {job = $NF} /job-id \(integer\) =/ {id = $NF}
      job != "" && id != "" {if (job == name) {print id; exit} job = ""; id = ""}'
}
# job_attr ID NAME: the value of the job's attribute NAME.
job_attr() {
  { ipptool -tv "$uri/$1" get-job-attributes.test 2>/dev/null || true; } |
    sed -n "s/^ *$2 ([^)]*) = //p"
}
# ended ID: waits (60 s at most) until the job is completed, cancelled or
# aborted; prints completed, aborted, canceled or unfinished.
ended() {
  local id=$1 state
  waits_for 60 'state=$(job_attr "$id" job-state); [[ $state =~ ^(completed|aborted|canceled)$ ]]' ||
    state=unfinished
  echo "$state"
}
# honest NAME ID FILE: a completed job left a whole job in FILE; any other
# end left no file, or one the reader does not take for a whole job.
honest() {
  local state
  state=$(ended "$2")
  case $state in
  completed) "$tool" dump --summary "$3" 2>/dev/null | grep -q '^pages: 3$' ||
    fail "$1: completed, but $3 is not the whole job" ;;
  aborted | canceled) [ ! -s "$3" ] || ! "$tool" dump --summary "$3" >/dev/null 2>&1 ||
    fail "$1: $state, yet $3 holds a whole job" ;;
  *) fail "$1: job $2 never ended" ;;
  esac
  echo "$state"
}

serve spool "$port" || { fail "no server"; exit 1; }
"$app" add -u "ipp://localhost:$port/ipp/system" -d p -m pclxl_color -v "file://$work/out"

# --- 20 jobs at once: each printed whole, once, into its own file.
subs=()
for i in $(seq 20); do
  cp "$work/docs/job.pdf" "$work/docs/many-$i.pdf"
  timeout 60 "$app" submit -u "$uri" "$work/docs/many-$i.pdf" 2>"$work/many-$i.err" |
    tail -n 1 >"$work/many-$i.id" &
  subs+=($!)
done
wait "${subs[@]}"
done=0
for i in $(seq 20); do
  id=$(cat "$work/many-$i.id")
  if [ -z "$id" ]; then
    fail "job $i of 20 was not taken: $(head -c 300 "$work/many-$i.err")"
  elif [ "$(honest "job $i of 20" "$id" "$work/out/many-$i.pdf.prn")" = completed ]; then
    done=$((done + 1))
  fi
done
[ "$done" = 20 ] && pass "20 jobs at once: all completed whole" || fail "20 jobs at once: $done completed"

# --- A client that disconnects mid-upload, spooled (PDF) and streamed (PWG
# raster): the server stays up, the job ends aborted and leaves no file; the
# PDF one says that the document is incomplete.
for format in application/pdf image/pwg-raster; do
  name=cut-${format#*/}
  python3 - "$port" "$format" "$name" "$work/docs/job.pdf" <<'PY'
import socket, struct, sys
port, fmt, name, doc = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
def attr(tag, key, value):
    key, value = key.encode(), value.encode()
    return bytes([tag]) + struct.pack(">H", len(key)) + key + struct.pack(">H", len(value)) + value
uri = "ipp://localhost:%d/ipp/print/p" % port
body = struct.pack(">BBHI", 2, 0, 2, 1) + b"\x01" + attr(0x47, "attributes-charset", "utf-8") + \
    attr(0x48, "attributes-natural-language", "en") + attr(0x45, "printer-uri", uri) + \
    attr(0x42, "requesting-user-name", "tester") + attr(0x42, "job-name", name) + \
    attr(0x49, "document-format", fmt) + b"\x03"
data = open(doc, "rb").read() if fmt == "application/pdf" else b"RaS2PwgRaster\0" + b"\0" * 2000
s = socket.create_connection(("127.0.0.1", port))
s.sendall(("POST /ipp/print/p HTTP/1.1\r\nHost: localhost:%d\r\nContent-Type: application/ipp\r\n"
           "Transfer-Encoding: chunked\r\n\r\n" % port).encode())
part = body + data[: len(data) // 2]
s.sendall(b"%x\r\n" % len(part) + part + b"\r\n")
s.close()
PY
  sleep 1
  id=$(job_id "$name")
  if ! up "$pid" "$port"; then
    fail "$name: the server is gone"
  elif [ -z "$id" ]; then
    pass "$name: the server is up; no job was made"
  else
    # PAPPL 1.3 takes a chunked upload cut short as the whole document.
    state=$(honest "$name" "$id" "$work/out/$name.prn")
    if [ "$state" != aborted ]; then
      fail "$name: the job is $state, not aborted"
    elif [ -e "$work/out/$name.prn" ]; then
      fail "$name: aborted, yet it left $name.prn"
    elif [ "$format" = application/pdf ] &&
      ! job_attr "$id" job-state-message | grep -q incomplete; then
      fail "$name: job-state-message does not say the document is incomplete"
    else
      pass "$name: the server up, the job aborted, no file"
    fi
  fi
done
# Whole PDFs that end unlike most still print: data after the end marker,
# and no end marker but a sound cross-reference table.
{ cat "$work/docs/job.pdf"; head -c 2000 /dev/zero | tr '\0' 'x'; } >"$work/docs/trailing.pdf"
sed '$d' "$work/docs/job.pdf" >"$work/docs/no-marker.pdf"
tail -n 1 "$work/docs/job.pdf" | grep -q '^%%EOF' || fail "job.pdf does not end with its marker"
for name in trailing no-marker; do
  id=$(timeout 60 "$app" submit -u "$uri" "$work/docs/$name.pdf" | tail -n 1)
  [ "$(honest "$name.pdf" "$id" "$work/out/$name.pdf.prn")" = completed ] &&
    pass "$name.pdf: printed whole" || fail "$name.pdf: not printed"
done

# --- SIGKILL during a job (its raster trickles in through a pipe): after a
# restart, the job is not called completed unless its file is whole.
mkfifo "$work/docs/slow.pwg"
gs_doc pwgraster "$work/docs/slow-src.pwg" "$work/docs/three.ps" -r150 -dcupsColorSpace=18 \
  -dcupsBitsPerColor=8
( exec 3>"$work/docs/slow.pwg"; head -c 30000 "$work/docs/slow-src.pwg" >&3; sleep 30 ) &
feeder=$!
"$app" submit -u "$uri" "$work/docs/slow.pwg" >/dev/null 2>&1 &
waits_for 10 '[ -s "$work/out/.slow.pwg.partial.prn" ]' || true
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
kill "$feeder" 2>/dev/null || true
serve spool "$port" || fail "no restart after SIGKILL during a job"
id=$(job_id slow.pwg)
if [ -z "$id" ]; then
  # The job was not saved before the kill: gone, and nothing under its name
  # passes for its output.
  if [ -s "$work/out/slow.pwg.prn" ] && "$tool" dump --summary "$work/out/slow.pwg.prn" >/dev/null 2>&1; then
    fail "SIGKILL during a job: the job is gone, yet slow.pwg.prn reads as a whole job"
  else
    pass "SIGKILL during a job: the server restarted, the unsaved job left no output under its name"
  fi
else
  state=$(honest "killed job" "$id" "$work/out/slow.pwg.prn")
  pass "SIGKILL during a job: the server restarted, the job $state"
fi

kill -TERM "$pid" && wait "$pid" || fail "server exit status $?"
no_sanitizer_reports
finish "job faults"
