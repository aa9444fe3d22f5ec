# What the shell tests share, sourced as `. tests/support/checks.sh NAME`: a run that
# Ctrl+C stops and that leaves no process or temporary file behind (scripts/lib.sh),
# Wine's display functions, counted failures, a compare that shows both sides, the
# closing line and status, and the window program seen to open and to close.
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
. "$tarvik_root/tests/e2e/wine-display.sh"
tarvik_interruptible "$1"
failures=0
fail() { echo "$tarvik_name: FAIL: $*" >&2; failures=$((failures + 1)); }
# check WHAT EXPECTED ACTUAL
check() { [ "$2" = "$3" ] || fail "$1: expected $(printf %q "$2"), got $(printf %q "$3")"; }
finish() {
  ((failures == 0)) && echo "$tarvik_name: all passed" || echo "$tarvik_name: $failures failed" >&2
  exit $((failures > 0))
}

# opens_and_closes WHAT COMMAND...: COMMAND, started on the run's own display, shows the
# window of tarvik.exe in the prefix WINEPREFIX names, and once it is closed as its
# close box does (WM_CLOSE, from taskkill) ends with status 0. The 150 s it is given to
# show the window and the minute to end only bound a hang.
window_shown() { xwininfo -root -tree 2>/dev/null | grep -qF '("tarvik.exe"'; }
opens_and_closes() {
  local what=$1 start pid tries=600
  shift
  [ -n "${xvfb_pid:-}" ] || start_xvfb "$TMPDIR" || { fail "Xvfb"; return; }
  start=$(now)
  "$@" >"$TMPDIR/window.log" 2>&1 &
  pid=$!
  until window_shown; do
    # What counts is the window: a process that has ended may have shown it first.
    if { ! kill -0 "$pid" 2>/dev/null && ! window_shown; } || ((--tries == 0)); then
      cat "$TMPDIR/window.log" >&2
      fail "$what opened no window within $(since "$start") s"
      return
    fi
    sleep 0.25
  done
  echo "$what opened its window after $(since "$start") s"
  WINEDEBUG=-all wine taskkill /im tarvik.exe >/dev/null
  timeout 60 tail --pid="$pid" -f /dev/null || { fail "$what did not end when its window was closed"; kill "$pid"; }
  wait "$pid" || fail "$what ended with status $? once its window was closed"
}
