#!/usr/bin/env bash
# Builds the Windows installer snimac-setup-VERSION.exe from the two Windows
# builds (build.sh's windows_build makes them):
#   packaging/windows/make_installer.sh WIN32_BUILD WIN64_BUILD OUTPUT_DIR
# WIN32_BUILD and WIN64_BUILD are the i686 and x86_64 build folders; the
# version is the CMake project's, read from their caches (they must agree).
# Prints the installer's path.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 WIN32_BUILD WIN64_BUILD OUTPUT_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
win32_build=$(cd "$1" && pwd)
win64_build=$(cd "$2" && pwd)
mkdir -p "$3"
output_dir=$(cd "$3" && pwd)

project_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}
version=$(project_version "$win32_build")
if [ -z "$version" ] || [ "$version" != "$(project_version "$win64_build")" ]; then
  echo "$0: no version, or different versions, in $win32_build and $win64_build" >&2
  exit 1
fi
# The version resource wants four numbers: 1.15 -> 1.15.0.0.
version4=$version
while [ "$(tr -cd . <<<"$version4" | wc -c)" -lt 3 ]; do version4+=.0; done

win32_exe=$win32_build/platform/win32/snimac.exe
win64_exe=$win64_build/platform/win32/snimac.exe
for exe in "$win32_exe" "$win64_exe"; do
  [ -f "$exe" ] || { echo "$0: $exe is missing (was the build made?)" >&2; exit 1; }
done

installer=$output_dir/snimac-setup-$version.exe
# -WX: a warning (a missing string, an unused one) fails the build.
makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DVERSION4="$version4" \
  -DWIN32_EXE="$win32_exe" -DWIN64_EXE="$win64_exe" -DOUTFILE="$installer" "$here/snimac.nsi" >&2
echo "$installer"
