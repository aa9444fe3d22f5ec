#!/usr/bin/env bash
# Sets up the machine, builds tarvik.exe and opens it under Wine.
#
#   scripts/run.sh [ADDRESS]
#
# With a display, the window opens there and the script returns when it is closed.
# Without one, the window opens on a virtual display, ADDRESS (an example if none is
# given) is typed in and worked out, and a screenshot of the window is saved.
# Ctrl+C stops it at once.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cd "$tarvik_root"
address=${1:-someone@example.com}
tarvik_interruptible run
tarvik_setup

# Wine says nothing useful when the display cannot be opened, with its messages off.
if [ -n "${DISPLAY:-}" ] && ! xwininfo -root >/dev/null 2>&1; then
  echo "run: cannot open the display $DISPLAY; to use a virtual one instead, run without it: env -u DISPLAY scripts/run.sh" >&2
  exit 1
fi

build=$tarvik_root/build/windows
tarvik_step cmake --preset windows >/dev/null
. tests/e2e/wine-display.sh
if [ -n "${DISPLAY:-}" ]; then
  tarvik_step cmake --build --preset windows --target tarvik
  export TARVIK_WINEPREFIX=$build/wineprefix WINEPREFIX=$build/wineprefix
  prepare_prefix "$TMPDIR"
  tarvik_step scripts/wine-run "$build/app/tarvik.exe"
  exit
fi

# No display: the end-to-end driver types the address and takes the picture, in a
# prefix of its own so that the virtual desktop it sets stays out of the build's.
tarvik_step cmake --build --preset windows --target tarvik tarvik_e2e_driver
export TARVIK_WINEPREFIX=$build/demo-wineprefix WINEPREFIX=$build/demo-wineprefix
start_xvfb "$TMPDIR"
prepare_prefix "$TMPDIR"
use_virtual_desktop 96 "$TMPDIR"

screenshot=$build/tarvik.png
rm -f "$screenshot"
status=0
tarvik_step "$wine_run" "$build/tests/tarvik-e2e.exe" --tarvik "$(windows_path "$build/app/tarvik.exe")" \
  --x-pointer "$(windows_path "$e2e_dir/x_pointer.py")" \
  --demo "$address" --screenshot "$(windows_path "$screenshot")" || status=$?
if [ ! -s "$screenshot" ]; then
  echo "run: no screenshot was taken" >&2
  exit 1
fi
echo "Screenshot of the window: $screenshot"
exit $status
