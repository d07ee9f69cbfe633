#!/usr/bin/env bash
# A benchmark, not a test: resident size and CPU of a program idling with a
# reader alive (snimac-sim-reader on a pseudo-terminal, polled over the link).
#   tools/idle_footprint.sh BUILD_DIR [snimac|snimac-headless] [SECONDS]
# The desktop program runs on a private Xvfb with trayer as its tray.
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR [snimac|snimac-headless] [SECONDS]}" && pwd)
program=${2:-snimac}
seconds=${3:-60}
case "$program" in
  snimac) binary="$build/platform/qt/snimac" ;;
  snimac-headless) binary="$build/platform/headless/snimac-headless" ;;
  *) echo "$0: unknown program $program" >&2; exit 2 ;;
esac
work=$(mktemp -d /tmp/snimac-idle.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=90
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=":$display" SNIMAC_SIM_CARD_INTERVAL_MS=0
sleep 1
trayer --align right --widthtype request --height 24 >/dev/null 2>&1 & pids+=($!)
"$build/tools/snimac-sim-reader" >"$work/pty" 2>&1 & pids+=($!)
for _ in $(seq 50); do grep -q '^/dev/' "$work/pty" && break; sleep 0.1; done
pty=$(grep -m1 '^/dev/' "$work/pty")
SNIMAC_FTDI='' SNIMAC_DEVICES="$pty|Reader|A1B2" "$binary" -log -logdir "$work/log" >"$work/out" 2>&1 &
app=$!
pids+=("$app")
sleep 10  # start-up and the link's set-up are not idling

ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
t0=$(ticks)
s0=$(date +%s%N)
sleep "$seconds"
t1=$(ticks)
s1=$(date +%s%N)
hz=$(getconf CLK_TCK)
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$app/status")
echo "$program: resident $((rss / 1024)) MB; CPU $(awk -v t=$((t1 - t0)) -v hz="$hz" -v ns=$((s1 - s0)) \
  'BEGIN {printf "%.2f", 100 * t / hz / (ns / 1e9)}') % of a core over ${seconds} s idle, reader alive"
grep -q 'Address set to 01' "$work/log/grab-A1B2.log" || { echo "$0: the link never came up" >&2; exit 1; }
