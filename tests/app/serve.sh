# Sourced by the server scenarios: servers on free loopback ports, each
# with a watchdog that ends it after $lifetime seconds (60 unless set), all
# stopped by their PIDs when the script ends. Needs $app and $work.
pids=()
trap 'for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null || true; done; wait 2>/dev/null || true' EXIT
# free_port: a loopback port nothing listens on, below the range the kernel
# hands out to outgoing connections (32768 and up here), which a listener
# cannot bind while one of them holds it.
free_port() {
  local port
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 12000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}
# watchdog PID: PID is killed after $lifetime seconds and when the script ends.
watchdog() {
  pids+=("$1")
  timeout "${lifetime:-60}" tail --pid="$1" -f /dev/null </dev/null >/dev/null 2>&1 ||
    kill -KILL "$1" 2>/dev/null &
}
# answers PORT PID: waits (5 s at most) until PORT answers HTTP, while PID lives.
answers() {
  for _ in $(seq 250); do
    curl -sf -o /dev/null "http://localhost:$1/" && return 0
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.02
  done
  return 1
}
# serve NAME PORT [PREFIX...]: a server ($pid) with the spool directory
# $work/NAME, its log in $work/NAME.log and its output in $work/NAME.out.
serve() {
  local name=$1 port=$2
  shift 2
  mkdir -p "$work/$name"
  "$@" "$app" server -o server-port="$port" -o spool-directory="$work/$name" \
    -o log-file="$work/$name.log" -o log-level=info >>"$work/$name.out" 2>&1 &
  pid=$!
  watchdog "$pid"
  answers "$port" "$pid"
}
up() { kill -0 "$1" 2>/dev/null && curl -sf -o /dev/null "http://localhost:$2/"; }
stop() { kill -TERM "$1" 2>/dev/null; wait "$1" 2>/dev/null; }
sys() { echo "ipp://localhost:$1/ipp/system"; }
# waits_for SECONDS CONDITION: evaluates CONDITION every 0.05 s until it
# holds (status 0) or SECONDS have passed (status 1).
waits_for() {
  local end=$(($(date +%s%N) + $1 * 1000000000))
  until eval "$2"; do
    [ "$(date +%s%N)" -lt "$end" ] || return 1
    sleep 0.05
  done
}
# until_in FILE TEXT: waits (10 s at most) until FILE holds TEXT.
until_in() {
  local file=$1 text=$2
  waits_for 10 'grep -q -a -F -- "$text" "$file" 2>/dev/null'
}
# no_sanitizer_reports: fails for every server output with one.
no_sanitizer_reports() {
  local out
  for out in "$work"/*.out; do
    ! grep -a -q -e "ERROR: AddressSanitizer" -e "runtime error:" "$out" ||
      fail "sanitizer report in ${out##*/}: $(grep -a -m 1 -e ERROR: -e "runtime error:" "$out")"
  done
}
