#!/usr/bin/env bash
# cli_pipe.sh --input=BYTES COMMAND...
# Runs a command with the given bytes (printf %b escapes) on its standard input and
# prints what came back in a form a CTest regular expression can match exactly:
# standard output with each CR shown as "<CR>", then "status N", then standard error.
# CTest alone can neither feed standard input nor see an exit status next to output.
set -uo pipefail
# The input travels as --input=... because CMake drops an empty argument.
input=${1#--input=}
shift
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
printf '%b' "$input" | "$@" 2>"$errors" | sed 's/\r/<CR>/g'
status=${PIPESTATUS[1]}
printf 'status %s\n' "$status"
sed 's/\r/<CR>/g' "$errors"
