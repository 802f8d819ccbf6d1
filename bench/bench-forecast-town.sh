#!/usr/bin/env bash
# The cost of an ensemble on the Landsat town of `make town`: forecast of RUNS boom runs
# (default 100) of STEPS steps (default 300, as make town grows it) as two shards on the two
# cores and merged, against single `run --from` processes of the same town and seeds. The
# processor time per run is the measure, since a shared machine stretches the wall time.
#
#   bench/bench-forecast-town.sh BUILD_DIR [TOWN_DIR]
#
# SINGLE (default 3) sets how many single runs are timed.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: bench/bench-forecast-town.sh BUILD_DIR [TOWN_DIR]" >&2
  exit 2
fi
batch=$(cd "$1" && pwd)/src/veltmoor-batch
town=${2:-out/town}
if [ ! -x "$batch" ]; then
  echo "bench-forecast-town: $batch is missing; build the veltmoor-batch target first" >&2
  exit 1
fi
if [ ! -f "$town/builtup.tif" ]; then
  echo "bench-forecast-town: $town/builtup.tif is missing; run make town first" >&2
  exit 1
fi
runs=${RUNS:-100}
steps=${STEPS:-300}
single=${SINGLE:-3}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$batch" import --landuse "$town/builtup.tif" --developed 1 --cell-size 12 --seed 1 \
  --out "$work/town" 2>/dev/null
start="$work/town/world.json"
grow=(--field-type boom --steps "$steps")
cpu() { awk '{ printf "%.3f", $2 + $3 }' "$1"; }

t0=$(date +%s.%N)
for k in 1 2; do
  /usr/bin/time -f '%e %U %S' -o "$work/time$k" "$batch" forecast --start "$start" \
    --runs "$runs" "${grow[@]}" --seed 1 --shard "$k/2" --out "$work/part$k" 2>/dev/null &
done
wait
"$batch" merge "$work/forecast" "$work/part1" "$work/part2" 2>/dev/null
t1=$(date +%s.%N)
forecast_cpu=$(echo "$(cpu "$work/time1") + $(cpu "$work/time2")" | bc)

# The first runs of the ensemble again, each a process of its own with the run's seed.
single_cpu=0
for ((r = 0; r < single; r++)); do
  seed=$(awk -F, -v row=$((r + 2)) 'NR == row { print $2 }' "$work/forecast/runs.csv")
  /usr/bin/time -f '%e %U %S' -o "$work/time-single" "$batch" run --from "$start" "${grow[@]}" \
    --seed "$seed" --no-picture --out "$work/run" 2>/dev/null
  single_cpu=$(echo "$single_cpu + $(cpu "$work/time-single")" | bc)
done

awk -v runs="$runs" -v steps="$steps" -v single="$single" -v single_cpu="$single_cpu" \
  -v forecast_cpu="$forecast_cpu" -v wall="$(echo "$t1 - $t0" | bc)" \
  -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
  printf "forecast of the Landsat town, %d boom runs of %d steps; load average %s\n", runs, steps, load
  printf "  %-44s %8.2f s CPU a run\n", "single run (run --from, mean of " single ")", single_cpu / single
  printf "  %-44s %8.2f s CPU a run  overhead %+.1f %%\n", "forecast, 2 shards + merge", forecast_cpu / runs, 100 * (forecast_cpu / runs / (single_cpu / single) - 1)
  printf "  %-44s %8.2f s wall (%.2f s a run on 2 cores)\n", "forecast, 2 shards + merge", wall, wall / runs
}'
