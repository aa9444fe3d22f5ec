# Shell functions for running Windows window programs under Wine on an X display of
# their own: a private Xvfb server and a prefix whose programs share one virtual
# desktop. Sourced by run-e2e.sh, scripts/run.sh and tests/packages.sh; the caller sets
# WINEPREFIX, and calls stop_wine_display on the way out, however it leaves.

e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine_run=$e2e_dir/../../scripts/wine-run

# A Unix path as a Windows program sees it (Wine maps / to drive Z:).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# Waits until a top-level window of the program named $1 shows on the display, or the
# process $2 that is to open it has ended; true if the window showed. 150 s is only the
# last bound, against a hang.
window_shown() {
  local shown="(\"$1\""
  for _ in $(seq 600); do
    xwininfo -root -tree 2>/dev/null | grep -qF "$shown" && return 0
    kill -0 "$2" 2>/dev/null || break
    sleep 0.25
  done
  xwininfo -root -tree 2>/dev/null | grep -qF "$shown"
}

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

# Ends the prefix's programs and its server, then the display they were drawing on:
# with SIGTERM, after which the X server removes its lock file and socket; killed
# outright it would leave both in /tmp.
stop_wine_display() {
  [ -z "${WINEPREFIX:-}" ] || wineserver -k 2>/dev/null
  [ -z "${xvfb_pid:-}" ] || { kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null; }
  xvfb_pid=
}

# Creates the prefix if need be and gives it Wine's own fonts. $1: a scratch directory.
prepare_prefix() {
  local scratch=$1 start
  start=$(now)
  "$e2e_dir/../../scripts/wine-prefix" >"$scratch/wineboot.log" 2>&1 || { cat "$scratch/wineboot.log" >&2; return 1; }
  echo "prepared the Wine prefix $WINEPREFIX in $(since "$start") s"
}

# Puts every program of the prefix on one virtual desktop, which draws the title bars
# and leaves activation and focus to Wine alone, and sets the DPI that programs started
# from now on see. $1: DPI, $2: a scratch directory.
use_virtual_desktop() {
  local dpi=$1 scratch=$2
  cat >"$scratch/desktop.reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="tarvik"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"tarvik"="1024x768"

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"LogPixels"=dword:$(printf '%08x' "$dpi")
EOF
  "$wine_run" regedit /S "$(windows_path "$scratch/desktop.reg")"
}
