# Sourced by run.sh, test.sh and package.sh: the machine's set-up, and a run that
# Ctrl+C stops at once, leaving no process and no temporary file behind.

tarvik_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The set-up needs root only to install; when its check finds nothing missing, no one
# is asked for a password.
tarvik_setup() {
  local setup=$tarvik_root/scripts/setup.sh
  if [ "$(id -u)" -eq 0 ]; then
    bash "$setup"
  elif ! bash "$setup" --check 2>/dev/null; then
    # Without sudo the set-up names what is missing, and fails.
    if command -v sudo >/dev/null; then sudo bash "$setup"; else bash "$setup"; fi
  fi
}

# tarvik_interruptible NAME: from here on, an interrupt (or SIGTERM) stops every process
# started from this shell and exits 130, and temporary files go to a directory that is
# removed on the way out. Wine keeps its server directory in TMPDIR, and left one in
# /tmp on every run.
tarvik_interruptible() {
  tarvik_name=$1
  mkdir -p "$tarvik_root/build"
  TMPDIR=$(mktemp -d "$tarvik_root/build/tmp.XXXXXX")
  # Wine's servers and services leave their session and their parent, but not their
  # environment: this mark finds them all. A script with a clean-up of its own (removing
  # a package, say) runs it in its EXIT trap before tarvik_finish, so that it has ended
  # before the run's processes are stopped.
  TARVIK_RUN=$tarvik_name-$$-$RANDOM$RANDOM
  export TMPDIR TARVIK_RUN
  trap tarvik_interrupted INT TERM
  trap tarvik_finish EXIT
}

# The processes that carry this run's mark, but for this shell.
tarvik_processes() {
  local file pid
  for file in $(grep -lzx "TARVIK_RUN=$TARVIK_RUN" /proc/[0-9]*/environ 2>/dev/null); do
    pid=${file#/proc/}
    pid=${pid%/environ}
    [ "$pid" = $$ ] || [ "$pid" = "$BASHPID" ] || echo "$pid"
  done
}

# Ends every process of the run: SIGTERM once each, so that scripts clean up after
# themselves, then SIGKILL to what is left after twenty seconds (removing a package
# may take ten). X servers go last, so that their clients end without reporting a
# lost connection.
tarvik_stop_all() {
  local pids pid round=0 others
  local -A told=()
  while pids=$(tarvik_processes) && [ -n "$pids" ]; do
    others=
    for pid in $pids; do [ "$(cat /proc/$pid/comm 2>/dev/null)" = Xvfb ] || others=1; done
    for pid in $pids; do
      if ((round >= 200)); then
        kill -KILL "$pid" 2>/dev/null
      elif [ -z "${told[$pid]:-}" ] && { [ -z "$others" ] || [ "$(cat /proc/$pid/comm 2>/dev/null)" != Xvfb ]; }; then
        kill -TERM "$pid" 2>/dev/null
        told[$pid]=1
      fi
    done
    ((++round < 300)) || { echo "$tarvik_name: processes left running: $pids" >&2; return 1; }
    sleep 0.1
  done
}

tarvik_finish() {
  local status=$?
  # Whatever fails from here on (a process gone before it is signalled), the rest of
  # the clean-up still runs.
  set +e
  trap - INT TERM EXIT
  tarvik_stop_all
  rm -rf "$TMPDIR"
  [ -z "${tarvik_was_interrupted:-}" ] || echo "$tarvik_name: interrupted" >&2
  exit "$status"
}

tarvik_interrupted() {
  trap - INT TERM
  tarvik_was_interrupted=1
  exit 130
}

# Runs a command as a job of its own and waits for it: an interrupt reaches the trap
# while a job is waited for, where a command in the foreground would first run to its end.
tarvik_step() {
  "$@" &
  wait $!
}
