#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test. Each step says how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
timings=()
step_start=$SECONDS
step_done() {
  timings+=("$(printf '%5d s  %s' $((SECONDS - step_start)) "$1")")
  step_start=$SECONDS
}

scripts/install-deps.sh
step_done "install-deps"

# One build serves every test: the whole program under AddressSanitizer and UndefinedBehaviorSanitizer,
# built with clang and the libFuzzer coverage instrumentation, so that it runs every test (widgets and
# integration included, offscreen, leak checking on) and the fuzz targets below. Built
# with line tables only (a report still names file and line), the libraries compiled in batches
# (QUARN_UNITY) and linked with lld: a second,
# uninstrumented build of the same tests would double the time and find nothing this one misses.
# Qt itself is not instrumented; no leak needs a suppression.
cmake -S . -B build-san -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARN_FUZZ=ON \
  -DQUARN_BENCH=OFF -DQUARN_UNITY=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" \
  -DCMAKE_EXE_LINKER_FLAGS="-fuse-ld=lld" -DCMAKE_SHARED_LINKER_FLAGS="-fuse-ld=lld" > /dev/null
cmake --build build-san -j2
step_done "build (ASan+UBSan, clang: program, tools, tests, fuzz targets)"
ctest_log=$(mktemp)
ctest_status=0
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-san --output-on-failure -j2 | tee "$ctest_log" || ctest_status=$?
# The closing line counts what ctest reported test by test: "Passed", "***Skipped" (GTEST_SKIP),
# anything else ("***Failed", "***Timeout", "***Exception", "***Not Run") is not a pass.
if ! ctest_counts=$(scripts/ctest-counts.sh "$ctest_log"); then
  [ "$ctest_status" -ne 0 ] || ctest_status=1  # counts that do not add up fail the run too
fi
rm -f "$ctest_log"
step_done "ctest under ASan+UBSan"
if [ "$ctest_status" -ne 0 ]; then
  printf '%s\n' "${timings[@]}"
  echo "Quarn: $ctest_counts (ctest exit code $ctest_status)"
  exit 1
fi

# The SRCP sessions (reader thread, hand-over, disconnect) under ThreadSanitizer.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARN_GUI=OFF -DQUARN_BENCH=OFF -DQUARN_UNITY=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" > /dev/null
cmake --build build-tsan -j2 --target test_srcp_client test_srcp_net test_srcp_sim
for t in test_srcp_net test_srcp_client test_srcp_sim; do
  TSAN_OPTIONS=halt_on_error=1 "build-tsan/bin/$t" --gtest_brief=1
done
step_done "TSan (build and run)"

# Every reader of outside input under libFuzzer (ASan+UBSan, from build-san): SRCP answers and info
# lines, 0.7.3 feedback lines, the clock's server time lines, srcp-sim's command reader, the
# parameter, route, catalogue and layout files, the profile (ini) files and what phones send. Each target runs for its
# share of the time, seeded with its committed corpus and dictionary; any finding fails the run.
fuzz_work=$(mktemp -d)
trap 'rm -rf "$fuzz_work"' EXIT
while read -r name seconds max_len; do
  mkdir "$fuzz_work/$name"
  dict=()
  if [ -f "fuzz/$name.dict" ]; then dict=("-dict=fuzz/$name.dict"); fi
  # A small quarantine: freed memory is still poisoned for the rest of an input, but memory stays
  # warm instead of every allocation touching fresh pages (twice the inputs per second). No
  # allocation stacks: Qt's libraries have no frame pointers, so the quick unwinder makes a new
  # stack of nearly every allocation through Qt, and the sanitizer keeps each one for good (memory
  # grew by about 2 KB per input, without a bound). Errors are found all the same; run the target
  # on the saved input to see where the memory was allocated and freed.
  if ! ASAN_OPTIONS=quarantine_size_mb=16:malloc_context_size=0 QT_QPA_PLATFORM=offscreen "build-san/bin/fuzz_$name" -max_total_time="$seconds" -max_len="$max_len" \
      -print_final_stats=1 "${dict[@]}" -artifact_prefix="$fuzz_work/$name-" \
      "$fuzz_work/$name" "fuzz/corpus/$name" < /dev/null > "$fuzz_work/$name.log" 2>&1; then
    cat "$fuzz_work/$name.log"
    echo "fuzz_$name: finding (input above)"
    exit 1
  fi
  echo "fuzz_$name: $(sed -n 's/^stat::number_of_executed_units: *//p' "$fuzz_work/$name.log") inputs in ${seconds} s"
done <<'TARGETS'
examine_answer 12 2048
info_lines 12 4096
feedback_line 8 512
clock_time 8 1024
sim_lines 12 10000
parameter_file 12 8192
route_file 8 4096
catalogue 12 16384
layout_file 12 16384
profile 12 8192
withrottle_lines 8 2048
TARGETS
step_done "fuzz (11 targets)"

printf '%s\n' "${timings[@]}"
echo "Quarn: $ctest_counts; TSan and fuzz steps passed"
