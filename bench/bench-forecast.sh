#!/usr/bin/env bash
# The cost of an ensemble: forecast of RUNS runs (default 20) from one grown town, in one
# process and as two shards merged, against the same runs made one by one with `run --from`.
#
#   bench/bench-forecast.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: bench/bench-forecast.sh BUILD_DIR" >&2
  exit 2
fi
batch=$(cd "$1" && pwd)/src/veltmoor-batch
if [ ! -x "$batch" ]; then
  echo "bench-forecast: $batch is missing; build the veltmoor-batch target first" >&2
  exit 1
fi
runs=${RUNS:-20}
steps=${STEPS:-200}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$batch" run --field-type boom --steps 100 --seed 1 --no-picture --out "$work/start" 2>/dev/null
start="$work/start/world.json"
now() { date +%s.%N; }

t0=$(now)
for ((r = 0; r < runs; r++)); do
  "$batch" run --from "$start" --field-type boom --steps "$steps" --seed $((r + 1)) \
    --no-picture --out "$work/run" 2>/dev/null
done
t1=$(now)
"$batch" forecast --start "$start" --runs "$runs" --steps "$steps" --field-type boom --seed 1 \
  --out "$work/forecast" 2>/dev/null
t2=$(now)
for k in 1 2; do
  "$batch" forecast --start "$start" --runs "$runs" --steps "$steps" --field-type boom \
    --seed 1 --shard "$k/2" --out "$work/part$k" 2>/dev/null &
done
wait
"$batch" merge "$work/merged" "$work/part1" "$work/part2" 2>/dev/null
t3=$(now)
cmp -s "$work/forecast/probability.tif" "$work/merged/probability.tif" ||
  { echo "bench-forecast: the merged forecast differs from one process's" >&2; exit 1; }

awk -v runs="$runs" -v steps="$steps" -v single="$(echo "$t1 - $t0" | bc)" \
  -v one="$(echo "$t2 - $t1" | bc)" -v two="$(echo "$t3 - $t2" | bc)" 'BEGIN {
  printf "forecast, %d boom runs of %d steps from a grown default world\n", runs, steps
  printf "  %-40s %8.2f s  %6.3f s/run\n", "single runs (run --from, one by one)", single, single / runs
  printf "  %-40s %8.2f s  %6.3f s/run  overhead %+.0f %%\n", "forecast, one process", one, one / runs, 100 * (one / single - 1)
  printf "  %-40s %8.2f s  %6.3f s/run  speed-up %.2fx\n", "forecast, 2 shards + merge", two, two / runs, one / two
}'
