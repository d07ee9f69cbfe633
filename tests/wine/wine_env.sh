# Shared by the Wine test scripts (sourced): a private X server and a fresh
# Wine prefix under a work folder.
#   wine_arch_of ARCH          prints the WINEARCH of i686 / x86_64
#   start_private_xvfb WORK    when there is no DISPLAY (or always, with
#                              "always" as second argument): Xvfb on a free
#                              display, sets DISPLAY and xvfb_pid
#   make_wine_prefix WORK      a fresh prefix WORK/prefix (WINEARCH set by the
#                              caller), exports WINEPREFIX and the quiet
#                              Wine settings
#   stop_wine_env              wineserver -k, Xvfb ended

xvfb_pid=""

wine_arch_of() {
  case "$1" in
    i686) echo win32 ;;
    x86_64) echo win64 ;;
    *) return 1 ;;
  esac
}

start_private_xvfb() {
  local work=$1 when=${2:-}
  [ -n "${DISPLAY:-}" ] && [ "$when" != always ] && return 0
  local display=99
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && return 0
    sleep 0.1
  done
  echo "Xvfb :$display did not start" >&2
  return 1
}

make_wine_prefix() {
  local work=$1
  export WINEPREFIX="$work/prefix" WINEARCH WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  if ! wineboot --init >"$work/wineboot.log" 2>&1; then
    cat "$work/wineboot.log" >&2
    echo "wineboot failed" >&2
    return 1
  fi
}

stop_wine_env() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  fi
  return 0
}
