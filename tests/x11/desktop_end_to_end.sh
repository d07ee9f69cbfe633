#!/usr/bin/env bash
# End-to-end test of the Linux desktop program (Qt) on the built-in simulated
# readers (SNIMAC_FTDI=sim).
#   tests/x11/desktop_end_to_end.sh BUILD_DIR
# Needs BUILD_DIR/platform/qt/snimac. Runs on a private Xvfb with trayer as the
# notification area and no window manager, drives the program with xdotool as
# a user would, prints "PASS name" or "FAIL name: reason" for each scenario and
# ends with "N passed, M failed" (exit status 1 when anything failed).
# Screenshots of what the user sees are left in BUILD_DIR/screenshots/.
# SNIMAC_DESKTOP_E2E_SKIP_UPGRADE=1 leaves out the upgrade scenario (the slowest).
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
BUILD_DIR=$(cd "$1" && pwd) || exit 2
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/support/e2e_common.sh
. "$HERE/../support/e2e_common.sh"

snimac="$BUILD_DIR/platform/qt/snimac"
[ -x "$snimac" ] || { echo "$0: $snimac is missing (was the build made?)" >&2; exit 2; }
for tool in Xvfb trayer xdotool xwininfo xterm import python3 md5sum; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 2; }
done

# Demonstration card numbers of the simulated readers, as they are typed.
CARDS='(04a1b2c3|2143baf0|04112233445566)'
CR=$'\r'

screenshots="$BUILD_DIR/screenshots"
mkdir -p "$screenshots"
rm -f "$screenshots"/tray-menu*.png "$screenshots"/main-window.png "$screenshots"/upgrade-*.png

work=$(mktemp -d /tmp/snimac-desktop-e2e.XXXXXX)
cleanup() {
  stop_background_helpers
  stop_private_xvfb
  if [ "$failed" -eq 0 ]; then
    rm -rf "$work"
  else
    echo "(the programs' output is kept in $work)"
  fi
}
trap cleanup EXIT

# run_snimac LOG [VAR=VALUE...] -- [ARGS...]: the program in the background.
run_snimac() {
  local log=$1
  shift
  local settings=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do settings+=("$1"); shift; done
  shift
  start_background "$log" env "${settings[@]}" "$snimac" "$@"
  snimac_pid=$last_pid
  snimac_status=""
}

# stop_snimac: SIGTERM, and the exit status in $snimac_status (empty while it
# runs, and when it did not end within 10 s; it is killed then).
stop_snimac() {
  snimac_status=""
  kill -TERM "$snimac_pid" 2>/dev/null
  snimac_ended() { ! kill -0 "$snimac_pid" 2>/dev/null || ps -o stat= -p "$snimac_pid" | grep -q Z; }
  if wait_until 10 snimac_ended; then
    wait "$snimac_pid"
    snimac_status=$?
  else
    kill -KILL "$snimac_pid" 2>/dev/null
    wait "$snimac_pid" 2>/dev/null
  fi
}

# Visible windows whose name is exactly $1.
# Visible top-level windows of the program (the icon, menus, windows, boxes).
visible_snimac_windows() { xdotool search --onlyvisible --class '^snimac$' 2>/dev/null | sort; }
is_viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
not_viewable() { ! is_viewable "$1"; }

# geometry WINDOW: sets gx, gy, gw, gh (absolute position and size).
geometry() {
  local info
  info=$(xwininfo -id "$1" 2>/dev/null) || return 1
  gx=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
  gy=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
  gw=$(sed -n 's/^ *Width: *//p' <<<"$info")
  gh=$(sed -n 's/^ *Height: *//p' <<<"$info")
  [ -n "$gx" ] && [ -n "$gw" ]
}

# shot WINDOW FILE: a screenshot of one window (or "root").
shot() { import -window "$1" "$2" 2>>"$work/import.log"; }

# --- set-up -----------------------------------------------------------------

# The program's settings come from each scenario alone; Qt draws on X11 (xcb)
# and puts its icon into the notification area over XEmbed, not over a D-Bus
# tray of the session that runs this script (nor of a bus started for it).
unset SNIMAC_FTDI SNIMAC_DEVICES SNIMAC_SERIAL_PORT SNIMAC_SERVER QT_QPA_PLATFORM
export DBUS_SESSION_BUS_ADDRESS=disabled:
export LC_ALL=C.UTF-8
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

start_private_xvfb "$work" always || exit 1
echo "== snimac (Qt) on $DISPLAY"

# The notification area: trayer; its window "panel" holds the icons.
start_trayer "$work/trayer.log" --widthtype request --height 24

# The program's icon windows embedded in trayer's panel (Qt names them after
# the program, class "snimac").
embedded_icons() {
  [ -n "$trayer_window" ] || return 0
  xwininfo -tree -id "$trayer_window" 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) .*("snimac" "snimac").*/\1/p'
}
icon_count() { embedded_icons | grep -c .; }
icon_embedded() { [ "$(icon_count)" -gt 0 ]; }
icon_gone() { [ "$(icon_count)" -eq 0 ]; }

# click_icon BUTTON [REPEAT]: the mouse on the middle of the icon, then clicks.
click_icon() {
  local icon
  icon=$(embedded_icons | head -1)
  [ -n "$icon" ] && geometry "$icon" || return 1
  xdotool mousemove --sync $((gx + gw / 2)) $((gy + gh / 2)) click --repeat "${2:-1}" --delay 120 "$1"
}

# --- grab mode: tray icon, typing, the menu, the main window, SIGTERM ---------

# The typing target: an xterm whose terminal is raw, so that every key's byte
# (Enter as "\r") lands in the file at once, without waiting for a line.
typed="$work/typed.bin"
typed_text() { cat -v "$typed" 2>/dev/null; }
typed_size() { stat -c %s "$typed" 2>/dev/null || echo 0; }
# The bytes typed since offset $1.
typed_since() { tail -c +$(($1 + 1)) "$typed" 2>/dev/null; }

start_typing_target() {
  # shellcheck disable=SC2016 # $1 is the inner shell's
  start_background "$work/xterm.log" xterm -T 'snimac typing target' -geometry 60x8+10+300 \
    -e sh -c 'stty raw -echo && exec cat >"$1"' sh "$typed"
  target=""
  find_target() { target=$(visible_windows_named 'snimac typing target' | head -1); [ -n "$target" ]; }
  wait_until 15 find_target && wait_until 10 test -e "$typed" && xdotool windowfocus --sync "$target"
}

# Waits until a whole card was typed after offset $1 (its number, and the
# Enter when $2 is "enter"), at most $3 seconds (20).
wait_for_card_after() {
  local from=$1 enter=${2:-}
  card_done() {
    local text
    text=$(typed_since "$from")
    if [ "$enter" = enter ]; then
      [[ $text =~ $CARDS$CR$ ]]
    else
      [[ $text =~ $CARDS$ ]]
    fi
  }
  wait_until "${3:-20}" card_done
}

scenario_tray_icon() {
  if [ -z "$trayer_window" ]; then
    fail tray_icon "no trayer window"
  elif ! wait_until 15 icon_embedded; then
    fail tray_icon "no icon window of snimac was embedded in trayer's panel within 15 s ($(xwininfo -tree -id "$trayer_window" 2>&1 | grep -c 0x) windows there)"
  else
    geometry "$(embedded_icons | head -1)"
    echo "   icon window $(embedded_icons | head -1), ${gw}x${gh} at +$gx+$gy in trayer's panel"
    pass tray_icon
  fi
}

scenario_typing() {
  local started=$1
  if ! wait_for_card_after 0 enter 30; then
    fail typing "no card number followed by Enter reached the focused xterm within 30 s (it got: '$(typed_text)')"
    return
  fi
  echo "   typed after $((SECONDS - started)) s: '$(typed_text)'"
  pass typing
}

# The tray menu's popup: a visible override-redirect window of the program
# that was not there before ($1: the program's visible windows then).
find_popup() {
  local w
  popup=""
  for w in $(comm -13 <(echo "$1") <(visible_snimac_windows)); do
    if xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes'; then
      popup=$w
      return 0
    fi
  done
  return 1
}

# open_menu: right-click on the icon; the popup's window in $popup.
open_menu() {
  local before
  before=$(visible_snimac_windows)
  click_icon 3 || return 1
  wait_until 5 find_popup "$before"
}

scenario_menu_enter() {
  if ! icon_embedded; then
    fail menu_enter "no icon to click"
    return
  fi
  # Cards are typed wherever the keyboard goes, also into an open menu: the
  # menu is opened right after a card, well before the next one comes.
  if ! wait_for_card_after "$(typed_size)" enter; then
    fail menu_enter "no card with Enter was typed before opening the menu (xterm got: '$(typed_text)')"
    return
  fi
  if ! open_menu; then
    fail menu_enter "no menu opened on a right-click on the icon"
    return
  fi
  shot root "$screenshots/tray-menu.png"
  # "Posílat Enter" is the menu's last item: a click on the lower quarter.
  geometry "$popup"
  xdotool mousemove --sync $((gx + gw / 2)) $((gy + gh - gh / 4)) click 1
  if ! wait_until 5 not_viewable "$popup"; then
    fail menu_enter "the menu stayed open after a click on its last item"
    xdotool key Escape
    return
  fi
  # Two cards typed one right after the other: no Enter after the first.
  local from
  from=$(typed_size)
  no_enter_between() { [[ $(typed_since "$from") =~ ^$CARDS$CARDS ]]; }
  enter_typed() { [[ $(typed_since "$from") =~ ^$CARDS$CR ]]; }
  wait_until 20 no_enter_between || enter_typed
  if enter_typed; then
    fail menu_enter "a card was still typed with Enter after unticking \"Posílat Enter\" (after it: '$(typed_since "$from" | cat -v)')"
  elif ! no_enter_between; then
    fail menu_enter "no two cards were typed within 20 s after unticking \"Posílat Enter\" (after it: '$(typed_since "$from" | cat -v)')"
  else
    echo "   typed after unticking: '$(typed_since "$from" | cat -v)'"
    # The menu once more, to see the item unticked.
    wait_for_card_after "$(typed_size)" && open_menu && shot root "$screenshots/tray-menu-unticked.png" &&
      xdotool key Escape && wait_until 5 not_viewable "$popup"
    pass menu_enter
  fi
}

scenario_main_window() {
  if ! icon_embedded; then
    fail main_window "no icon to double-click"
    return
  fi
  click_icon 1 2
  local window=""
  find_main() { window=$(visible_windows_named 'Snímač' | head -1); [ -n "$window" ]; }
  if ! wait_until 10 find_main; then
    fail main_window "no visible window \"Snímač\" within 10 s of a double-click on the icon"
  elif ! is_viewable "$window"; then
    fail main_window "the window \"Snímač\" is not mapped"
  else
    shot "$window" "$screenshots/main-window.png"
    geometry "$window"
    echo "   window $window ${gw}x${gh} at +$gx+$gy"
    pass main_window
  fi
}

scenario_sigterm() {
  stop_snimac
  if [ -z "$snimac_status" ]; then
    fail sigterm "snimac still ran 10 s after SIGTERM"
  elif [ "$snimac_status" -ne 0 ]; then
    fail sigterm "snimac ended with exit code $snimac_status after SIGTERM"
  elif ! wait_until 5 icon_gone; then
    fail sigterm "the icon stayed in trayer's panel after snimac ended"
  else
    pass sigterm
  fi
}

scenario_grab() {
  if ! start_typing_target; then
    fail typing "the xterm to type into did not come up"
    return
  fi
  local started=$SECONDS
  run_snimac "$work/snimac-grab.log" SNIMAC_FTDI=sim SNIMAC_SIM_CARD_INTERVAL_MS=4000 --
  scenario_tray_icon
  scenario_typing "$started"
  scenario_menu_enter
  scenario_main_window
  scenario_sigterm
}

# --- attendance -----------------------------------------------------------------

scenario_attendance() {
  local lines="$work/server-lines.txt" port_file="$work/server-port"
  start_background "$work/server.log" python3 "$HERE/../support/line_server.py" "$port_file" "$lines"
  if ! wait_until 10 test -s "$port_file"; then
    fail attendance "the loopback server did not start: $(cat "$work/server.log")"
    return
  fi
  local started=$SECONDS
  run_snimac "$work/snimac-net.log" SNIMAC_FTDI=sim SNIMAC_SIM_CARD_INTERVAL_MS=1500 \
    "SNIMAC_SERVER=127.0.0.1:$(cat "$port_file")" -- -net -db "$work/att/vestibar.db"
  server_got_read() {
    [ -f "$lines" ] && grep -Eq "^L [0-9]{2}/[0-9]{2}/[0-9]{4}-[0-9]{2}:[0-9]{2} $CARDS\$" "$lines"
  }
  local got=1
  wait_until 20 server_got_read || got=0
  stop_snimac
  if [ "$got" = 0 ]; then
    fail attendance "no line 'L dd/mm/yyyy-hh:nn <card>' reached the server within 20 s (it got: '$(tr '\n' '|' <"$lines" 2>/dev/null)')"
  elif [ "$snimac_status" != 0 ]; then
    fail attendance "snimac did not end with exit code 0 on SIGTERM (status: '${snimac_status:-still running}')"
  else
    echo "   the server had after $((SECONDS - started)) s: $(head -1 "$lines")"
    pass attendance
  fi
}

# --- a reader on a pseudo-terminal ----------------------------------------------

# The link messages of a link log, without their time stamps, in order.
link_messages() { sed -E 's/^[0-9/]+ [0-9:]+ //' "$1" | tr -d '\r'; }

# One program against snimac-sim-reader on a pty through SNIMAC_DEVICES:
# PROGRAM LOGDIR; the link log is LOGDIR/grab-A1B2.log once the link is up.
run_on_pty_reader() {
  local program=$1 logdir=$2
  local ptyfile="$logdir.pty"
  start_background "$ptyfile" "$BUILD_DIR/tools/snimac-sim-reader"
  local reader=$last_pid
  wait_until 10 grep -q '^/dev/' "$ptyfile" || return 1
  local pty
  pty=$(grep -m1 '^/dev/' "$ptyfile")
  start_background "$logdir.out" env SNIMAC_FTDI= "SNIMAC_DEVICES=$pty|Reader|A1B2" "$program" -log -logdir "$logdir"
  local pid=$last_pid
  linked() { grep -q 'Address set to 01' "$logdir/grab-A1B2.log" 2>/dev/null; }
  local ok=0
  wait_until 20 linked && sleep 2 && ok=1
  # The program first: a reader that goes away while the program still polls it
  # is logged as a lost reader, which is not what is compared here.
  kill -TERM "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  local status=$?
  kill -TERM "$reader" 2>/dev/null
  wait "$reader" 2>/dev/null
  [ "$ok" = 1 ] && [ "$status" = 0 ]
}

scenario_pty_reader() {
  if ! run_on_pty_reader "$snimac" "$work/pty-desktop"; then
    fail pty_reader "the desktop program did not take up the reader on the pty, or did not end with 0 (link log: '$(link_messages "$work/pty-desktop/grab-A1B2.log" 2>/dev/null | tr '\n' '|')')"
    return
  fi
  if ! run_on_pty_reader "$BUILD_DIR/platform/headless/snimac-headless" "$work/pty-headless"; then
    fail pty_reader "the console host did not take up the reader on the pty"
    return
  fi
  # The same link set-up: the same messages in the same order.
  if [ "$(link_messages "$work/pty-desktop/grab-A1B2.log")" != "$(link_messages "$work/pty-headless/grab-A1B2.log")" ]; then
    fail pty_reader "the link logs differ: desktop '$(link_messages "$work/pty-desktop/grab-A1B2.log" | tr '\n' '|')', console '$(link_messages "$work/pty-headless/grab-A1B2.log" | tr '\n' '|')'"
    return
  fi
  echo "   both link logs: $(link_messages "$work/pty-desktop/grab-A1B2.log" | tr '\n' '|')"
  pass pty_reader
}

# --- upgrade -----------------------------------------------------------------

resets_in() { grep -c 'Slave acknowledged reset$' "$1" 2>/dev/null; }

# A visible window "Upgrade" other than the ones given: the question, the
# upgrade window and the closing box come one after the other.
find_upgrade_window_other_than() {
  local w known
  found=""
  for w in $(visible_windows_named Upgrade); do
    for known in "$@"; do [ "$w" = "$known" ] && continue 2; done
    found=$w
    return 0
  done
  return 1
}

# answer_box WINDOW: Enter on the box's default button, with the keyboard focus
# put on the box first (a key sent to a window that has not the focus can be
# left pressed).
answer_box() { xdotool windowfocus --sync "$1" key Return; }

scenario_upgrade() {
  local logdir="$work/logs" log question window box
  mkdir -p "$logdir"
  log="$logdir/grab-SIM00001.log"
  local started=$SECONDS
  run_snimac "$work/snimac-upgrade.log" SNIMAC_FTDI=sim SNIMAC_SIM_FAMILY="${SNIMAC_DESKTOP_E2E_FAMILY:-avr}" \
    "SNIMAC_SIM_VERSION=MXT_A FW v3.9 Jan  1 2010" SNIMAC_SIM_WRITE_MS=1 SNIMAC_SIM_CARD_INTERVAL_MS=0 -- \
    -log -logdir "$logdir/"
  if ! wait_until 60 find_upgrade_window_other_than; then
    fail upgrade "the question (caption \"Upgrade\") did not appear within 60 s"
    stop_snimac
    return
  fi
  question=$found
  echo "   the question came after $((SECONDS - started)) s"
  shot "$question" "$screenshots/upgrade-question.png"
  # Counted before the upgrade: the reader may restart on its new firmware
  # while the closing box comes up, before the box is answered.
  local resets
  resets=$(resets_in "$log")
  answer_box "$question"
  started=$SECONDS
  if ! wait_until 10 not_viewable "$question"; then
    fail upgrade "the question stayed open after Enter"
    stop_snimac
    return
  fi
  if ! wait_until 15 find_upgrade_window_other_than "$question"; then
    fail upgrade "no upgrade window within 15 s of the consent"
    stop_snimac
    return
  fi
  window=$found
  # The progress bar moves: the window looks different a little later.
  shot "$window" "$screenshots/upgrade-progress-1.png"
  local first
  first=$(md5sum <"$screenshots/upgrade-progress-1.png")
  progress_moved() {
    sleep 5
    shot "$window" "$screenshots/upgrade-progress-2.png" &&
      [ "$(md5sum <"$screenshots/upgrade-progress-2.png")" != "$first" ]
  }
  local moved=1
  wait_until 30 progress_moved || moved=0
  local upgrade_timeout=${SNIMAC_DESKTOP_E2E_UPGRADE_TIMEOUT:-300}
  if ! wait_until "$upgrade_timeout" find_upgrade_window_other_than "$question" "$window"; then
    fail upgrade "no box after the upgrade within $upgrade_timeout s"
    stop_snimac
    return
  fi
  box=$found
  echo "   the upgrade took $((SECONDS - started)) s"
  shot "$box" "$screenshots/upgrade-done.png"
  answer_box "$box"
  # The link starts again on the new firmware: its version is read again,
  # and v4.0 asks no further question.
  link_again() { [ "$(resets_in "$log")" -gt "$resets" ]; }
  if [ "$moved" = 0 ]; then
    fail upgrade "the upgrade window did not change within 30 s (its progress bar stood still)"
  elif ! wait_until 10 not_viewable "$box"; then
    fail upgrade "the closing box stayed open after Enter"
  elif ! wait_until 20 link_again; then
    fail upgrade "the link did not start again after the upgrade (link log: $(tail -3 "$log" | tr '\n' '|'))"
  elif sleep 3 && find_upgrade_window_other_than "$window"; then
    fail upgrade "a window \"Upgrade\" came again after the upgrade"
  elif stop_snimac; [ "$snimac_status" != 0 ]; then
    fail upgrade "after the upgrade snimac did not end with exit code 0 on SIGTERM (status: '${snimac_status:-still running}')"
  else
    pass upgrade
  fi
  if [ -z "$snimac_status" ]; then stop_snimac; fi
}

scenario_grab
scenario_attendance
scenario_pty_reader
if [ "${SNIMAC_DESKTOP_E2E_SKIP_UPGRADE:-0}" = 1 ]; then
  echo "(upgrade left out: SNIMAC_DESKTOP_E2E_SKIP_UPGRADE=1)"
else
  scenario_upgrade
fi

report_results
