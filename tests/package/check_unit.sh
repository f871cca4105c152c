#!/usr/bin/env bash
# The printer application's systemd unit, checked offline (no systemd needs
# to run): `systemd-analyze verify` takes it, and its security review finds
# what the README promises: a static unprivileged user in the group lp, the
# system read-only (ProtectSystem=strict), no home directories, a private
# /tmp, no new privileges, and nothing writable but the spool directory.
#   tests/package/check_unit.sh UNIT [PROGRAM]
# PROGRAM stands in for the one ExecStart names where that is not installed.
# Exits 77 (skipped) without systemd-analyze.
set -euo pipefail
unit=${1:?usage: $0 UNIT [PROGRAM]}
command -v systemd-analyze >/dev/null || { echo "skip: no systemd-analyze here"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
setting() { sed -n "s/^$1=//p" "$unit"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
copy=$work/${unit##*/}
if [ -n "${2:-}" ]; then
  sed "s|^ExecStart=[^ ]*|ExecStart=$2|" "$unit" >"$copy"
else
  cp "$unit" "$copy"
fi
# (verify warns of a key it does not know, or a value it cannot read, and
# still exits 0.)
if systemd-analyze verify "$copy" >"$work/verify.log" 2>&1 && [ ! -s "$work/verify.log" ]; then
  pass "systemd-analyze verify"
else
  fail "systemd-analyze verify: $(cat "$work/verify.log")"
fi

# The review's verdicts, one per line: NAME EXPOSURE (null when the setting
# leaves nothing exposed).
systemd-analyze security --offline=true --threshold=25 --json=short "$copy" >"$work/review.json" 2>&1 ||
  fail "security review: exposure above 2.5 (or no review): $(head -c 300 "$work/review.json")"
grep -o '"name":"[^"]*","json_field":"[^"]*","description":"[^"]*","exposure":[^}]*' \
  "$work/review.json" | sed 's/^"name":"\([^"]*\)".*"exposure":/\1 /' >"$work/review"
for name in User=/DynamicUser= ProtectSystem= ProtectHome= PrivateTmp= NoNewPrivileges= \
  CapabilityBoundingSet=~CAP_SYS_ADMIN; do
  grep -q -x -F "$name null" "$work/review" || fail "security review: $(grep -F "$name " \
    "$work/review" || echo "no $name")"
done

# Writable: the spool directory ExecStart gives, and nothing else.
spool=$(setting ExecStart | sed -n 's/.*spool-directory=\([^ ]*\).*/\1/p')
[ -n "$spool" ] && [ "$(setting ReadWritePaths)" = "$spool" ] ||
  fail "ReadWritePaths is '$(setting ReadWritePaths | tr '\n' ' ')', not the spool directory '$spool'"
for key in ReadWriteDirectories StateDirectory CacheDirectory LogsDirectory RuntimeDirectory \
  ConfigurationDirectory BindPaths; do
  [ -z "$(setting "$key")" ] || fail "the unit also makes writable: $key=$(setting "$key")"
done
grep -q -w lp <<<"$(setting SupplementaryGroups)" || fail "the service is not in the group lp"
# What would take away something the README promises: the server without
# avahi-daemon, USB printers (a device allow-list).
for key in Requires=.*avahi PrivateDevices=yes DeviceAllow= DevicePolicy=closed ProtectClock=yes; do
  ! grep -q "^$key" "$unit" || fail "the unit has $(grep -m 1 "^$key" "$unit")"
done
[ "$failures" = 0 ] || exit 1
pass "security review: static user $(setting User) in lp, read-only system, private /tmp," \
  "no new privileges, only $spool writable"
