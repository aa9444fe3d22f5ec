#!/usr/bin/env bash
# Runs the end-to-end driver against tarvik.exe on a display of its own: a private Xvfb
# server and a private Wine prefix whose programs all live on one virtual desktop; the
# full suite at 96 dpi, then the layout at 120 and 144 dpi. Everything started here is
# stopped on the way out (scripts/lib.sh).
#
#   run-e2e.sh PREFIX OUT DRIVER TARVIK [FULL-SUITE-ARGUMENTS...]
#
# The driver is given every Unix path as Wine's programs see it.
set -uo pipefail

. "$(dirname "$0")/../../scripts/lib.sh"
. "$(dirname "$0")/wine-display.sh"

(($# >= 4)) || { echo "usage: run-e2e.sh PREFIX OUT DRIVER TARVIK [FULL-SUITE-ARGUMENTS...]" >&2; exit 2; }
for tool in Xvfb wine wineserver; do
  command -v "$tool" >/dev/null || { echo "run-e2e: $tool not found (scripts/setup.sh installs it)" >&2; exit 2; }
done

# The prefix is the test's alone: the DPI and the virtual desktop it sets would
# otherwise reach the other Windows tests, and stopping its server stops only ours.
export TARVIK_WINEPREFIX=$1 WINEPREFIX=$1
out=$2 driver=$3
tarvik=$(windows_path "$4")
mapfile -t full < <(windows_path "${@:5}")
tarvik_interruptible run-e2e
start_xvfb "$TMPDIR" || exit 1
echo "run-e2e: Xvfb on $DISPLAY"
prepare_prefix "$TMPDIR" | sed 's/^/run-e2e: /' || exit 1

status=0
x_pointer=$(windows_path "$e2e_dir/x_pointer.py")
run_driver() {
  local dpi=$1 start=$(now) rc
  shift
  # A new server for each DPI, so that no process of the previous run carries it over.
  wineserver -k 2>/dev/null
  wineserver -w
  use_virtual_desktop "$dpi"
  # A bound for a hang only: every wait inside ends on what it waits for. The full suite
  # took over 900 s on a machine shared by five such runs.
  timeout 2400 "$wine_run" "$driver" --tarvik "$tarvik" --dpi "$dpi" --x-pointer "$x_pointer" \
    --screenshot "$(windows_path "$out/tarvik-${dpi}dpi.png")" "$@"
  rc=$?
  echo "run-e2e: driver at $dpi dpi exited with $rc after $(since "$start") s"
  ((rc == 0)) || status=1
}

run_driver 96 --suite full "${full[@]}"
for dpi in 120 144; do
  run_driver $dpi --suite layout
done
exit $status
