#!/usr/bin/env bash
# Sets up the machine and builds both packages into build/packages:
#   tarvik-<version>-win32.zip      from the windows preset
#   tarvik_<version>_<arch>.deb     from the native preset, with the windows preset's tarvik.exe
# and prints their paths, one a line, last.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Unprivileged, the set-up only checks: it names what is missing, or passes.
if [ "$(id -u)" -eq 0 ]; then bash scripts/setup.sh
elif command -v sudo >/dev/null; then sudo bash scripts/setup.sh
else bash scripts/setup.sh
fi

out=$root/build/packages
cmake --preset windows >/dev/null
cmake --build --preset windows --target tarvik tarvik-id
cmake --preset native -DTARVIK_WINDOWS_EXE="$root/build/windows/app/tarvik.exe" >/dev/null
cmake --build --preset native --target tarvik-id tarvik_package_files

rm -rf "$out"
for preset in windows native; do
  cpack --config "build/$preset/CPackConfig.cmake" -B "$out" >"$out.$preset.log" 2>&1 \
    || { cat "$out.$preset.log" >&2; exit 1; }
done
rm -rf "$out/_CPack_Packages" "$out".*.log
ls -d "$out"/*.zip "$out"/*.deb
