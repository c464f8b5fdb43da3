#!/bin/sh
# Build the probe and run the end-to-end tests under Wine.
# Usage: tests/e2e/run.sh [unittest args...]   (e.g. -k Relay)
#
# TARNWICK_EXE names the program under test (default: build/mingw/Tarnwick.exe
# in the repository).  Where Wine is installed a missing program is a
# failure, not a skip: the tests would otherwise pass without testing it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
start=$(date +%s)

exe=${TARNWICK_EXE:-$repo/build/mingw/Tarnwick.exe}
case $exe in /*) ;; *) exe=$(pwd)/$exe ;; esac
TARNWICK_EXE=$exe
export TARNWICK_EXE
if command -v wine >/dev/null 2>&1 || [ -x /usr/lib/wine/wine64 ]; then
    if [ ! -f "$exe" ]; then
        echo "run.sh: no program to test at $exe" >&2
        echo "run.sh: build it (cmake --preset mingw && cmake --build --preset mingw) or set TARNWICK_EXE" >&2
        exit 1
    fi
fi

mkdir -p "$here/build"
if command -v x86_64-w64-mingw32-gcc >/dev/null 2>&1; then
    x86_64-w64-mingw32-gcc -O1 -Wall -Wextra -municode -static \
        -o "$here/build/probe.exe" "$here/probe/probe.c" -luser32 -lshell32
    x86_64-w64-mingw32-gcc -O1 -Wall -Wextra -municode -static \
        -o "$here/build/nudge.exe" "$here/probe/nudge.c" -luser32 -ladvapi32 \
        -loleacc -lole32 -loleaut32
    x86_64-w64-mingw32-gcc -O1 -Wall -Wextra -shared \
        -o "$here/build/shim.dll" "$here/probe/shim.c" -ladvapi32 -lgdi32
else
    echo "run.sh: no mingw-w64 compiler; live tests will be skipped" >&2
fi

status=0
# unittest puts its top folder (tests/e2e) on the path, which is all the tests need
# to import the harness package.
cd "$here"
out="$here/build/unittest.log"
python3 -m unittest discover -s "$here" -p 'test_*.py' "$@" 2>&1 | tee "$out" || true
# unittest's own verdict, read back from its summary ("Ran 12 tests in ...", then "OK" or
# "FAILED (failures=1, errors=2, skipped=3)").
set -- $(awk '
    /^Ran [0-9]+ tests? in / { ran = $2 }
    /^(OK|FAILED)/ {
        verdict = $1
        n = split($0, parts, /[(),= ]+/)
        for (i = 1; i < n; i++) {
            if (parts[i] == "failures" || parts[i] == "errors" || parts[i] == "successes") bad += parts[i + 1]
            if (parts[i] == "skipped") skipped = parts[i + 1]
        }
    }
    END { printf "%d %d %d %s\n", ran, bad, skipped, (verdict == "" ? "NONE" : verdict) }' "$out")
ran=$1 bad=$2 skipped=$3 verdict=$4
[ "$verdict" = OK ] || status=1

echo "e2e finished in $(( $(date +%s) - start ))s"
echo "e2e: $(( ran - bad - skipped )) passed, $bad failed, $skipped skipped"
exit $status
