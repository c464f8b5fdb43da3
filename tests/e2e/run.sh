#!/bin/sh
# Build the probe and run the end-to-end tests under Wine.
# Usage: tests/e2e/run.sh [unittest args...]   (e.g. -k Relay)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
start=$(date +%s)

mkdir -p "$here/build"
if command -v x86_64-w64-mingw32-gcc >/dev/null 2>&1; then
    x86_64-w64-mingw32-gcc -O1 -Wall -Wextra -municode -static \
        -o "$here/build/probe.exe" "$here/probe/probe.c" -luser32 -lshell32
else
    echo "run.sh: no mingw-w64 compiler; live tests will be skipped" >&2
fi

status=0
cd "$here"
python3 -m unittest discover -s "$here" -p 'test_*.py' "$@" || status=$?

echo "e2e: $( [ $status -eq 0 ] && echo passed || echo FAILED ) in $(( $(date +%s) - start ))s"
exit $status
