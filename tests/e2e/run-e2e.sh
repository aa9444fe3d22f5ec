#!/usr/bin/env bash
# Runs the end-to-end driver against tarvik.exe on a display of its own: a private Xvfb
# server and a private Wine prefix whose programs all live on one virtual desktop; the
# full suite at 96 dpi, then the layout at 120 and 144 dpi. Everything started here is
# stopped on the way out.
#
#   run-e2e.sh --driver EXE --tarvik EXE --minimal EXE --faulty EXE --known-answers TSV --prefix DIR --out DIR
#              [-- DRIVER-ARGUMENTS...]
set -uo pipefail

. "$(dirname "$0")/wine-display.sh"

while (($#)); do
  case $1 in
    --driver) driver=$2 ;;
    --tarvik) tarvik=$2 ;;
    --minimal) minimal=$2 ;;
    --faulty) faulty=$2 ;;
    --known-answers) known=$2 ;;
    --) shift; break ;;
    --prefix) prefix=$2 ;;
    --out) out=$2 ;;
    *) echo "run-e2e: unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done
for v in driver tarvik minimal faulty known prefix out; do
  [ -n "${!v:-}" ] || { echo "run-e2e: --$v is required" >&2; exit 2; }
done
for tool in Xvfb wine wineserver; do
  command -v "$tool" >/dev/null || { echo "run-e2e: $tool not found (scripts/setup.sh installs it)" >&2; exit 2; }
done

# The prefix is the test's alone: the DPI and the virtual desktop it sets would
# otherwise reach the other Windows tests, and stopping its server stops only ours.
export TARVIK_WINEPREFIX=$prefix WINEPREFIX=$prefix
mkdir -p "$out"
scratch=$(mktemp -d)
cleanup() {
  stop_wine_display
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb "$scratch" || exit 1
echo "run-e2e: Xvfb on $DISPLAY"
prepare_prefix "$scratch" | sed 's/^/run-e2e: /' || exit 1

status=0
run_driver() {
  local dpi=$1 start rc
  shift
  start=$(now)
  # A new server for each DPI, so that no process of the previous run carries it over.
  wineserver -k 2>/dev/null
  wineserver -w
  use_virtual_desktop "$dpi" "$scratch"
  # A bound for a hang only: every wait inside ends on what it waits for. The full suite
  # took over 900 s on a machine shared by five such runs.
  timeout 2400 "$wine_run" "$driver" --tarvik "$(windows_path "$tarvik")" --dpi "$dpi" "$@" "${extra[@]}"
  rc=$?
  echo "run-e2e: driver at $dpi dpi exited with $rc after $(since "$start") s"
  ((rc == 0)) || status=1
}

extra=("$@")
x_pointer=$(windows_path "$e2e_dir/x_pointer.py")
run_driver 96 --suite full --minimal "$(windows_path "$minimal")" --faulty "$(windows_path "$faulty")" \
  --known-answers "$(windows_path "$known")" --x-pointer "$x_pointer" \
  --screenshot "$(windows_path "$out/tarvik-96dpi.png")"
for dpi in 120 144; do
  run_driver $dpi --suite layout --x-pointer "$x_pointer" --screenshot "$(windows_path "$out/tarvik-${dpi}dpi.png")"
done
exit $status
