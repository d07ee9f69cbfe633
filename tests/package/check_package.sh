#!/usr/bin/env bash
# Checks the Debian package as a user would meet it:
#   tests/package/check_package.sh DEB
# lintian without errors, desktop-file-validate on the menu and autostart
# entries, then the package installed with apt-get (as root): the unit passes
# systemd-analyze verify, both programs answer --version (their libraries
# resolve), the manual pages are found; then apt-get remove leaves only the
# conffiles, and purge leaves nothing of the package. Prints "PASS name" or
# "FAIL name: reason" for each check and ends with "N passed, M failed".
# A snimac package installed before the check is removed by it.
set -uo pipefail

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 DEB" >&2
  exit 2
fi
deb=$(realpath "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/support/e2e_common.sh
. "$HERE/../support/e2e_common.sh"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
for tool in lintian desktop-file-validate systemd-analyze dpkg-deb apt-get; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 2; }
done

work=$(mktemp -d /tmp/snimac-package-check.XXXXXX)
trap 'rm -rf "$work"' EXIT
version=$(dpkg-deb -f "$deb" Version)
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -y -q "$@" >>"$work/apt.log" 2>&1; }
installed() { [ "$(dpkg-query -W -f '${db:Status-Status}' snimac 2>/dev/null)" = installed ]; }

# lintian: errors fail the check, warnings and notes are shown.
if lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1; then
  pass "lintian (no errors)"
else
  fail lintian "errors"
fi
grep -v 'running with root privileges' "$work/lintian.log" | sed 's/^/  lintian: /'

# The desktop entries as the package ships them.
dpkg-deb -x "$deb" "$work/root"
for entry in usr/share/applications/snimac.desktop etc/xdg/autostart/snimac.desktop; do
  if [ ! -f "$work/root/$entry" ]; then
    fail "desktop-file-validate /$entry" "not in the package"
  elif out=$(desktop-file-validate "$work/root/$entry" 2>&1) && [ -z "$out" ]; then
    pass "desktop-file-validate /$entry"
  else
    fail "desktop-file-validate /$entry" "$out"
  fi
done

if installed; then
  echo "(a snimac package was installed before the check: it is replaced and removed)"
fi
if apt_get install --reinstall "$deb" && installed; then
  pass "apt-get install ./$(basename "$deb")"
else
  fail "apt-get install" "see below"
  sed 's/^/  apt: /' "$work/apt.log"
  report_results
  exit 1
fi
dpkg-query -L snimac | sort >"$work/files"
conffiles=$(dpkg-query -W -f '${Conffiles}\n' snimac | awk 'NF { print $1 }')

# The unit as installed, with its program and settings file in place. The
# manual page named in Documentation= is checked by lintian and below.
if out=$(systemd-analyze verify --man=no /usr/lib/systemd/system/snimac-attendance.service 2>&1) && [ -z "$out" ]; then
  pass "systemd-analyze verify snimac-attendance.service"
else
  fail "systemd-analyze verify snimac-attendance.service" "$out"
fi

expect_output() {
  local name=$1 expected=$2
  shift 2
  local out
  out=$("$@" 2>&1)
  if [ "$out" = "$expected" ]; then pass "$name"; else fail "$name" "printed '$out', expected '$expected'"; fi
}
expect_output "snimac-headless --version" "snimac-headless (snimac) $version" snimac-headless --version
expect_output "snimac --version" "snimac $version" env -u DISPLAY -u WAYLAND_DISPLAY snimac --version

missing_pages=""
for page in snimac snimac-headless; do
  [ -f "/usr/share/man/man1/$page.1.gz" ] || missing_pages+=" $page(1)"
done
if [ -z "$missing_pages" ]; then pass "manual pages"; else fail "manual pages" "missing:$missing_pages"; fi

# Files of the package still there (directories other packages share stay).
left_over() {
  local keep=$1 path
  while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    [ -d "$path" ] && [ ! -L "$path" ] && continue
    grep -qxF "$path" <<<"$keep" && continue
    echo "$path"
  done <"$work/files"
}

apt_get remove snimac
left=$(left_over "$conffiles")
if ! installed && [ -z "$left" ] && [ ! -e /usr/share/doc/snimac ]; then
  pass "apt-get remove snimac (only the conffiles stay)"
else
  fail "apt-get remove snimac" "left: $left"
fi

apt_get purge snimac
left=$(left_over "")
left+=$(find /var/lib/dpkg/info /var/lib/systemd -name 'snimac*' 2>/dev/null)
if [ -z "$(dpkg-query -W -f '${db:Status-Status}' snimac 2>/dev/null | grep -v not-installed)" ] && [ -z "$left" ]; then
  pass "apt-get purge snimac (nothing left)"
else
  fail "apt-get purge snimac" "left: $left"
fi

echo -n "package: "
report_results
