#!/usr/bin/env bash
# The Windows installer under Wine, silent install and uninstall (/S).
#   tests/wine/installer_check.sh INSTALLER WIN32_BUILD [WIN64_BUILD]
# INSTALLER is snimac-setup-VERSION.exe (packaging/windows/make_installer.sh);
# WIN32_BUILD and WIN64_BUILD are the i686 and x86_64 build folders it was
# made from (their snimac.exe is compared with the installed one, their
# stand-in FTD2XX.DLL plays the converter driver's library). In a fresh
# 32-bit prefix (and, with WIN64_BUILD, a fresh 64-bit one): install, check
# the files, the Start menu entry, the Uninstall and Run entries; a logon
# (wineboot) starts the program; a reinstall with /NOAUTOSTART ends the
# running program and drops the Run entry; the installed program talks to the
# simulated reader through FTD2XX.DLL in the system folder; the uninstaller
# ends the running program and leaves nothing behind. Prints "PASS name" or
# "FAIL name: reason" and ends with "N passed, M failed".
set -uo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 INSTALLER WIN32_BUILD [WIN64_BUILD]" >&2
  exit 2
fi
INSTALLER=$(realpath "$1") || exit 2
WIN32_BUILD=$(cd "$2" && pwd) || exit 2
WIN64_BUILD=""
[ $# -eq 3 ] && { WIN64_BUILD=$(cd "$3" && pwd) || exit 2; }
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/wine/wine_env.sh
. "$HERE/wine_env.sh"

VERSION=$(basename "$INSTALLER" .exe)
VERSION=${VERSION#snimac-setup-}
PRODUCT_NAME="Snímač karet"
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\snimac'
RUN_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
INSTALL_DIR_WIN='C:\Program Files\snimac'
EXE_WIN="$INSTALL_DIR_WIN\\snimac.exe"

[ -f "$INSTALLER" ] || { echo "$0: $INSTALLER is missing" >&2; exit 2; }
for build in "$WIN32_BUILD" $WIN64_BUILD; do
  for needed in "$build/platform/win32/snimac.exe" "$build/platform/win32/sim_ftd2xx/FTD2XX.DLL"; do
    [ -f "$needed" ] || { echo "$0: $needed is missing (was the build made?)" >&2; exit 2; }
  done
done
# The program's settings are the installed defaults alone.
unset SNIMAC_FTDI SNIMAC_DEVICES SNIMAC_SERIAL_PORT SNIMAC_SERVER SNIMAC_SIM_CARD_INTERVAL_MS

work=$(mktemp -d /tmp/snimac-installer.XXXXXX)
cleanup() {
  stop_wine_env
  stop_background_helpers
  rm -rf "$work"
}
trap cleanup EXIT

# reg_key KEY [/reg:32|/reg:64]: the key as exported text (UTF-8), false when
# it does not exist.
reg_key() {
  local file="$work/export.reg"
  rm -f "$file"
  wine reg export "$1" "$(winpath "$file")" /y ${2:+"$2"} >/dev/null 2>&1 || return 1
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r'
}
# reg_value TEXT NAME: a string value of exported text, unescaped (dword:
# values as exported).
reg_value() {
  sed -n "s/^\"$2\"=//p" <<<"$1" | sed 's/^"\(.*\)"$/\1/; s/\\"/"/g; s/\\\\/\\/g'
}

# Processes of this prefix running the installed snimac.exe.
program_pids() {
  local pid
  for pid in $(pgrep -f 'snimac\.exe' 2>/dev/null); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/cmdline" | head -1 | grep -qixF "$EXE_WIN" && echo "$pid"
  done
}
program_runs() { [ -n "$(program_pids)" ]; }
program_gone() { [ -z "$(program_pids)" ]; }

# check_prefix ARCH BUILD: one fresh prefix, install to uninstall.
check_prefix() {
  local arch=$1 build=$2
  local view="" drive
  WINEARCH=$(wine_arch_of "$arch")
  [ "$arch" = x86_64 ] && view=/reg:64
  echo "== Windows ($arch): snimac-setup-$VERSION.exe in a fresh Wine prefix ($WINEARCH) on $DISPLAY"
  mkdir -p "$work/$arch"
  if ! make_wine_prefix "$work/$arch"; then
    fail "prefix_$arch" "wineboot --init failed"
    return
  fi
  drive=$WINEPREFIX/drive_c
  local install_dir="$drive/Program Files/snimac"
  local shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/$PRODUCT_NAME.lnk"

  # --- install ---
  local status
  timeout 300 wine "$INSTALLER" /S >"$work/$arch/install.log" 2>&1
  status=$?
  if [ "$status" -ne 0 ]; then
    fail "install_$arch" "the silent install ended with exit code $status"
    return
  fi
  pass "install_$arch"

  if ! cmp -s "$build/platform/win32/snimac.exe" "$install_dir/snimac.exe"; then
    fail "files_$arch" "'Program Files/snimac/snimac.exe' is missing or not the $arch build (the folder holds: $(ls "$install_dir" 2>&1 | tr '\n' ' '))"
  elif [ ! -f "$install_dir/uninstall.exe" ]; then
    fail "files_$arch" "no uninstall.exe beside snimac.exe"
  elif [ -e "$drive/Program Files (x86)/snimac" ]; then
    fail "files_$arch" "a folder snimac in 'Program Files (x86)' as well"
  else
    pass "files_$arch"
  fi

  if [ ! -f "$shortcut" ]; then
    fail "start_menu_$arch" "no '$PRODUCT_NAME.lnk' in the all-users Start menu"
  elif ! tr -d '\000' <"$shortcut" | grep -qaF "$EXE_WIN"; then
    fail "start_menu_$arch" "the Start menu entry does not lead to $EXE_WIN"
  else
    pass "start_menu_$arch"
  fi

  local entry problems=()
  if ! entry=$(reg_key "$UNINSTALL_KEY" $view); then
    fail "uninstall_entry_$arch" "no key $UNINSTALL_KEY${view:+ in the 64-bit view}"
  else
    expect_value() {
      local got
      got=$(reg_value "$entry" "$1")
      [ "$got" = "$2" ] || problems+=("$1 is '$got', not '$2'")
    }
    expect_value DisplayName "$PRODUCT_NAME"
    expect_value DisplayVersion "$VERSION"
    expect_value InstallLocation "$INSTALL_DIR_WIN"
    expect_value UninstallString "\"$INSTALL_DIR_WIN\\uninstall.exe\""
    expect_value QuietUninstallString "\"$INSTALL_DIR_WIN\\uninstall.exe\" /S"
    [ -n "$(reg_value "$entry" Publisher)" ] || problems+=("no Publisher")
    # Kilobytes, at least what snimac.exe takes.
    local size_kb
    size_kb=$(reg_value "$entry" EstimatedSize)
    size_kb=$((16#${size_kb#dword:}))
    [ "$((size_kb * 1024))" -ge "$(stat -c %s "$install_dir/snimac.exe" 2>/dev/null || echo 1)" ] ||
      problems+=("EstimatedSize $size_kb KB is less than snimac.exe")
    if [ -n "$view" ] && reg_key "$UNINSTALL_KEY" /reg:32 >/dev/null; then
      problems+=("the key is in the 32-bit view as well")
    fi
    if [ ${#problems[@]} -eq 0 ]; then
      pass "uninstall_entry_$arch"
    else
      fail "uninstall_entry_$arch" "$(IFS=';'; echo "${problems[*]}")"
    fi
  fi

  local run
  run=$(reg_key "$RUN_KEY" $view)
  if [ "$(reg_value "$run" snimac)" = "\"$EXE_WIN\"" ]; then
    pass "autostart_entry_$arch"
  else
    fail "autostart_entry_$arch" "the Run key's value snimac is '$(reg_value "$run" snimac)', not '\"$EXE_WIN\"'"
  fi

  # --- the program from its installed place ---
  # The stand-in FTD2XX.DLL where the converter's driver puts its own: the
  # system folder of the program's bitness.
  cp "$build/platform/win32/sim_ftd2xx/FTD2XX.DLL" "$drive/windows/system32/FTD2XX.DLL"

  # A logon (wineboot runs the Run keys) starts the program in the tray.
  if program_runs; then
    fail "autostart_starts_$arch" "snimac.exe ran before the logon"
  else
    wineboot >"$work/$arch/logon.log" 2>&1
    if ! wait_until 30 program_runs; then
      fail "autostart_starts_$arch" "no $EXE_WIN process within 30 s of the logon"
    elif sleep 5 && ! program_runs; then
      fail "autostart_starts_$arch" "snimac.exe ended within 5 s of the logon"
    elif [ -n "$(visible_windows_named Chyba)" ]; then
      fail "autostart_starts_$arch" "snimac.exe shows a box \"Chyba\""
    else
      pass "autostart_starts_$arch"
    fi
  fi

  # A reinstall without autostart, while the program runs: the installer
  # ends it, replaces it and drops the Run entry.
  timeout 300 wine "$INSTALLER" /S /NOAUTOSTART >"$work/$arch/reinstall.log" 2>&1
  status=$?
  if [ "$status" -ne 0 ]; then
    fail "reinstall_$arch" "the silent reinstall ended with exit code $status"
  elif ! program_gone; then
    fail "reinstall_$arch" "snimac.exe still runs after the reinstall"
  elif [ -n "$(reg_value "$(reg_key "$RUN_KEY" $view)" snimac)" ]; then
    fail "reinstall_$arch" "the Run entry is still there after /NOAUTOSTART"
  elif ! cmp -s "$build/platform/win32/snimac.exe" "$install_dir/snimac.exe" || ! reg_key "$UNINSTALL_KEY" $view >/dev/null; then
    fail "reinstall_$arch" "snimac.exe or the Uninstall entry is gone after the reinstall"
  else
    pass "reinstall_$arch"
  fi

  # Started from its installed place, the program finds FTD2XX.DLL in the
  # system folder and brings the link to the simulated reader up.
  local logdir="$work/$arch/logs"
  mkdir -p "$logdir"
  start_background "$work/$arch/snimac.log" wine "$EXE_WIN" -log -logdir "$(winpath "$logdir")\\"
  link_up() { tr -d '\r' 2>/dev/null <"$logdir/grab-SIM00001.log" | grep -q 'Slave acknowledged reset$'; }
  if ! wait_until 60 link_up; then
    fail "program_runs_$arch" "no link to the simulated reader within 60 s (logs: $(ls "$logdir" | tr '\n' ' '); box \"Chyba\": $(visible_windows_named Chyba | wc -l))"
  elif ! program_runs; then
    fail "program_runs_$arch" "the link came up, but not from $EXE_WIN"
  else
    pass "program_runs_$arch"
  fi

  # --- uninstall, with the program running ---
  # The uninstaller copies itself away and returns at once: its work is
  # done when the folder is gone.
  timeout 60 wine "$INSTALL_DIR_WIN\\uninstall.exe" /S >"$work/$arch/uninstall.log" 2>&1
  status=$?
  problems=()
  if [ "$status" -ne 0 ]; then
    fail "uninstall_$arch" "the silent uninstall ended with exit code $status"
    return
  fi
  wait_until 60 test ! -e "$install_dir" || problems+=("'Program Files/snimac' is still there ($(ls "$install_dir" | tr '\n' ' '))")
  wait_until 10 program_gone || problems+=("snimac.exe still runs")
  [ ! -e "$shortcut" ] || problems+=("the Start menu entry is still there")
  ! reg_key "$UNINSTALL_KEY" $view >/dev/null || problems+=("the Uninstall key is still there")
  [ -z "$(reg_value "$(reg_key "$RUN_KEY" $view)" snimac)" ] || problems+=("the Run entry is still there")
  if [ ${#problems[@]} -eq 0 ]; then
    pass "uninstall_$arch"
  else
    fail "uninstall_$arch" "$(IFS=';'; echo "${problems[*]}")"
  fi
  stop_background_helpers
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
}

start_private_xvfb "$work" always || exit 1
check_prefix i686 "$WIN32_BUILD"
[ -n "$WIN64_BUILD" ] && check_prefix x86_64 "$WIN64_BUILD"

report_results
