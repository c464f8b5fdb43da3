#!/usr/bin/env bash
# Every test: the portable core under the sanitizers (with every committed fuzz corpus
# file replayed through its target), the fuzz targets for a bounded time (the `fuzz`
# preset), the benchmarks built (not run: timings are not tests, but they must keep
# compiling against the platform interface), the Windows build and its release archive,
# and the real Tarnwick.exe end to end under Wine (with the archive and the programs'
# headers read back).
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
cmake --build --preset mingw --target package

version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
TARNWICK_EXE="$PWD/build/mingw/Tarnwick.exe" \
TARNWICK_ZIP="$PWD/build/mingw/release/Tarnwick-$version-win64.zip" tests/e2e/run.sh
