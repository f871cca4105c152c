#!/usr/bin/env bash
# The Debian packages as an administrator meets them, on this machine (root,
# no systemd running):
#   tests/package/deb_install.sh DEB_DIR
# installs every package in DEB_DIR with apt, checks the service's user,
# spool directory and unit, starts the printer application from the
# installed files as systemd would (the unit's user, groups and ExecStart;
# the file system read-only but for the spool directory, a private /tmp,
# where this machine allows mount namespaces), adds a file:// printer,
# prints a PDF to it directly and from a cupsd of its own (lpadmin -m
# everywhere), and through the installed CUPS driver, checks each is a whole
# job with the installed `pclxl dump`, reinstalls the packages
# (the upgrade path) and finds the printer kept, then purges them and finds
# nothing of theirs left. The server lives at most PCLXL_DEB_TEST_SECONDS
# (120) and is stopped by SIGTERM to its PID.
set -euo pipefail
export LC_ALL=C DEBIAN_FRONTEND=noninteractive
debs=$(cd "${1:?usage: $0 DEB_DIR}" && pwd)
packages=(libpclxl1 libpclxl-dev pclxl-tools printer-driver-pclxl pclxl-printer-app)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
[ "$(id -u)" = 0 ] || { echo "needs root (installs packages)"; exit 1; }
for p in "${packages[@]}"; do
  [ -e "$(echo "$debs/${p}"_*.deb)" ] || { echo "missing ${p}_*.deb in $debs"; exit 1; }
done
for x in apt-get curl ipptool cupsfilter setpriv; do
  command -v "$x" >/dev/null || { echo "missing $x (install .ci/packages.txt)"; exit 1; }
done
work=$(mktemp -d /tmp/pclxl-deb.XXXXXX)
chmod 755 "$work"
installed() {
  dpkg-query -W -f '${db:Status-Status}\n' "${packages[@]}" 2>/dev/null |
    grep -q -v -x -e '' -e not-installed
}
purge() { apt-get purge -y -qq "${packages[@]}" >"$work/purge.log" 2>&1; }
cleanup() {
  [ -n "${cupsd_pid:-}" ] && kill -TERM "$cupsd_pid" 2>/dev/null && wait "$cupsd_pid" 2>/dev/null
  [ -n "${pid:-}" ] && kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  installed && purge
  rm -rf "$work"
}
trap cleanup EXIT
# Left over from an interrupted run.
installed && purge

# What the packages hold, and what exists of it now: after the purge, all
# that did not exist before must be gone again, and nothing named after the
# project may remain in the system's directories.
for d in "$debs"/*.deb; do dpkg-deb --fsys-tarfile "$d" | tar -t; done |
  sed 's|^\./|/|; s|/$||' | grep -v '^$' | sort -u >"$work/contents"
while read -r path; do [ -e "$path" ] || [ -L "$path" ] || echo "$path"; done \
  <"$work/contents" >"$work/absent-before"
leftovers() { find /etc /usr /var /lib /opt -xdev -name '*pclxl*' 2>/dev/null | sort; }
leftovers >"$work/found-before"

apt-get install -y -qq --no-install-recommends "$debs"/*.deb >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "apt-get install of the packages"; exit 1; }
pass "installed ${packages[*]}"

# The service as the unit describes it.
unit=/lib/systemd/system/pclxl-printer-app.service
setting() { sed -n "s/^$1=//p" "$unit" | tail -n 1; }
user=$(setting User) exec_start=$(setting ExecStart) spool=$(setting ReadWritePaths)
[ -n "$user" ] && [ -n "$exec_start" ] && [ -n "$spool" ] ||
  { fail "the unit names no User, ExecStart or ReadWritePaths"; exit 1; }
case "$exec_start" in
*"spool-directory=$spool "*) ;;
*) fail "ExecStart does not give the spool directory $spool" ;;
esac
# expect WHAT ACTUAL WANTED
expect() { [ "$2" = "$3" ] && pass "$1: $3" || fail "$1 is '$2', not '$3'"; }
expect "service user's shell" "$(getent passwd "$user" | cut -d: -f7)" /usr/sbin/nologin
expect "service user is a system user" "$(($(id -u "$user") < 1000))" 1
expect "service user in lp" "$(id -nG "$user" | tr ' ' '\n' | grep -x lp)" lp
expect "spool directory" "$(stat -c '%U:%G %a' "$spool")" "$user:$user 750"
for key in Wants After; do
  [ -n "$(setting "$key")" ] || fail "the unit has no $key="
done
# The installed unit offline: systemd-analyze's verify and security review,
# nothing writable but the spool directory (77: no systemd-analyze here).
status=0
bash "$(dirname "$0")/check_unit.sh" "$unit" || status=$?
[ "$status" = 0 ] || [ "$status" = 77 ] || fail "the installed unit (see above)"
# cupstestppd also finds the PPD's filters where CUPS looks for them, owned by
# root and writable by no one else.
if command -v cupstestppd >/dev/null; then
  cupstestppd -q /usr/share/cups/model/pclxl.ppd >"$work/cupstestppd.log" 2>&1 &&
    pass "cupstestppd on the installed PPD" || fail "cupstestppd: $(head -n 5 "$work/cupstestppd.log")"
fi

# Start the server from the installed files, as the unit's user with its
# groups and no new privileges; inside a mount namespace the file system is
# read-only but for the spool directory, and /tmp is private.
port=$(sed -n 's/.*server-port=\([0-9]*\).*/\1/p' <<<"$exec_start")
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
  echo "port $port is taken: another printer application runs here"
  exit 1
fi
as_user=(setpriv --reuid="$user" --regid="$user" --init-groups --no-new-privs
  env -i HOME="$spool" PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8)
hardened='mount --bind "$1" "$1" && mount -o remount,bind,ro / &&
  mount -t tmpfs -o mode=1777 tmpfs /tmp && shift && exec "$@"'
if unshare --mount --propagation private true 2>/dev/null; then
  wrap=(unshare --mount --propagation private sh -c "$hardened" sh "$spool")
  how="read-only file system but $spool, private /tmp"
else
  wrap=()
  how="no mount namespace here: the file system as it is"
fi
start_server() {
  # shellcheck disable=SC2086 # the unit's ExecStart, split as systemd does
  "${wrap[@]}" "${as_user[@]}" $exec_start >>"$work/server.log" 2>&1 &
  pid=$!
  timeout "${PCLXL_DEB_TEST_SECONDS:-120}" tail --pid="$pid" -f /dev/null </dev/null \
    >/dev/null 2>&1 || kill -KILL "$pid" 2>/dev/null &
  for _ in $(seq 250); do
    curl -sf -o /dev/null "http://localhost:$port/" && return
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
  done
  fail "server did not start: $(tail -n 3 "$work/server.log")"
  exit 1
}
stop_server() {
  kill -TERM "$pid" || fail "the server is gone"
  local status=0
  wait "$pid" || status=$?
  expect "server exit status after SIGTERM" "$status" 0
  pid=
}
start_server
pass "server up as $user ($how)"

app=/usr/sbin/pclxl-printer-app tool=/usr/bin/pclxl
system=ipp://localhost:$port/ipp/system printer=ipp://localhost:$port/ipp/print/deb-test
out=$spool/out pdf=/usr/share/cups/data/default-testpage.pdf
"${as_user[@]}" mkdir "$out"
"$app" add -u "$system" -d deb-test -m pclxl_color -v "file://$out" >"$work/add.log" 2>&1 ||
  fail "add a file:// printer: $(cat "$work/add.log")"
printf '{ OPERATION Get-Job-Attributes GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8 ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri ATTR integer job-id $job ATTR keyword requested-attributes job-state
  STATUS successful-ok EXPECT job-state WITH-VALUE $value }\n' >"$work/job-state.test"
job_state() { ipptool -q -d job="$1" -d value="$2" "$printer" "$work/job-state.test"; }
job=$("$app" submit -u "$printer" "$pdf" 2>"$work/submit.log" | tail -n 1)
[ -n "$job" ] || fail "submit: $(cat "$work/submit.log")"
for _ in $(seq 600); do
  job_state "$job" '>6' && break
  sleep 0.1
done
job_state "$job" 9 || fail "job $job did not complete"

# whole_job NAME FILE: the installed reader takes FILE as one whole job.
whole_job() {
  if "$tool" dump --summary "$2" >"$2.summary" 2>&1 && grep -q '^pages: [1-9]' "$2.summary"; then
    pass "$1: a whole job, $(grep '^pages:' "$2.summary"), $(stat -c %s "$2") bytes"
  else
    fail "$1: not a whole job: $(tail -n 2 "$2.summary")"
  fi
}
whole_job "printer application" "$out/default-testpage.pdf.prn"

# The installed CUPS driver: the PDF goes to pdftopclxl, or to raster for
# rastertopclxl.
if cupsfilter -e -p /usr/share/cups/model/pclxl.ppd -m printer/deb-test "$pdf" \
  >"$work/cups.pxl" 2>"$work/cups.log"; then
  whole_job "CUPS driver" "$work/cups.pxl"
else
  fail "cupsfilter with the installed PPD: $(grep -a -m 3 ERROR "$work/cups.log")"
fi

# Printing from CUPS as the README says (lpadmin -m everywhere, lp), to a
# cupsd of this test's own: configuration, state and its one socket in the
# work directory.
if command -v cupsd lpadmin lp >/dev/null; then
  c=$work/cups
  mkdir -p "$c/state" "$c/cache" "$c/spool" "$c/tmp"
  printf '%s\n' "ServerRoot $c" "StateDir $c/state" "CacheDir $c/cache" "RequestRoot $c/spool" \
    "TempDir $c/tmp" "ErrorLog $c/error_log" "AccessLog $c/access_log" "PageLog $c/page_log" \
    "Printcap $c/printcap" >"$c/cups-files.conf"
  printf '%s\n' "Listen $c/cups.sock" "LogLevel info" "Browsing No" "WebInterface No" \
    "<Policy default>" "<Limit All>" "Order deny,allow" "</Limit>" "</Policy>" >"$c/cupsd.conf"
  cupsd -f -c "$c/cupsd.conf" -s "$c/cups-files.conf" >"$c/cupsd.out" 2>&1 &
  cupsd_pid=$!
  export CUPS_SERVER=$c/cups.sock
  # lpstat -r exits 0 either way: its words tell.
  for _ in $(seq 500); do
    [ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ] && break
    sleep 0.02
  done
  cp "$pdf" "$work/from-cups.pdf"
  if lpadmin -p deb-test -E -v "$printer" -m everywhere >"$c/lpadmin.log" 2>&1 &&
    lp -d deb-test "$work/from-cups.pdf" >"$c/lp.log" 2>&1; then
    for _ in $(seq 300); do
      "$tool" dump "$out/from-cups.pdf.prn" >/dev/null 2>&1 && break
      sleep 0.1
    done
    whole_job "from CUPS through the printer application" "$out/from-cups.pdf.prn"
  else
    fail "lpadmin -m everywhere or lp: $(cat "$c/lpadmin.log" "$c/lp.log")"
  fi
  kill -TERM "$cupsd_pid" && wait "$cupsd_pid" || true
  cupsd_pid=
  unset CUPS_SERVER
fi
stop_server

# The upgrade path: a reinstall runs the maintainer scripts again; the
# printer, the user and the spool directory stay.
dpkg -i "$debs"/*.deb >"$work/reinstall.log" 2>&1 || fail "reinstall: $(tail -n 3 "$work/reinstall.log")"
expect "spool directory after reinstall" "$(stat -c '%U:%G %a' "$spool")" "$user:$user 750"
start_server
printf '{ OPERATION Get-Printer-Attributes GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8 ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri STATUS successful-ok }\n' >"$work/printer.test"
ipptool -q "$printer" "$work/printer.test" && pass "printer kept across the reinstall" ||
  fail "the printer is gone after the reinstall"
stop_server
if grep -a -q -i -e 'read-only file system' -e 'permission denied' "$work/server.log"; then
  fail "the server wrote outside its spool directory: $(grep -a -m 2 -i -e read-only \
    -e 'permission denied' "$work/server.log")"
fi

purge || fail "purge: $(tail -n 3 "$work/purge.log")"
! installed || fail "packages still known to dpkg: $(dpkg -l "${packages[@]}" 2>/dev/null | grep '^[a-z]')"
left=$(while read -r path; do
  if [ -e "$path" ] || [ -L "$path" ]; then echo "$path"; fi
done <"$work/absent-before")
[ -z "$left" ] || fail "left after the purge: $left"
left=$(leftovers | comm -13 "$work/found-before" -)
[ -z "$left" ] || fail "left after the purge: $left"
[ ! -e "$spool" ] || fail "the spool directory $spool survived the purge"
if getent passwd "$user" >/dev/null; then
  pass "purged; the system user $user stays (files it owned may remain elsewhere)"
fi
[ "$failures" = 0 ] || { echo "--- server log"; tail -n 30 "$work/server.log"; }
echo "Debian packages: $failures failure(s)"
[ "$failures" = 0 ]
