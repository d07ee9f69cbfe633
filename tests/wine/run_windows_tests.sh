#!/usr/bin/env bash
# Runs the Windows test programs of a MinGW build under Wine.
#   tests/wine/run_windows_tests.sh BUILD_DIR ARCH      (ARCH: i686 or x86_64)
# First checks that every .exe and .DLL of the build's platform/win32 and
# tests folders imports only Windows' own DLLs (they are linked statically:
# no MinGW runtime DLL may be needed), then runs snimac_link_tests.exe and
# snimac_tests.exe in a fresh Wine prefix (under Xvfb when there is no
# DISPLAY), prints each program's GoogleTest summary and ends with
# "N passed, M failed" over both. Exits non-zero when a test failed, a
# program did not finish, an import is not Windows' own, or no test ran
# (a Wine without 32-bit support runs nothing and still exits 0).
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR i686|x86_64" >&2
  exit 2
fi
BUILD_DIR=$(cd "$1" && pwd) || exit 2
ARCH=$2
case "$ARCH" in
  i686) WINEARCH=win32 ;;
  x86_64) WINEARCH=win64 ;;
  *) echo "$0: unknown architecture '$ARCH' (i686 or x86_64)" >&2; exit 2 ;;
esac
HERE=$(cd "$(dirname "$0")" && pwd)
TEST_TIMEOUT=${SNIMAC_WINE_TEST_TIMEOUT:-1800}  # seconds for one test program

# shellcheck source=tests/wine/windows_imports.sh
. "$HERE/windows_imports.sh"

problems=0
echo "== Windows ($ARCH): imports of the programs and DLLs in $BUILD_DIR"
mapfile -t binaries < <(find "$BUILD_DIR/platform/win32" "$BUILD_DIR/tests" -type f \
  \( -iname '*.exe' -o -iname '*.dll' \) 2>/dev/null | sort)
for binary in "${binaries[@]}"; do
  check_windows_imports "$ARCH" "$binary" || problems=$((problems + 1))
done
sim_dll="$BUILD_DIR/platform/win32/sim_ftd2xx/FTD2XX.DLL"
if [ -f "$sim_dll" ]; then
  check_ftd2xx_exports "$ARCH" "$sim_dll" || problems=$((problems + 1))
fi

work=$(mktemp -d /tmp/snimac-wine.XXXXXX)
# shellcheck source=tests/wine/wine_env.sh
. "$HERE/wine_env.sh"
cleanup() {
  stop_wine_env
  rm -rf "$work"
}
trap cleanup EXIT

# Some tests open windows: without a display, a private X server.
start_private_xvfb "$work"

echo "== Windows ($ARCH): a fresh Wine prefix ($WINEARCH)"
make_wine_prefix "$work"

# One GoogleTest program: prints its failures and summary, adds its counts.
passed=0
failed=0
skipped=0
run_test_program() {
  local exe=$1 name log status
  name=$(basename "$exe")
  log="$work/$name.log"
  echo "== Windows ($ARCH): $name"
  if [ ! -f "$exe" ]; then
    echo "$name: missing (was the build made?)"
    failed=$((failed + 1))
    return
  fi
  # The program runs from its own folder, as the tests expect.
  (cd "$(dirname "$exe")" && timeout --kill-after=30 "$TEST_TIMEOUT" wine "$exe" --gtest_brief=1 --gtest_color=no) \
    >"$log" 2>&1
  status=$?
  tr -d '\r' <"$log" >"$log.txt"
  cat "$log.txt"
  # The summary: "[==========] N tests from M test suites ran.", then
  # "[  PASSED  ] N tests." and, when there are any, "[  SKIPPED ] N tests"
  # (the brief output lists failures one by one, without their count).
  local ran ok bad skip
  ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$log.txt" | tail -1)
  ok=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log.txt" | tail -1)
  skip=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}.*/\1/p' "$log.txt" | tail -1)
  if [ -z "$ran" ] || [ -z "$ok" ]; then
    echo "$name: no GoogleTest summary (exit status $status): the program did not run or did not finish"
    failed=$((failed + 1))
    return
  fi
  bad=$((ran - ok - ${skip:-0}))
  echo "$name: $ok passed, $bad failed, ${skip:-0} skipped"
  passed=$((passed + ok))
  failed=$((failed + bad))
  skipped=$((skipped + ${skip:-0}))
  if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
    echo "$name: exit status $status although no test failed"
    failed=$((failed + 1))
  fi
}

run_test_program "$BUILD_DIR/tests/snimac_link_tests.exe"
run_test_program "$BUILD_DIR/tests/snimac_tests.exe"

if [ "$problems" -gt 0 ]; then
  echo "Windows ($ARCH): $problems binaries with imports or exports that are not as they must be"
fi
summary="$passed passed, $failed failed"
[ "$skipped" -gt 0 ] && summary="$summary, $skipped skipped"
echo "$summary"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ] && [ "$problems" -eq 0 ]
