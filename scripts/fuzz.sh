#!/usr/bin/env bash
# Fuzzes the settings text, set bytes and companion pictures in memory, the loaders through real
# files, with libFuzzer under ASan and UBSan, built by the `fuzz` CMake preset. Each
# target starts from its committed seed corpus (fuzz/corpus/<name>/, read only; new
# inputs go to build/fuzz/findings/<name>/) and runs FUZZ_SECONDS (45) seconds. The
# script fails when a target finds a crash, a leak, a hang or a broken property; the
# input that did it is left in build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-45}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
out=build/fuzz/findings
mkdir -p "$out"

failed=0
for name in settings set_bytes files companion; do
  found="$out/$name"
  mkdir -p "$found"
  log="$out/$name.log"
  echo "== ${name}_fuzzer for ${seconds}s"
  if build/fuzz/"${name}_fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$out/$name-" "$found" "fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    rate=$(grep -o 'exec/s: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*$' || echo '?')
    echo "   ${name}_fuzzer: no finding in $runs executions ($rate exec/s)"
  else
    failed=1
    echo "   ${name}_fuzzer FOUND A FAULT; the end of its log ($log):"
    tail -n 40 "$log"
    ls "$out/$name-"* 2>/dev/null || true
  fi
done
exit "$failed"
