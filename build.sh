#!/usr/bin/env bash
# One entry point for newcomers and CI.
#   ./build.sh demo   install what is needed, build, run the desktop program (snimac; with a
#                     display) or the console host (snimac-headless) on the simulated reader
#   ./build.sh test   install what is needed, build (warnings are errors), run every test,
#                     cross-compile the core and its tests for Windows (i686,
#                     x86_64) after <windows.h> and run its tests under Wine,
#                     then run every test again under
#                     ThreadSanitizer and under AddressSanitizer + UBSan
#   ./build.sh build  just build (build/)
#   ./build.sh package  the Debian package snimac_<version>_<arch>.deb (Release, in
#                     build-package/package/); prints its path
#   ./build.sh windows  the Windows programs and tests (build-win32, build-win64),
#                     the installer build-win32/snimac-setup-<version>.exe,
#                     the tests run under Wine
#   ./build.sh fuzz [seconds]  build the libFuzzer targets with clang (build-fuzz/) and
#                     run each for that many seconds (default 30)
set -euo pipefail
cd "$(dirname "$0")"

JOBS=${JOBS:-$(nproc)}
PACKAGES=(cmake g++ make pkg-config libgtest-dev googletest libudev-dev libx11-dev libxtst-dev xvfb x11-xkb-utils
  xkb-data g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 wine32:i386 xdotool x11-utils trayer
  qt6-base-dev qt6-wayland imagemagick xterm clang libclang-rt-14-dev)
# The Windows installer (packaging/windows).
PACKAGES+=(nsis)
# The Debian package: icons rendered from SVG, its checks (lintian, entries, unit).
PACKAGES+=(librsvg2-bin dpkg-dev lintian desktop-file-utils systemd man-db)

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "== Installing ${missing[*]}"
  # Wine's 32-bit half (wine32:i386) comes from the i386 architecture.
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# build DIR [cmake options...] [--target NAME]
build() {
  local dir=$1
  shift
  local target=()
  if [ "${1:-}" = "--target" ]; then
    target=(--target "$2")
    shift 2
  fi
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Debug}" "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS" "${target[@]}"
}

run_tests() {
  local dir=$1
  shift
  (cd "$dir" && ctest --output-on-failure -j "$JOBS" "$@")
}

# The Debian package, built in Release without the tests; prints its path.
# Warnings are not errors here: GCC 12 at -O3 warns falsely in the standard
# library's string code (-Wrestrict), and the Debug build has checked them.
package_build() {
  # Debian's hardening: fortified libc calls, stack protector, read-only relocations.
  local flags=(env DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get)
  BUILD_TYPE=Release build build-package -DSNIMAC_TESTS=OFF -DSNIMAC_WERROR=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$("${flags[@]}" CPPFLAGS) $("${flags[@]}" CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$("${flags[@]}" LDFLAGS)"
  rm -f build-package/package/snimac_*.deb
  (cd build-package && cpack -G DEB >/dev/null)
  ls build-package/package/snimac_*.deb
}

# The Windows programs and tests, cross-built with MinGW-w64 for both
# architectures (build-win32: i686, build-win64: x86_64), statically linked,
# warnings as errors, and the core checked to compile after <windows.h>.
windows_build() {
  build build --target snimac_make_firmware_images  # the images are generated on this machine
  local arch dir
  for arch in i686 x86_64; do
    dir=build-win32
    [ "$arch" = x86_64 ] && dir=build-win64
    echo "== Windows ($arch): the program, the core and its tests ($dir)"
    BUILD_TYPE=Release build "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DSNIMAC_WERROR=ON \
      -DSNIMAC_WINDOWS_HEADER_CHECK=ON -DSNIMAC_HOST_FIRMWARE_GENERATOR="$PWD/build/resources/snimac_make_firmware_images"
  done
  echo "== Windows: the installer (both programs)"
  windows_installer=$(packaging/windows/make_installer.sh build-win32 build-win64 build-win32)
  echo "$windows_installer"
}

# The Windows tests of both builds under Wine, after a check that every
# program and DLL imports only Windows' own DLLs. Both run before a failure ends the script.
windows_tests() {
  local failed=0
  tests/wine/run_windows_tests.sh build-win64 x86_64 || failed=1
  tests/wine/run_windows_tests.sh build-win32 i686 || failed=1
  # The COM port driver against a pseudo-terminal linked into the prefix as COM5.
  echo "== Windows: the COM port driver against a pseudo-terminal"
  tests/wine/com_port_check.sh build-win64/tests/snimac_tests.exe || failed=1
  tests/wine/com_port_check.sh build-win32/tests/snimac_tests.exe || failed=1
  # The program itself: tray icon, typing, attendance, the upgrade.
  echo "== Windows: snimac.exe end to end under Wine"
  tests/wine/end_to_end.sh build-win64 x86_64 || failed=1
  tests/wine/end_to_end.sh build-win32 i686 || failed=1
  # The installer: silent install, logon, reinstall, uninstall (32- and 64-bit prefixes).
  echo "== Windows: the installer under Wine"
  tests/wine/installer_check.sh "$windows_installer" build-win32 build-win64 || failed=1
  return "$failed"
}

# The libFuzzer targets (fuzz/): the core built by clang with coverage, ASan
# and UBSan, and only what the targets need.
FUZZ_TARGETS=(frame_reader endpoint reader_messages options upgrade attendance)
fuzz_build() {
  CC=clang CXX=clang++ build build-fuzz --target snimac_fuzzers -DSNIMAC_FUZZ=ON -DSNIMAC_TESTS=OFF -DSNIMAC_WERROR=ON
}

# fuzz_run SECONDS: every target in turn, one line each. New inputs go to
# build-fuzz/corpus/<target> (kept between runs; the seeds in fuzz/corpus/ are
# only read), a crashing input to build-fuzz/findings/.
fuzz_run() {
  local seconds=$1 failed=0 t log runs
  mkdir -p build-fuzz/logs build-fuzz/findings
  for t in "${FUZZ_TARGETS[@]}"; do
    mkdir -p "build-fuzz/corpus/$t"
    log="build-fuzz/logs/$t.log"
    if build-fuzz/fuzz/snimac_fuzz_$t -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/findings/$t-" "build-fuzz/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
      echo "fuzz $t: ${runs:-?} executions in ${seconds} s, no finding"
    else
      failed=1
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
      echo "fuzz $t: FINDING after ${runs:-?} executions: $(grep -m1 -E 'SUMMARY|property broken|ERROR' "$log")"
      echo "    input: $(sed -n 's/.*Test unit written to //p' "$log" | head -1), log: $log"
    fi
  done
  return "$failed"
}

case "${1:-}" in
  demo)
    install_packages
    # The desktop program when there is a desktop to show it on, the
    # console host otherwise.
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      build build --target snimac
      echo "== snimac on the simulated reader: its icon is in the notification area (\"Obnovit\" shows the window)"
      SNIMAC_FTDI=sim exec build/platform/qt/snimac "${@:2}"
    fi
    build build --target snimac-headless
    echo "== snimac-headless on the simulated reader (Ctrl+C ends it)"
    SNIMAC_FTDI=sim exec build/platform/headless/snimac-headless "${@:2}"
    ;;
  test)
    install_packages
    echo "== Build (warnings are errors) and all tests"
    build build -DSNIMAC_WERROR=ON
    run_tests build
    # The whole program under random link, server and disk faults, on the virtual clock.
    echo "== A short fault campaign"
    build/tools/fault_campaign/snimac-fault-campaign --runs 8 --hours 0.5 --quiet
    # The desktop program on Xvfb with trayer: icon, menu, typing, window, attendance, upgrade.
    echo "== The desktop program end to end"
    tests/x11/desktop_end_to_end.sh build
    echo "== The Debian package: lintian, entries, unit, install and removal"
    package_build
    tests/package/check_package.sh build-package/package/snimac_*.deb
    windows_build
    windows_tests
    # Every test, not only the link's: start-up and the hosts run the link thread too.
    echo "== All tests under ThreadSanitizer"
    build build-tsan -DSNIMAC_WERROR=ON -DSNIMAC_SANITIZE=thread
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_tests build-tsan
    echo "== All tests under AddressSanitizer + UBSan"
    build build-asan -DSNIMAC_WERROR=ON -DSNIMAC_SANITIZE=address
    ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1" run_tests build-asan
    echo "== Fuzz targets, a few seconds each"
    fuzz_build
    fuzz_run 4
    ;;
  fuzz)
    install_packages
    fuzz_build
    fuzz_run "${2:-30}"
    ;;
  windows)
    install_packages
    windows_build
    windows_tests
    ;;
  build)
    install_packages
    build build
    ;;
  package)
    install_packages
    package_build
    ;;
  *)
    echo "usage: $0 demo|test|build|package|windows|fuzz [seconds]" >&2
    exit 2
    ;;
esac
