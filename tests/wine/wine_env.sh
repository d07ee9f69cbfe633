# Shared by the Wine test scripts (sourced): a fresh Wine prefix under a work
# folder, beside what every end-to-end script shares (the private X server,
# the scenario tally: tests/support/e2e_common.sh).
#   wine_arch_of ARCH          prints the WINEARCH of i686 / x86_64
#   make_wine_prefix WORK      a fresh prefix WORK/prefix (WINEARCH set by the
#                              caller), exports WINEPREFIX and the quiet
#                              Wine settings
#   stop_wine_env              wineserver -k, Xvfb ended
#   winpath PATH               the Windows name of a path under / (drive Z:)
# shellcheck source=tests/support/e2e_common.sh
. "$(dirname "${BASH_SOURCE[0]}")/../support/e2e_common.sh"

wine_arch_of() {
  case "$1" in
    i686) echo win32 ;;
    x86_64) echo win64 ;;
    *) return 1 ;;
  esac
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
  stop_private_xvfb
}

winpath() { printf 'Z:%s' "${1//\//\\}"; }
