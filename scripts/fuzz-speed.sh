#!/bin/bash
# Speed and memory of the fuzz targets, one at a time: inputs per second while fuzzing for a while
# from the committed corpus, peak RSS (at start and at the end, to see that memory stays flat), the
# machine's load, and each target's rate as a ratio of the baseline target's rate measured in the
# same run (the machine is shared: absolute rates move with the load, ratios much less).
#
#   scripts/fuzz-speed.sh [-b build-san] [-t seconds] [target ...]
#
# The sanitizer's options are the test command's unless ASAN_OPTIONS is set. Targets default to
# all of them; the baseline (feedback_line, the simplest) runs first and last and the ratio uses
# the mean of both. Also printed: CPU time per input (user + system, less start-up),
# which hardly depends on the load.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-san
seconds=60
while getopts "b:t:" opt; do
  case $opt in
    b) build=$OPTARG ;;
    t) seconds=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))

# The same input size limits as the test command's fuzz step.
declare -A max_len=([examine_answer]=2048 [info_lines]=4096 [feedback_line]=512 [clock_time]=1024
  [sim_lines]=10000 [parameter_file]=8192 [route_file]=4096 [catalogue]=16384 [layout_file]=16384
  [profile]=8192 [withrottle_lines]=2048)
baseline=feedback_line
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(examine_answer info_lines clock_time sim_lines parameter_file route_file catalogue layout_file profile
    withrottle_lines)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run <target> <seconds>: prints "<inputs> <inputs/s> <cpu us per input> <rss at start MB> <peak rss MB> <load>
# <seconds measured>". The rate divides by the wall time the fuzzing run really took, less the
# start-up (the one-input run before it), not by the seconds asked for.
run() {
  local name=$1 secs=$2 dict=()
  [ -f "fuzz/$name.dict" ] && dict=("-dict=fuzz/$name.dict")
  rm -rf "$work/corpus" && mkdir "$work/corpus"
  local load
  load=$(cut -d' ' -f1 /proc/loadavg)
  # Start-up alone (one input), to take out of the CPU time per input.
  ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=0}" QT_QPA_PLATFORM=offscreen /usr/bin/time -f "%U %S %e" -o "$work/start" \
    "$build/bin/fuzz_$name" -runs=1 -max_len="${max_len[$name]}" "${dict[@]}" -artifact_prefix="$work/" \
    "$work/corpus" "fuzz/corpus/$name" < /dev/null > /dev/null 2>&1
  rm -rf "$work/corpus" && mkdir "$work/corpus"
  if ! ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=0}" QT_QPA_PLATFORM=offscreen /usr/bin/time -f "%U %S %e" -o "$work/time" \
      "$build/bin/fuzz_$name" -max_total_time="$secs" -print_final_stats=1 -rss_limit_mb=2048 \
      -max_len="${max_len[$name]}" "${dict[@]}" -artifact_prefix="$work/" "$work/corpus" "fuzz/corpus/$name" \
      < /dev/null > "$work/log" 2>&1; then
    cat "$work/log" >&2
    echo "fuzz_$name: finding (input above)" >&2
    exit 1
  fi
  local inputs start_rss peak_rss
  inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
  peak_rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$work/log")
  start_rss=$(grep -m1 'INITED' "$work/log" | sed -n 's/.*rss: \([0-9]*\)Mb.*/\1/p')
  awk -v n="$inputs" -v s="$start_rss" -v p="$peak_rss" -v l="$load" \
    'NR == FNR { start = $1 + $2; startWall = $3; next }
     { wall = $3 - startWall; if (wall <= 0) wall = $3
       printf "%d %.0f %.0f %s %s %s %.1f\n", n, n / wall, ($1 + $2 - start) * 1e6 / n, s, p, l, wall }' \
    "$work/start" "$work/time"
}

printf '%-18s %10s %9s %9s %12s %9s %9s %6s %7s\n' target inputs seconds "inputs/s" "cpu us/input" "rss start" \
  "rss peak" load ratio
read -r _ first_rate _ <<< "$(run $baseline "$seconds")"
results=()
for name in "${targets[@]}"; do
  results+=("$name $(run "$name" "$seconds")")
done
read -r b_inputs last_rate b_cpu b_start b_peak b_load b_wall <<< "$(run $baseline "$seconds")"
base=$(( (first_rate + last_rate) / 2 ))
echo "baseline $baseline: $first_rate inputs/s first, $last_rate last" >&2
for line in "$baseline $b_inputs $base $b_cpu $b_start $b_peak $b_load $b_wall" "${results[@]}"; do
  read -r name inputs rate cpu start peak load wall <<< "$line"
  printf '%-18s %10s %9s %9s %12s %9s %9s %6s %7.2f\n' "$name" "$inputs" "$wall" "$rate" "$cpu" "$start" "$peak" \
    "$load" "$(awk -v r="$rate" -v b="$base" 'BEGIN { print (b > 0 ? r / b : 0) }')"
done
