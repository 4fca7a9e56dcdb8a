#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j2
ctest_log=$(mktemp)
ctest --test-dir build --output-on-failure -j2 | tee "$ctest_log"
total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$ctest_log" | tail -n 1)
rm -f "$ctest_log"

# The libraries below the widgets (SRCP, core model) and the tools, under AddressSanitizer and
# UndefinedBehaviorSanitizer: only their tests are built, and every test that was built is run.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARN_SANITIZE=ON -DQUARN_BENCH=OFF > /dev/null
cmake --build build-asan -j2 --target quarn_sanitize_tests
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j2 -E '_NOT_BUILT$'

# The SRCP sessions (reader thread, hand-over, disconnect) under ThreadSanitizer.
cmake -S . -B build-tsan -DQUARN_GUI=OFF -DQUARN_BENCH=OFF -DCMAKE_CXX_FLAGS="-fsanitize=thread -g" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" > /dev/null
cmake --build build-tsan -j2 --target test_srcp_client test_srcp_net test_srcp_sim
for t in test_srcp_net test_srcp_client test_srcp_sim; do
  TSAN_OPTIONS=halt_on_error=1 "build-tsan/bin/$t" --gtest_brief=1
done

# Every reader of outside input under libFuzzer (clang, ASan+UBSan): SRCP answers, 0.7.3 feedback
# lines, srcp-sim's command reader, the parameter, route, catalogue and layout files. Each target
# runs for its share of about two minutes, seeded with its committed corpus and dictionary; any
# finding fails the run. Qt itself is not instrumented; no widgets are built.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DQUARN_FUZZ=ON -DQUARN_GUI=ON -DQUARN_BENCH=OFF > /dev/null
cmake --build build-fuzz -j2 --target quarn_fuzz_targets
fuzz_work=$(mktemp -d)
trap 'rm -rf "$fuzz_work"' EXIT
while read -r name seconds max_len; do
  mkdir "$fuzz_work/$name"
  dict=()
  if [ -f "fuzz/$name.dict" ]; then dict=("-dict=fuzz/$name.dict"); fi
  if ! QT_QPA_PLATFORM=offscreen "build-fuzz/bin/fuzz_$name" -max_total_time="$seconds" -max_len="$max_len" \
      -print_final_stats=1 "${dict[@]}" -artifact_prefix="$fuzz_work/$name-" \
      "$fuzz_work/$name" "fuzz/corpus/$name" < /dev/null > "$fuzz_work/$name.log" 2>&1; then
    cat "$fuzz_work/$name.log"
    echo "fuzz_$name: finding (input above)"
    exit 1
  fi
  echo "fuzz_$name: $(sed -n 's/^stat::number_of_executed_units: *//p' "$fuzz_work/$name.log") inputs in ${seconds} s"
done <<'TARGETS'
examine_answer 20 2048
feedback_line 12 512
sim_lines 16 10000
parameter_file 16 8192
route_file 12 4096
catalogue 16 16384
layout_file 16 16384
TARGETS

echo "Quarn: ${total:-0} passed, 0 failed"
