# Shared by the end-to-end scripts (sourced): a private X server, the
# scenario tally, background helpers and the notification area.
#   start_private_xvfb WORK [always]  when there is no DISPLAY (or always):
#                                     Xvfb on a free display, sets DISPLAY and
#                                     xvfb_pid
#   stop_private_xvfb                 ends that Xvfb
#   pass NAME / fail NAME REASON      prints and counts a scenario's result
#   report_results                    "N passed, M failed"; false when any failed
#                                     or none ran
#   wait_until SECONDS COMMAND...     true once COMMAND succeeds (polled 0.2 s)
#   start_background LOG COMMAND...   COMMAND in the background, its pid in
#                                     $last_pid, ended by stop_background_helpers
#   start_trayer LOG TRAYER-ARGS...   trayer as the notification area; its
#                                     panel window in $trayer_window (empty
#                                     when it did not start)
#   visible_windows_named NAME        visible X windows named exactly NAME

xvfb_pid=""
helper_pids=()
passed=0
failed=0
trayer_window=""

start_private_xvfb() {
  local work=$1 when=${2:-}
  [ -n "${DISPLAY:-}" ] && [ "$when" != always ] && return 0
  local display=99
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
  # -noreset: without it the server resets whenever its last client leaves, and
  # a client connecting during the reset is turned away.
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display"
  # Ready when a client gets through, not when its socket appears: a client
  # that comes too early is turned away ("cannot open display").
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "Xvfb :$display did not start: $(tail -3 "$work/xvfb.log")" >&2
  return 1
}

stop_private_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  fi
  return 0
}

pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1: $2"; failed=$((failed + 1)); }

report_results() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}

wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}

start_background() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 &
  last_pid=$!
  helper_pids+=("$last_pid")
}

stop_background_helpers() {
  local pid
  for pid in "${helper_pids[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  helper_pids=()
}

find_trayer() { trayer_window=$(xdotool search --name '^panel$' 2>/dev/null | head -1); [ -n "$trayer_window" ]; }

# A trayer that ends before its panel shows is started once more.
start_trayer() {
  local log=$1 attempt
  shift
  for attempt in 1 2; do
    start_background "$log.$attempt" trayer --edge top --align right --SetDockType false "$@"
    local pid=$last_pid
    trayer_up() { find_trayer || ! kill -0 "$pid" 2>/dev/null; }
    wait_until 30 trayer_up
    find_trayer && return 0
  done
  echo "(trayer did not start: no notification area: $(tail -2 "$log.1" "$log.2" 2>/dev/null | tr '\n' ' '))"
}

visible_windows_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null; }
