#!/usr/bin/env bash
# cli_pipe.sh --input=BYTES|--input-file=PATH|--output-file=PATH COMMAND...
# Runs a command with the given bytes (printf %b escapes) on its standard input, or
# that file as standard input, or that file as standard output (and nothing as
# input), and prints what came back in a form a CTest regular expression can match
# exactly: standard output with each CR shown as "<CR>", then "status N", then
# standard error. CTest alone can neither feed standard input nor see an exit status
# next to output.
set -uo pipefail
# The input travels as --input=... because CMake drops an empty argument.
stream=$1
shift
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
case $stream in
  --input=*) printf '%b' "${stream#--input=}" | "$@" 2>"$errors" | sed 's/\r/<CR>/g'; status=${PIPESTATUS[1]} ;;
  --input-file=*) "$@" <"${stream#--input-file=}" 2>"$errors" | sed 's/\r/<CR>/g'; status=${PIPESTATUS[0]} ;;
  --output-file=*) "$@" </dev/null >"${stream#--output-file=}" 2>"$errors"; status=$? ;;
  *) echo "cli_pipe.sh: unknown stream $stream" >&2; exit 2 ;;
esac
printf 'status %s\n' "$status"
sed 's/\r/<CR>/g' "$errors"
