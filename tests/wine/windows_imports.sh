# Checks of what a MinGW-built Windows binary imports and exports, read with
# the cross objdump. Sourced by run_windows_tests.sh.

# DLLs that every Windows installation has (compared in lower case).
WINDOWS_SYSTEM_DLLS=(advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll dwmapi.dll gdi32.dll
  imm32.dll iphlpapi.dll kernel32.dll msvcrt.dll mswsock.dll ntdll.dll ole32.dll oleaut32.dll rpcrt4.dll
  secur32.dll setupapi.dll shell32.dll shlwapi.dll ucrtbase.dll user32.dll uxtheme.dll version.dll winmm.dll
  ws2_32.dll)

is_windows_system_dll() {
  local lower known
  lower=$(echo "$1" | tr '[:upper:]' '[:lower:]')
  case "$lower" in api-ms-win-*) return 0 ;; esac
  for known in "${WINDOWS_SYSTEM_DLLS[@]}"; do
    [ "$lower" = "$known" ] && return 0
  done
  return 1
}

# The ten D2XX calls the program takes from FTD2XX.DLL.
FTD2XX_EXPORTS="FT_Close FT_ListDevices FT_OpenEx FT_Read FT_SetBaudRate FT_SetDataCharacteristics FT_SetFlowControl FT_SetLatencyTimer FT_SetTimeouts FT_Write"

# check_windows_imports ARCH FILE: each imported DLL must be Windows' own.
check_windows_imports() {
  local arch=$1 file=$2 dll bad=0 names
  if ! names=$("$arch-w64-mingw32-objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r'); then
    echo "$file: objdump cannot read it"
    return 1
  fi
  for dll in $names; do
    if ! is_windows_system_dll "$dll"; then
      echo "$file imports $dll, which Windows does not have"
      bad=1
    fi
  done
  [ "$bad" -eq 0 ] && echo "ok: $(basename "$file") imports only Windows' own:" $names
  return "$bad"
}

# check_ftd2xx_exports ARCH FILE: the stand-in FTD2XX.DLL exports the ten
# calls by their plain names (no @N of 32-bit stdcall), and nothing else.
check_ftd2xx_exports() {
  local arch=$1 file=$2 exports
  exports=$("$arch-w64-mingw32-objdump" -p "$file" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | tr -d '\r' | sort | xargs)
  if [ "$exports" != "$FTD2XX_EXPORTS" ]; then
    echo "$file exports '$exports', expected '$FTD2XX_EXPORTS'"
    return 1
  fi
  echo "ok: $(basename "$file") exports $exports"
}
