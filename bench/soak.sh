#!/bin/sh
# Soak of the real Tarnwick.exe under Wine (not run in CI).
#
#   bench/soak.sh                      # 25 s relay window, then 10 min of memory and CPU
#   bench/soak.sh --minutes 2          # a quick run
#   bench/soak.sh --help               # every option
#
# TARNWICK_EXE names the program (default build/mingw/Tarnwick.exe); build it
# first with: cmake --preset mingw && cmake --build --preset mingw -j2
set -eu
here=$(cd "$(dirname "$0")" && pwd)
exec python3 "$here/soak.py" "$@"
