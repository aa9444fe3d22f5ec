# What the shell tests share: counted failures, a compare that shows both sides, the
# closing line and status, and the window program seen to open and to close. The
# caller sets `name` and sources tests/e2e/wine-display.sh for the last.
failures=0
fail() { echo "$name: FAIL: $*" >&2; failures=$((failures + 1)); }
# check WHAT EXPECTED ACTUAL
check() { [ "$2" = "$3" ] || fail "$1: expected $(printf %q "$2"), got $(printf %q "$3")"; }
finish() {
  ((failures == 0)) && echo "$name: all passed" || echo "$name: $failures failed" >&2
  exit $((failures > 0))
}

# opens_and_closes WHAT PID LOG: the process PID, started at $start, shows the window of
# tarvik.exe, and once it is closed as its close box does (WM_CLOSE, from taskkill) ends
# with status 0. The minute it is given to end only bounds a hang.
opens_and_closes() {
  if ! window_shown tarvik.exe "$2"; then
    cat "$3" >&2
    fail "$1 opened no window within $(since "$start") s"
    return
  fi
  echo "$1 opened its window after $(since "$start") s"
  WINEDEBUG=-all wine taskkill /im tarvik.exe >/dev/null
  for _ in $(seq 120); do kill -0 "$2" 2>/dev/null || break; sleep 0.5; done
  kill -0 "$2" 2>/dev/null && { fail "$1 did not end when its window was closed"; kill "$2"; }
  wait "$2" || fail "$1 ended with status $? once its window was closed"
}
