#!/usr/bin/env bash
# Runs a Windows test program under wine for ctest: the emulator of the mingw-w64 tool chain.
#
#   scripts/wine-test.sh WINE PROGRAM.exe [arguments...]
#
# Now and then wine fails to start a program at all: it ends at once, having printed nothing of
# GoogleTest's. Such a start is tried again (at most three times in all); a program that did start
# is never run twice, so that a test that fails, fails.
set -uo pipefail

wine="$1"
shift
output="$(mktemp)"
trap 'rm -f "$output"' EXIT
for attempt in 1 2 3; do
    "$wine" "$@" >"$output" 2>&1
    status=$?
    if ((status == 0)) || grep -q "Running main()" "$output" || ((attempt == 3)); then
        cat "$output"
        exit "$status"
    fi
    echo "wine-test: wine did not start $1 (exit status $status); trying again" >&2
    sleep 1
done
