#!/usr/bin/env bash
# Every test: the portable core under the sanitizers (with every committed fuzz corpus
# file replayed through its target), the fuzz targets for a bounded time (the `fuzz`
# preset), the benchmarks built (not run: timings are not tests, but they must keep
# compiling against the platform interface), the Windows build, and the real
# Tarnwick.exe end to end under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake --preset linux
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"
scripts/fuzz.sh

cmake --preset bench
cmake --build --preset bench -j "$jobs"

cmake --preset mingw
cmake --build --preset mingw -j "$jobs"

TARNWICK_EXE="$PWD/build/mingw/Tarnwick.exe" tests/e2e/run.sh
