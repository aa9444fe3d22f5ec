#!/usr/bin/env bash
# Sets up the machine, builds tarvik.exe and opens it under Wine.
#
#   scripts/run.sh [ADDRESS]
#
# With a display, the window opens there and the script returns when it is closed.
# Without one, the window opens on a virtual display, ADDRESS (an example if none is
# given) is typed in and worked out, and a screenshot of the window is saved.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
address=${1:-someone@example.com}

if [ "$(id -u)" -eq 0 ]; then
  bash scripts/setup.sh
elif command -v sudo >/dev/null; then
  sudo bash scripts/setup.sh
else
  bash scripts/setup.sh
fi

# Wine says nothing useful when the display cannot be opened, with its messages off.
if [ -n "${DISPLAY:-}" ] && ! xwininfo -root >/dev/null 2>&1; then
  echo "run: cannot open the display $DISPLAY; to use a virtual one instead, run without it: env -u DISPLAY scripts/run.sh" >&2
  exit 1
fi

build=$root/build/windows
cmake --preset windows
if [ -n "${DISPLAY:-}" ]; then
  cmake --build --preset windows --target tarvik
  . tests/e2e/wine-display.sh
  export TARVIK_WINEPREFIX=$build/wineprefix WINEPREFIX=$build/wineprefix
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  prepare_prefix "$scratch"
  scripts/wine-run "$build/app/tarvik.exe"
  exit
fi

# No display: the end-to-end driver types the address and takes the picture, in a
# prefix of its own so that the virtual desktop it sets stays out of the build's.
cmake --build --preset windows --target tarvik tarvik_e2e_driver
. tests/e2e/wine-display.sh
export TARVIK_WINEPREFIX=$build/demo-wineprefix WINEPREFIX=$build/demo-wineprefix
scratch=$(mktemp -d)
cleanup() {
  wineserver -k 2>/dev/null || true
  stop_xvfb
  rm -rf "$scratch"
}
trap cleanup EXIT
start_xvfb "$scratch"
prepare_prefix "$scratch"
use_virtual_desktop 96 "$scratch"

screenshot=$build/tarvik.png
rm -f "$screenshot"
status=0
"$wine_run" "$build/tests/tarvik-e2e.exe" --tarvik "$(windows_path "$build/app/tarvik.exe")" \
  --x-pointer "$(windows_path "$e2e_dir/x_pointer.py")" \
  --demo "$address" --screenshot "$(windows_path "$screenshot")" || status=$?
if [ ! -s "$screenshot" ]; then
  echo "run: no screenshot was taken" >&2
  exit 1
fi
echo "Screenshot of the window: $screenshot"
exit $status
