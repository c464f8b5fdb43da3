#!/bin/sh
# Soak of the real Tarnwick.exe under Wine at a 1 ms tick, every role on and
# the mouse moving (not run in CI; see bench/soak.py for what it measures).
#
#   bench/soak.sh                      # 25 s of copies, 20 s of install rate, 10 min of memory and CPU
#   bench/soak.sh --minutes 2          # a quick run
#   bench/soak.sh --json out.json      # every figure and sample, for later
#   bench/soak.sh --help               # every option
#
# TARNWICK_EXE (or --exe) names the program, TarnwickWatch.exe beside it
# (default build/mingw/); build them first with:
#   cmake --preset mingw && cmake --build --preset mingw -j2
set -eu
here=$(cd "$(dirname "$0")" && pwd)
# The soak's modules import the e2e harness as a package: its folder goes on the path here, once.
PYTHONPATH="$here/../tests/e2e${PYTHONPATH:+:$PYTHONPATH}"
export PYTHONPATH
exec python3 "$here/soak.py" "$@"
