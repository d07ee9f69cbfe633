#!/usr/bin/env bash
# Runs the COM port tests of snimac_tests.exe under Wine against a real
# serial device: one end of a Linux pseudo-terminal pair is linked into the
# Wine prefix as a COM port, and the other end echoes every byte back.
#   tests/wine/com_port_check.sh TEST_EXE [COMn]      (default COM5)
# Uses $WINEPREFIX when it is set (the link is removed again afterwards),
# otherwise a fresh prefix of its own. Fails when a test fails or when the
# COM tests were skipped (then the port did not reach them).
set -uo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 TEST_EXE [COMn]" >&2
  exit 2
fi
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
com=${2:-COM5}
link_name=$(echo "$com" | tr '[:upper:]' '[:lower:]')
work=$(mktemp -d /tmp/snimac-com.XXXXXX)
echo_pid=""
own_prefix=""
link=""
old_link=""

cleanup() {
  [ -n "$echo_pid" ] && kill "$echo_pid" 2>/dev/null && wait "$echo_pid" 2>/dev/null
  if [ -n "$link" ]; then
    rm -f "$link"
    [ -n "$old_link" ] && ln -s "$old_link" "$link"
  fi
  [ -n "$own_prefix" ] && wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$work/prefix"
  own_prefix=1
  wineboot --init >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; exit 1; }
fi

# The echoing end: raw, so that the terminal layer neither buffers lines nor
# echoes by itself; it keeps the other end open too, so that the echo never
# sees a hang-up while Wine opens and closes the port.
python3 - "$work/pty" <<'PY' &
import os, sys, tty
master, slave = os.openpty()
tty.setraw(master)
tty.setraw(slave)
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(os.ttyname(slave))
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
while True:
    data = os.read(master, 4096)
    if data:
        os.write(master, data)
PY
echo_pid=$!
for _ in $(seq 100); do
  [ -s "$work/pty" ] && break
  sleep 0.05
done
if [ ! -s "$work/pty" ]; then
  echo "$0: no pseudo-terminal" >&2
  exit 1
fi
device=$(cat "$work/pty")

link="$WINEPREFIX/dosdevices/$link_name"
old_link=$(readlink "$link" 2>/dev/null || true)
ln -sfn "$device" "$link"
echo "== $com is $device (echoing)"

SNIMAC_TEST_COM_PORT=$com wine "$exe" --gtest_filter='Win32ComPort*' 2>&1 | tee "$work/test.log"
status=${PIPESTATUS[0]}
if grep -q '^\[  SKIPPED \]' "$work/test.log"; then
  echo "$0: COM port tests were skipped" >&2
  status=1
fi
exit "$status"
