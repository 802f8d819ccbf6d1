#!/usr/bin/env bash
# The cost of one boom step in two builds of veltmoor-batch, on the same worlds in the same
# run: each world is grown twice per binary, to FIRST and to LAST steps, with --no-picture,
# and the difference of the two times over LAST - FIRST steps is the cost of a step (setup
# and writing world.json cancel out). Wall and processor seconds are both shown, since the
# newer build shares the potential passes between two threads.
#   usage: [REPEATS=2] bench/compare-step-cost.sh REFERENCE_BATCH CANDIDATE_BATCH
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: bench/compare-step-cost.sh REFERENCE_BATCH CANDIDATE_BATCH" >&2
  exit 2
fi
reference=$1
candidate=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

# Seconds of wall clock and of processor for one run, as "wall cpu".
timed() {
  local TIMEFORMAT='%R %U %S' times
  times=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk -v t="$times" 'BEGIN { split(t, p, " "); printf "%.3f %.3f", p[1], p[2] + p[3] }'
}

# The fastest of REPEATS runs, as "wall cpu": writing the outputs ends with a flush to the
# disk whose time varies from run to run by more than a short run's steps take.
fastest() {
  local best_wall="" best_cpu="" wall cpu
  for ((k = 0; k < ${REPEATS:-2}; ++k)); do
    read -r wall cpu < <(timed "$@"; echo)
    best_wall=$(awk -v a="$best_wall" -v b="$wall" 'BEGIN { print (a == "" || b < a) ? b : a }')
    best_cpu=$(awk -v a="$best_cpu" -v b="$cpu" 'BEGIN { print (a == "" || b < a) ? b : a }')
  done
  echo "$best_wall $best_cpu"
}

# Milliseconds per step, "wall cpu", of one binary on one world.
per_step() {
  local binary=$1 width=$2 height=$3 cell=$4 first=$5 last=$6
  local args=(run --field-type boom --seed 5 --no-picture --width "$width" --height "$height"
    --set "SE_cellScale=$cell" --out "$work/out")
  local a b
  a=$(fastest "$binary" "${args[@]}" --steps "$first")
  b=$(fastest "$binary" "${args[@]}" --steps "$last")
  awk -v a="$a" -v b="$b" -v n=$((last - first)) \
    'BEGIN { split(a, x, " "); split(b, y, " "); printf "%.2f %.2f\n", 1000 * (y[1] - x[1]) / n, 1000 * (y[2] - x[2]) / n }'
}

printf '%-22s %12s %14s %14s %14s %14s %13s\n' world "fine cells" "ref wall ms" "ref cpu ms" \
  "new wall ms" "new cpu ms" "cpu speed-up"
# width height cell-size first last: boom steps after the cluster rounds on the cell-6 and
# cell-3 worlds; on the 9 M world the run stops after the cluster rounds, so those are timed.
while read -r width height cell first last; do
  fine=$((9 * (width / cell) * (height / cell)))
  read -r rw rc < <(per_step "$reference" "$width" "$height" "$cell" "$first" "$last")
  read -r nw nc < <(per_step "$candidate" "$width" "$height" "$cell" "$first" "$last")
  # Processor time is the steadier measure on a shared machine; it counts both threads.
  printf '%-22s %12d %14s %14s %14s %14s %12.1fx\n' "${width}x${height}/cell${cell}" "$fine" \
    "$rw" "$rc" "$nw" "$nc" "$(awk -v r="$rc" -v n="$nc" 'BEGIN { print r / n }')"
done <<'WORLDS'
900 500 6 40 340
1800 1000 6 40 240
1000 1000 3 30 90
1000 1000 1 1 4
WORLDS
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
