#!/usr/bin/env bash
# Sets up the machine and builds both packages into build/packages:
#   tarvik-<version>-win32.zip      from the windows preset
#   tarvik_<version>_<arch>.deb     built in build/package with Debian's build flags, with
#                                   the windows preset's tarvik.exe
#   tarvik.html                     the web preset's page, which both packages hold too
# and prints their paths, one a line, last.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cd "$tarvik_root"
tarvik_interruptible package
tarvik_setup

out=build/packages
# The page, the same window for any browser, goes into both packages.
page=$tarvik_root/build/web/tarvik.html
tarvik_step cmake --preset web >/dev/null
tarvik_step cmake --build --preset web --target tarvik_page

tarvik_step cmake --preset windows -DTARVIK_WEB_PAGE="$page" >/dev/null
tarvik_step cmake --build --preset windows --target tarvik tarvik-id

# The distribution's hardening, as a Debian package of its own would be built: the
# preprocessor's flags ride on the compiler's, since CMake reads no CPPFLAGS.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
tarvik_step cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=None -DTARVIK_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
  -DTARVIK_WINDOWS_EXE="$tarvik_root/build/windows/app/tarvik.exe" -DTARVIK_WEB_PAGE="$page" >/dev/null
tarvik_step cmake --build build/package --target tarvik-id tarvik_package_files

rm -rf "$out"
mkdir -p "$out"
for build in windows package; do
  tarvik_step cpack --config "build/$build/CPackConfig.cmake" -B "$out" >"$TMPDIR/cpack.log" 2>&1 \
    || { cat "$TMPDIR/cpack.log" >&2; exit 1; }
done
rm -rf "$out/_CPack_Packages"
cp "$page" "$out/"
ls -d "$out"/*.zip "$out"/*.deb "$out"/tarvik.html
