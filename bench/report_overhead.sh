#!/usr/bin/env bash
# What the join report costs when it is off: the whole generation on the engine as it is (no
# observer, an idle observer, the join report) against the engine before the observer existed,
# in instructions (callgrind, exact and repeatable) and in wall time (noisy on a shared machine).
#
#   bench/report_overhead.sh [BASELINE_REVISION] [REPETITIONS]
#
# BASELINE_REVISION defaults to the last revision without engine/generation_observer.h.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev valgrind

baseline=${1:-$(git rev-list --max-count=1 "$(git log --diff-filter=A --format=%H -- \
  engine/generation_observer.h | tail -n 1)^")}
repetitions=${2:-10}
build=build/report-overhead
rm -rf "$build/baseline"
mkdir -p "$build/baseline"
git archive "$baseline" engine | tar -x -C "$build/baseline"
cmake --preset bench -B "$build" -DLANTRA_BENCH_BASELINE_DIR="$PWD/$build/baseline" >/dev/null
cmake --build "$build" -j 2 --target report_overhead_bench report_overhead_bench_baseline >/dev/null

# Instructions of one generation, GenerateOnce alone.
instructions() {
  local out
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='*GenerateOnce*' \
    "$@" >/dev/null 2>&1
  awk '/^(summary|totals):/ { print $2; exit }' "$out"
  rm -f "$out"
}

echo "Instructions of one generation (50,000 content records, 100,000 code lines, UTF-8):"
base=$(instructions "$build/bench/report_overhead_bench_baseline" --once=none)
printf '  %-36s %14s\n' "engine before the observer ($(git rev-parse --short "$baseline"))" "$base"
for mode in none idle report; do
  count=$(instructions "$build/bench/report_overhead_bench" --once=$mode)
  awk -v mode="$mode" -v count="$count" -v base="$base" \
    'BEGIN { printf "  %-36s %14s  %+.3f%%\n", "observer: " mode, count, (count - base) * 100 / base }' 
done

echo
echo "Wall time, median of $repetitions runs:"
for bench in report_overhead_bench_baseline report_overhead_bench; do
  "$build/bench/$bench" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_(median|cv) '
done
