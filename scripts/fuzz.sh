#!/usr/bin/env bash
# Fuzzes the settings reader and the cursor set loader with libFuzzer under ASan and
# UBSan. Each fuzzer starts from its committed seed corpus (fuzz/corpus/<name>/, read
# only; new finds go to build/fuzz/) and runs FUZZ_SECONDS (45) seconds. The script
# fails when a fuzzer finds a crash, a leak, a hang or a broken property.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-45}
out=build/fuzz
mkdir -p "$out"

cxx=${FUZZ_CXX:-clang++}
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -Isrc -Itests)
support=(tests/support/recording_platform.cpp tests/support/recording_window.cpp tests/support/recording_text.cpp
  tests/support/fixtures.cpp src/toolkit/keyed_collection.cpp src/cursorset/files.cpp src/platform/wtf8.cpp)

"$cxx" "${flags[@]}" -o "$out/settings_fuzzer" fuzz/settings_fuzzer.cpp \
  src/settings/settings.cpp src/cursorset/cursorset.cpp "${support[@]}"
"$cxx" "${flags[@]}" -o "$out/cursorset_fuzzer" fuzz/cursorset_fuzzer.cpp \
  src/cursorset/cursorset.cpp "${support[@]}"

failed=0
for name in settings cursorset; do
  found="$out/corpus-$name"
  mkdir -p "$found"
  log="$out/$name.log"
  echo "== ${name}_fuzzer for ${seconds}s"
  if "$out/${name}_fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$out/$name-" "$found" "fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "   ${name}_fuzzer: no finding in $runs executions"
  else
    failed=1
    echo "   ${name}_fuzzer FOUND A FAULT; the end of its log ($log):"
    tail -n 40 "$log"
    ls "$out/$name-"* 2>/dev/null || true
  fi
done
exit "$failed"
