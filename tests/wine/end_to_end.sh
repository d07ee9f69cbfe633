#!/usr/bin/env bash
# End-to-end test of the Windows program under Wine, on the stand-in
# FTD2XX.DLL over the simulated readers.
#   tests/wine/end_to_end.sh BUILD_DIR ARCH      (ARCH: i686 or x86_64)
# Needs BUILD_DIR/platform/win32/snimac.exe, its sim_ftd2xx/FTD2XX.DLL,
# BUILD_DIR/tests/typing_target.exe and BUILD_DIR/tests/box_reader.exe. Runs in a fresh Wine prefix on a private
# Xvfb with trayer as the notification area, prints "PASS name" or
# "FAIL name: reason" for each scenario and ends with "N passed, M failed".
# SNIMAC_E2E_SKIP_UPGRADE=1 leaves out the upgrade scenario (the slowest).
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR i686|x86_64" >&2
  exit 2
fi
BUILD_DIR=$(cd "$1" && pwd) || exit 2
ARCH=$2
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/wine/wine_env.sh
. "$HERE/wine_env.sh"
WINEARCH=$(wine_arch_of "$ARCH") || { echo "$0: unknown architecture '$ARCH' (i686 or x86_64)" >&2; exit 2; }

# Demonstration card numbers of the simulated readers, as they are typed.
CARDS='(04a1b2c3|2143baf0|04112233445566)'

work=$(mktemp -d /tmp/snimac-e2e.XXXXXX)
app="$work/app"
cleanup() {
  stop_wine_env
  stop_background_helpers
  rm -rf "$work"
}
trap cleanup EXIT

# Ends every program of the prefix, so that the next scenario starts clean.
end_wine_programs() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
}

# --- set-up -----------------------------------------------------------------

for needed in "$BUILD_DIR/platform/win32/snimac.exe" "$BUILD_DIR/platform/win32/sim_ftd2xx/FTD2XX.DLL" \
  "$BUILD_DIR/tests/typing_target.exe" "$BUILD_DIR/tests/box_reader.exe"; do
  [ -f "$needed" ] || { echo "$0: $needed is missing (was the build made?)" >&2; exit 2; }
done
mkdir -p "$app"
cp "$BUILD_DIR/platform/win32/snimac.exe" "$BUILD_DIR/platform/win32/sim_ftd2xx/FTD2XX.DLL" \
  "$BUILD_DIR/tests/typing_target.exe" "$BUILD_DIR/tests/box_reader.exe" "$app/"
# The program's settings come from each scenario alone.
unset SNIMAC_FTDI SNIMAC_DEVICES SNIMAC_SERIAL_PORT SNIMAC_SERVER

start_private_xvfb "$work" always || exit 1
echo "== Windows ($ARCH): a fresh Wine prefix ($WINEARCH) on $DISPLAY"
make_wine_prefix "$work" || exit 1
# Without a window manager, Wine must take the X focus as the foreground
# window itself (it waits for WM_TAKE_FOCUS otherwise).
wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseTakeFocus /t REG_SZ /d N /f >/dev/null 2>&1
end_wine_programs

# The notification area: trayer; its window "panel" holds the icons.
start_trayer "$work/trayer.log" --widthtype pixel --width 120 --height 32

# Icon windows embedded in trayer: Wine's are explorer.exe's (it runs the
# notification area for every program of the prefix).
embedded_icons() {
  [ -n "$trayer_window" ] && xwininfo -tree -id "$trayer_window" 2>/dev/null | grep -c '("explorer.exe"'
}
icons_before=0

# run_snimac LOG [VAR=VALUE...] -- [ARGS...]: snimac.exe in the background
# ($snimac_exe when set, else the one beside the stand-in DLL).
run_snimac() {
  local log=$1
  shift
  local settings=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do settings+=("$1"); shift; done
  shift
  start_background "$log" env "${settings[@]}" wine "${snimac_exe:-$app/snimac.exe}" "$@"
}

# --- 1. tray and typing -----------------------------------------------------

scenario_typing() {
  local typed="$work/typed.txt"
  start_background "$work/target.log" wine "$app/typing_target.exe" "$(winpath "$typed")"
  local target=""
  find_target() { target=$(visible_windows_named 'snimac typing target' | head -1); [ -n "$target" ]; }
  if ! wait_until 20 find_target; then
    fail typing "the typing target's window did not appear"
    return
  fi
  xdotool windowfocus --sync "$target" 2>/dev/null
  icons_before=$(embedded_icons)
  local started=$SECONDS
  run_snimac "$work/snimac-typing.log" SNIMAC_SIM_CARD_INTERVAL_MS=1500 --
  more_icons() { [ "$(embedded_icons)" -gt "${icons_before:-0}" ]; }
  local icon_embedded=0
  [ -n "$trayer_window" ] && wait_until 10 more_icons && icon_embedded=1
  # Once trayer embeds the icon, Wine makes its icon window (explorer.exe's)
  # the foreground window, while the X focus stays on the target; without a
  # window manager nothing gives it back, and SendInput goes to Wine's
  # foreground window, so the keystrokes would be lost. A user would click
  # into the target; here the X focus goes to the root window and back, which
  # Wine takes as the target's activation (focusing the target alone does
  # nothing: it already has the X focus).
  sleep 1
  xdotool windowfocus --sync "$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')" 2>/dev/null
  xdotool windowfocus --sync "$target" 2>/dev/null
  typed_card() { [ -f "$typed" ] && tr -d '\r' <"$typed" | grep -Eq "^$CARDS\$"; }
  # The Enter follows the number after a short pause, so the box may be saved
  # in between: the number alone is not yet a failure.
  typed_line() { [ -f "$typed" ] && grep -Eq "^$CARDS"$'\r'"\$" "$typed"; }
  if ! wait_until 30 typed_card; then
    fail typing "no card number and Enter typed into the target within 30 s (it holds: '$(tr '\r\n' '|' <"$typed" 2>/dev/null)')"
  elif ! wait_until 5 typed_line; then
    fail typing "the card number was typed without the Enter (the target holds: '$(tr '\r\n' '|' <"$typed")')"
  else
    echo "   typed after $((SECONDS - started)) s: $(tr -d '\r' <"$typed" | head -1)"
    pass typing
  fi
  if [ -z "$trayer_window" ]; then
    fail tray_icon "no trayer window"
  elif [ "$icon_embedded" = 1 ]; then
    pass tray_icon
  else
    fail tray_icon "no icon window was embedded in trayer's panel after snimac.exe started"
  fi
  end_wine_programs
}

# --- 2. attendance ------------------------------------------------------------

scenario_attendance() {
  local lines="$work/server-lines.txt" port_file="$work/server-port"
  start_background "$work/server.log" python3 "$HERE/../support/line_server.py" "$port_file" "$lines"
  local server_pid=$last_pid
  if ! wait_until 10 test -s "$port_file"; then
    fail attendance_server "the loopback server did not start: $(cat "$work/server.log")"
    return
  fi
  local started=$SECONDS
  run_snimac "$work/snimac-net.log" SNIMAC_SIM_CARD_INTERVAL_MS=1500 "SNIMAC_SERVER=127.0.0.1:$(cat "$port_file")" -- \
    -net -db "$(winpath "$work/att.db")"
  server_got_read() {
    [ -f "$lines" ] && grep -Eq "^L [0-9]{2}/[0-9]{2}/[0-9]{4}-[0-9]{2}:[0-9]{2} $CARDS\$" "$lines"
  }
  # Reads are offered every 5 s; a slow first start of the program under
  # Wine (its first connect can fail) must not count as a lost read.
  if wait_until 45 server_got_read; then
    echo "   the server had after $((SECONDS - started)) s: $(head -1 "$lines")"
    pass attendance_server
  else
    fail attendance_server "no line 'L dd/mm/yyyy-hh:nn <card>' reached the server within 45 s (it got: '$(tr '\n' '|' <"$lines" 2>/dev/null)')"
  fi
  end_wine_programs
  kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null

  # A port where nobody listens: the reads go to the attendance file.
  local closed_port
  closed_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  # The file and the link log in folders with Czech letters, made by the program.
  local czech="$work/Docházka čtečky"
  local db="$czech/att-down.db" logdir="$czech/Záznamy"
  started=$SECONDS
  run_snimac "$work/snimac-net-down.log" SNIMAC_SIM_CARD_INTERVAL_MS=1500 "SNIMAC_SERVER=127.0.0.1:$closed_port" -- \
    -net -db "$(winpath "$db")" -log -logdir "$(winpath "$logdir")"
  file_got_read() { [ -f "$db" ] && tr -d '\r' <"$db" | grep -Eq " $CARDS\$"; }
  link_logged() { compgen -G "$logdir/grab-*.log" >/dev/null && [ -n "$(cat "$logdir"/grab-*.log)" ]; }
  if ! wait_until 30 file_got_read; then
    fail attendance_file "with the server down no read reached the attendance file '$db' within 30 s"
  elif ! link_logged; then
    fail attendance_file "no link log in '$logdir' (it holds: $(ls "$logdir" 2>&1 | tr '\n' ' '))"
  else
    echo "   the attendance file had after $((SECONDS - started)) s: $(tr -d '\r' <"$db" | head -1)"
    pass attendance_file
  fi
  end_wine_programs
}

# --- 3. start-up faults ----------------------------------------------------------

# startup_fault NAME EXPECTED [VAR=VALUE...] -- [ARGS...]: snimac.exe must show
# exactly EXPECTED in its "Chyba" box, and end with exit code 0 after OK.
startup_fault() {
  local name=$1 expected=$2
  shift 2
  local started=$SECONDS
  run_snimac "$work/snimac-$name.log" "$@"
  local snimac_pid=$last_pid
  local text status
  text=$(wine "$app/box_reader.exe" Chyba 30 2>>"$work/box_reader.log" | tr -d '\r')
  status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] && echo "   the box after $((SECONDS - started)) s: $text"
  ended() { ! kill -0 "$snimac_pid" 2>/dev/null; }
  if [ "$status" -ne 0 ]; then
    fail "$name" "no box \"Chyba\" within 30 s (box_reader.exe: $status)"
  elif [ "$text" != "$expected" ]; then
    fail "$name" "the box says '$text', not '$expected'"
  elif ! wait_until 10 ended; then
    fail "$name" "snimac.exe still runs 10 s after OK"
  else
    wait "$snimac_pid"
    status=$?
    if [ "$status" -ne 0 ]; then
      fail "$name" "snimac.exe ended with exit code $status after OK"
    else
      pass "$name"
    fi
  fi
  end_wine_programs
}

scenario_startup_faults() {
  # Beside no FTD2XX.DLL, the vendor library is what the program looks for;
  # the reason is Wine's text for ERROR_MOD_NOT_FOUND (in English with
  # LC_ALL=C.UTF-8).
  mkdir -p "$work/alone"
  cp "$app/snimac.exe" "$work/alone/"
  snimac_exe="$work/alone/snimac.exe" startup_fault no_ftd2xx_dll "Knihovnu FTD2XX.DLL nelze načíst: Module not found." \
    LC_ALL=C.UTF-8 --
  # A listed COM port that does not exist.
  startup_fault missing_com_port "Nepodařilo se otevřít snímač 'X7'" "SNIMAC_DEVICES=COM7|Reader|X7" --
  # The default attendance file on drive D:, which this prefix has not.
  rm -f "$WINEPREFIX/dosdevices/d:" "$WINEPREFIX/dosdevices/d::"
  startup_fault no_drive_d "Nepodařilo se vytvořit adresář 'd:\vestibar'" SNIMAC_FTDI=sim -- -net
  # Serial output without com0com's port.
  startup_fault no_com0com "Nepodařilo se otevřít port CNCB0, zkontrolujte instalaci com0com" SNIMAC_FTDI=sim -- \
    -ser Notepad
  startup_fault bad_argument "Neplatný argument 'bogus'" SNIMAC_FTDI=sim -- bogus
}

# --- 4. upgrade -----------------------------------------------------------------

# Visible windows captioned "Upgrade" other than the upgrade window itself
# (413 pixels wide at 96 dpi, the boxes are narrower): the message boxes.
upgrade_box() {
  local w width
  for w in $(visible_windows_named Upgrade); do
    width=$(xwininfo -id "$w" 2>/dev/null | sed -n 's/^ *Width: //p')
    [ "$width" != 413 ] && { echo "$w"; return 0; }
  done
  return 1
}
resets_in() { tr -d '\r' <"$1" 2>/dev/null | grep -c 'Slave acknowledged reset$'; }

# The built-in simulated bus (SNIMAC_FTDI=sim), not the stand-in DLL: over a
# reader the program takes for real, a build with test images never offers
# the upgrade.
scenario_upgrade() {
  local logdir="$work/logs" log box
  mkdir -p "$logdir"
  log="$logdir/grab-SIM00001.log"
  local started=$SECONDS
  run_snimac "$work/snimac-upgrade.log" SNIMAC_FTDI=sim SNIMAC_SIM_FAMILY=avr "SNIMAC_SIM_VERSION=MXT_A FW v3.9 Jan  1 2010" \
    SNIMAC_SIM_WRITE_MS=1 SNIMAC_SIM_CARD_INTERVAL_MS=0 -- -log -logdir "$(winpath "$logdir")\\"
  find_box() { box=$(upgrade_box); }
  if ! wait_until 60 find_box; then
    fail upgrade "the question (caption \"Upgrade\") did not appear within 60 s"
    end_wine_programs
    return
  fi
  echo "   the question came after $((SECONDS - started)) s"
  # Counted before the upgrade: the reader may restart on its new firmware
  # while the closing box comes up, before the box is answered.
  local resets
  resets=$(resets_in "$log")
  xdotool windowfocus --sync "$box" key Return
  started=$SECONDS
  gone() { ! xwininfo -id "$box" 2>/dev/null | grep -q IsViewable; }
  wait_until 10 gone
  local upgrade_timeout=${SNIMAC_E2E_UPGRADE_TIMEOUT:-300}
  if ! wait_until "$upgrade_timeout" find_box; then
    fail upgrade "no box after the upgrade within $upgrade_timeout s"
    end_wine_programs
    return
  fi
  echo "   the upgrade took $((SECONDS - started)) s"
  xdotool windowfocus --sync "$box" key Return
  # The link starts again on the new firmware: its version is read again,
  # and v4.0 asks no further question.
  link_again() { [ "$(resets_in "$log")" -gt "$resets" ]; }
  if ! wait_until 20 link_again; then
    fail upgrade "the link did not start again after the upgrade (link log: $(tr -d '\r' <"$log" | tail -3 | tr '\n' '|'))"
  elif sleep 3 && upgrade_box >/dev/null; then
    fail upgrade "a box \"Upgrade\" came again after the upgrade"
  else
    pass upgrade
  fi
  end_wine_programs
}

scenario_typing
scenario_attendance
scenario_startup_faults
if [ "${SNIMAC_E2E_SKIP_UPGRADE:-0}" = 1 ]; then
  echo "(upgrade left out: SNIMAC_E2E_SKIP_UPGRADE=1)"
else
  scenario_upgrade
fi

report_results
