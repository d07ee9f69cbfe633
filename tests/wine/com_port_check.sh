#!/usr/bin/env bash
# Runs the COM port tests of snimac_tests.exe under Wine against a real
# serial device: one end of a Linux pseudo-terminal pair is linked into the
# Wine prefix as a COM port, and the other end echoes every byte back. Then
# the device goes away under a waiting read: a second pair whose other end
# closes on an agreed text (SNIMAC_TEST_COM_HANGUP), like an unplugged reader.
#   tests/wine/com_port_check.sh TEST_EXE [COMn]      (default COM5)
# Uses $WINEPREFIX when it is set (the link is removed again afterwards),
# otherwise a fresh prefix of its own. Fails when a test fails or when the
# COM tests were skipped or none ran (then the port did not reach them).
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
hang_up_pid=""
own_prefix=""
link=""
old_link=""

cleanup() {
  local pid
  for pid in $echo_pid $hang_up_pid; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
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

# The port's other end: a pseudo-terminal pair in raw mode, so that the
# terminal layer neither buffers lines nor echoes by itself, that echoes
# every byte back. It keeps its own end of the port open too, so that the
# echo never sees a hang-up while Wine opens and closes the port. Given a
# hang-up text, it closes both ends instead once that text arrives: the
# device is unplugged (the slave device file vanishes with the master).
#   start_port_side NAME [HANG_UP_TEXT]   sets port_pid and device
start_port_side() {
  local name_file="$work/$1"
  python3 - "$name_file" "${2:-}" <<'PY' &
import os, sys, tty
master, slave = os.openpty()
tty.setraw(master)
tty.setraw(slave)
hang_up = sys.argv[2].encode()
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(os.ttyname(slave))
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
seen = b""
while True:
    data = os.read(master, 4096)
    seen = (seen + data)[-max(len(hang_up), 1) * 2:]
    if hang_up and hang_up in seen:
        os.close(master)
        os.close(slave)
        open(sys.argv[1] + ".hung-up", "w").close()
        sys.exit(0)
    if data:
        os.write(master, data)
PY
  port_pid=$!
  for _ in $(seq 100); do
    [ -s "$name_file" ] && break
    sleep 0.05
  done
  if [ ! -s "$name_file" ]; then
    echo "$0: no pseudo-terminal" >&2
    exit 1
  fi
  device=$(cat "$name_file")
  ln -sfn "$device" "$link"
}

# run_com_tests LOG FILTER [VAR=VALUE...]: the tests of FILTER; fails when
# one failed, was skipped, or none ran.
run_com_tests() {
  local log=$1 filter=$2
  shift 2
  env SNIMAC_TEST_COM_PORT="$com" "$@" wine "$exe" --gtest_filter="$filter" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  if grep -q '^\[  SKIPPED \]' "$log"; then
    echo "$0: COM port tests were skipped" >&2
    status=1
  fi
  if ! grep -q '^\[ RUN      \]' "$log"; then
    echo "$0: no COM port test ran ($filter)" >&2
    status=1
  fi
  return "$status"
}

link="$WINEPREFIX/dosdevices/$link_name"
old_link=$(readlink "$link" 2>/dev/null || true)
hang_up_test='Win32ComPortEcho.ADeviceThatGoesAway*'
status=0

start_port_side pty-echo
echo_pid=$port_pid
echo "== $com is $device (echoing)"
run_com_tests "$work/echo.log" "Win32ComPort*:-$hang_up_test" || status=1

# The unplugged reader, on a port of its own: the echo hangs up on this text.
hang_up_text='snimac: unplug now'
start_port_side pty-hang-up "$hang_up_text"
hang_up_pid=$port_pid
echo "== $com is $device (echoing until it hangs up)"
run_com_tests "$work/hang-up.log" "$hang_up_test" "SNIMAC_TEST_COM_HANGUP=$hang_up_text" || status=1
if [ ! -e "$work/pty-hang-up.hung-up" ]; then
  echo "$0: the port's other end never hung up" >&2
  status=1
fi
exit "$status"
