#!/usr/bin/env bash
# Tries the Debian package as an administrator would, in a booted Debian
# container (systemd-nspawn, from systemd-container): installs it, starts the
# attendance service on the built-in simulated readers with the server down,
# checks that reads reach the attendance file, then removes the package and
# checks that only the user's data stays.
#   tests/package/try_service_in_container.sh ROOTFS DEB
# ROOTFS: a Debian root with systemd (e.g. debootstrap --include=systemd,dbus);
# it is changed (the package goes in and out again). Needs root.
# Not part of ./build.sh test: CI machines have no root file system to boot.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 ROOTFS DEB" >&2
  exit 2
fi
ROOT=$(cd "$1" && pwd) || exit 2
DEB=$2
[ -x "$ROOT/lib/systemd/systemd" ] || { echo "$0: $ROOT has no systemd" >&2; exit 2; }
command -v systemd-nspawn >/dev/null || { echo "$0: systemd-nspawn is not installed (systemd-container)" >&2; exit 2; }

HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/support/e2e_common.sh
. "$HERE/../support/e2e_common.sh"

work=$(mktemp -d /tmp/snimac-container.XXXXXX)
cp "$DEB" "$ROOT/var/tmp/snimac.deb"
systemd-nspawn -q -D "$ROOT" --boot --register=no --keep-unit >"$work/console.log" 2>&1 </dev/null &
nspawn=$!
cleanup() {
  kill "$nspawn" 2>/dev/null && wait "$nspawn" 2>/dev/null
  rm -f "$ROOT/var/tmp/snimac.deb"
  rm -rf "$work"
}
trap cleanup EXIT

# The container's init: the child of systemd-nspawn.
leader=""
find_leader() { leader=$(pgrep -P "$nspawn" | head -1); [ -n "$leader" ]; }
inside() { nsenter -t "$leader" -m -u -i -n -p -- "$@"; }
booted() { inside systemctl is-system-running 2>/dev/null | grep -Eq 'running|degraded'; }
if ! wait_until 20 find_leader || ! wait_until 60 booted; then
  echo "the container did not boot: $(tail -5 "$work/console.log")"
  exit 1
fi
echo "== a booted container ($(inside systemctl is-system-running))"

files_before=$(inside find /usr /etc -xdev | sort)
if inside env DEBIAN_FRONTEND=noninteractive apt-get install -y -q /var/tmp/snimac.deb >"$work/install.log" 2>&1; then
  pass "apt-get install"
else
  fail "apt-get install" "$(tail -3 "$work/install.log")"
  report_results
  exit 1
fi

# The simulated evid reader presents a card every second; the server is down,
# so every read goes to the file.
inside sed -i -e 's/^#SNIMAC_FTDI=sim/SNIMAC_FTDI=sim/' \
  -e 's/^#SNIMAC_SERVER=.*/SNIMAC_SERVER=127.0.0.1:9/' /etc/default/snimac
echo 'SNIMAC_SIM_CARD_INTERVAL_MS=1000' | inside tee -a /etc/default/snimac >/dev/null
if inside systemctl start snimac-attendance; then
  pass "systemctl start snimac-attendance"
else
  fail "systemctl start snimac-attendance" "$(inside systemctl status snimac-attendance --no-pager 2>&1 | tail -5)"
fi
has_reads() { inside test -s /var/lib/snimac/vestibar.db; }
if wait_until 30 has_reads; then
  pass "reads in /var/lib/snimac/vestibar.db"
  echo "   $(inside head -2 /var/lib/snimac/vestibar.db | tr '\r\n' '  ')"
else
  fail "reads in /var/lib/snimac/vestibar.db" \
    "$(inside journalctl -u snimac-attendance --no-pager 2>&1 | tail -8 | tr '\n' '|')"
fi
echo "   journal: $(inside journalctl -u snimac-attendance --no-pager -o cat 2>&1 | grep -v '^Started\|^Starting' | head -5 | tr '\n' '|')"
if inside systemctl stop snimac-attendance && [ "$(inside systemctl show -p Result --value snimac-attendance)" = success ]; then
  pass "systemctl stop (SIGTERM, exit 0)"
else
  fail "systemctl stop" "$(inside systemctl show -p Result -p ExecMainStatus snimac-attendance | tr '\n' ' ')"
fi

inside env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q snimac >"$work/remove.log" 2>&1
inside env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q snimac >>"$work/remove.log" 2>&1
left=$(comm -13 <(echo "$files_before") <(inside find /usr /etc -xdev | sort) | grep -v '^/etc/ld.so.cache$' | grep -i snimac)
if [ -z "$left" ]; then
  pass "apt-get remove and purge leave nothing in /usr and /etc"
else
  fail "apt-get remove" "left behind: $(echo "$left" | tr '\n' ' ')"
fi
if has_reads; then
  pass "the attendance file stays (the user's data)"
else
  fail "the attendance file stays" "it went with the package"
fi
report_results
