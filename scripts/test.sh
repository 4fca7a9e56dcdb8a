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

# The SRCP answer parser under libFuzzer (clang), seeded with the committed corpus, for one minute.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DQUARN_FUZZ=ON -DQUARN_GUI=OFF -DQUARN_BENCH=OFF > /dev/null
cmake --build build-fuzz -j2 --target fuzz_examine_answer
fuzz_work=$(mktemp -d)
trap 'rm -rf "$fuzz_work"' EXIT
mkdir "$fuzz_work/corpus"
if ! build-fuzz/bin/fuzz_examine_answer -max_total_time=60 -max_len=2048 -print_final_stats=1 \
    "$fuzz_work/corpus" fuzz/corpus/examine_answer > "$fuzz_work/log" 2>&1; then
  cat "$fuzz_work/log"
  exit 1
fi
tail -n 5 "$fuzz_work/log"

echo "Quarn: ${total:-0} passed, 0 failed"
