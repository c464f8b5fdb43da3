#!/bin/sh
# Tick spacing and CPU of the real Tarnwick.exe under Wine at the intervals 1, 2,
# 5, 10 and 26 ms, the mouse moving and still, and after a posted session lock, for
# two builds side by side in one run (see bench/ticks.py).
#
#   bench/ticks.sh --baseline /path/to/main/Tarnwick.exe   # main's build beside this one
#   bench/ticks.sh --intervals 1,5 --seconds 3             # a quick run
#
# TARNWICK_EXE (or --exe) names the build under test (default build/mingw/), each
# with TarnwickWatch.exe beside it; build with:
#   cmake --preset mingw && cmake --build --preset mingw -j2
set -eu
here=$(cd "$(dirname "$0")" && pwd)
# The script imports the e2e harness as a package and the soak's modules beside it.
PYTHONPATH="$here/../tests/e2e:$here${PYTHONPATH:+:$PYTHONPATH}"
export PYTHONPATH
exec python3 "$here/ticks.py" "$@"
