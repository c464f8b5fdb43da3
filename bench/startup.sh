#!/bin/sh
# Start-up time of the real Tarnwick.exe under Wine, with 1 set and with many
# (see bench/startup.py for how it measures).
#
#   bench/startup.sh                           # 5 rounds, 1 and 200 sets
#   bench/startup.sh --runs 3 --sets 50 A.exe B.exe   # two builds side by side
#   bench/startup.sh --companions             # 200 bundled sets with and without
#                                             # their large pictures, 100 and 200 %
#
# Without a program it takes TARNWICK_EXE, else build/mingw/Tarnwick.exe.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
# startup.py imports the e2e harness as a package: its folder goes on the path here, once.
PYTHONPATH="$here/../tests/e2e${PYTHONPATH:+:$PYTHONPATH}"
export PYTHONPATH
exec python3 "$here/startup.py" "$@"
