#!/usr/bin/env bash
# Runs a test program with its standard error in a file, named to it (as a Windows path) by
# HORALUX_STDERR_FILE, and passes the file's text on when it ends. Under Wine a program started
# by the test writes its debug channels to that same stream, so the test can read them.
# Usage: run-with-stderr-file.sh COMMAND [ARGS...]
set -uo pipefail
file=$(mktemp "${TMPDIR:-/tmp}/horalux-stderr.XXXXXX")
trap 'cat "$file" >&2; rm -f "$file"' EXIT
HORALUX_STDERR_FILE="Z:${file//\//\\}" "$@" 2>"$file"
