#!/usr/bin/env bash
# Every test: the portable core under the sanitizers, and the Windows build.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake --preset linux
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"
scripts/fuzz.sh

cmake --preset mingw
cmake --build --preset mingw -j "$jobs"
