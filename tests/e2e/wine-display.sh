# Shell functions for running Windows window programs under Wine on an X display of
# their own: a private Xvfb server and a prefix whose programs share one virtual
# desktop. Sourced by run-e2e.sh, scripts/run.sh and tests/support/checks.sh; the caller
# sets WINEPREFIX, and has scripts/lib.sh end every process it started on the way out,
# however it leaves: its X server last, with SIGTERM, after which the server removes
# its lock file and socket (killed outright it would leave both in /tmp).

e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine_run=$e2e_dir/../../scripts/wine-run

# Each argument a line, Unix paths as a Windows program sees them (Wine maps / to drive Z:).
windows_path() { [ $# -eq 0 ] || printf '%s\n' "$@" | sed '\|^/| { s|/|\\|g; s|^|Z:| }'; }

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# Starts Xvfb on a free display, sets DISPLAY and xvfb_pid. $1: a scratch directory.
start_xvfb() {
  local scratch=$1
  # Xvfb picks the display number itself and reports it on the descriptor. In a session
  # of its own, a Ctrl+C on the terminal reaches it only through its caller's clean-up,
  # after its clients: they would otherwise report the lost connection on the way out.
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
  xvfb_pid=$!
  # Waits as long as the server lives: it either writes the number or dies saying why.
  while [ ! -s "$scratch/display" ] && kill -0 "$xvfb_pid" 2>/dev/null; do
    sleep 0.05
  done
  [ -s "$scratch/display" ] || { echo "Xvfb did not start:" >&2; cat "$scratch/xvfb.log" >&2; return 1; }
  export DISPLAY=:$(head -n1 "$scratch/display")
}

# Creates the prefix if need be and gives it Wine's own fonts. $1: a scratch directory.
prepare_prefix() {
  local scratch=$1 start=$(now)
  "$e2e_dir/../../scripts/wine-prefix" >"$scratch/wineboot.log" 2>&1 || { cat "$scratch/wineboot.log" >&2; return 1; }
  echo "prepared the Wine prefix $WINEPREFIX in $(since "$start") s"
}

# Puts every program of the prefix on one virtual desktop, which draws the title bars
# and leaves activation and focus to Wine alone, and sets the DPI that programs started
# from now on see. $1: DPI.
use_virtual_desktop() {
  "$wine_run" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d tarvik /f >/dev/null
  "$wine_run" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v tarvik /d 1024x768 /f >/dev/null
  "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
}
