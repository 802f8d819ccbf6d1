#!/usr/bin/env bash
# Times a tiny development-parameter study headless (2 values x 2 runs x 100 steps on the
# default 611 x 689 world): one process against 2 shards under GNU parallel and a merge,
# and how much of the study goes into writing files and drawing the map for its pictures.
#
#   bench/bench-study.sh BUILD_DIR
#
# STEPS (default 100) sets the steps per run, REPEAT (default 3) how often each variant
# runs; the best time of each is shown.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: bench/bench-study.sh BUILD_DIR" >&2
  exit 2
fi
batch=$(cd "$1" && pwd)/src/veltmoor-batch
if [ ! -x "$batch" ]; then
  echo "bench-study: $batch is missing; build the veltmoor-batch target first" >&2
  exit 1
fi
if ! command -v parallel >/dev/null; then
  echo "bench-study: GNU parallel is not installed (apt-get install parallel)" >&2
  exit 1
fi
steps=${STEPS:-100}
repeat=${REPEAT:-3}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

study=(study devpara --seed 1
  --study-set CB0_acti=1 --study-set E0_valFrom=1,0 --study-set E0_valTo=1,2
  --study-set E_incre=0,2 --study-set SE_perVal=2 --study-set "SE_toSteps=$steps")

now() { date +%s.%N; }

# Best wall time in seconds of REPEAT runs of "$@", each in a fresh folder.
best() {
  local best_time="" start end took
  for _ in $(seq "$repeat"); do
    rm -rf "$work/run" && mkdir "$work/run" && cd "$work/run"
    start=$(now)
    "$@" >/dev/null
    end=$(now)
    took=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    if [ -z "$best_time" ] || awk -v t="$took" -v b="$best_time" 'BEGIN { exit !(t < b) }'; then
      best_time=$took
    fi
  done
  cd "$work"
  echo "$best_time"
}

single() { "$batch" "${study[@]}" --out single; }
shards_parallel() {
  parallel --will-cite --halt now,fail=1 "$batch" "${study[@]}" --shard {}/2 --out part{} ::: 1 2
  "$batch" merge merged part1 part2
}
# The same shards started by the shell: what GNU parallel's own start-up costs.
shards_plain() {
  "$batch" "${study[@]}" --shard 1/2 --out part1 &
  local first=$!
  "$batch" "${study[@]}" --shard 2/2 --out part2
  wait "$first"
  "$batch" merge merged part1 part2
}
pictures() { "$batch" "${study[@]}" --pictures --out single; }

# The split study must give what the single one gives, or its time means nothing.
single
shards_parallel
cmp single/study.csv merged/study.csv || {
  echo "bench-study: the merged study.csv differs from the single-process one" >&2
  exit 1
}

read -r load_before _ </proc/loadavg
t_single=$(best single)
t_parallel=$(best shards_parallel)
t_plain=$(best shards_plain)
t_parallel_alone=$(best parallel --will-cite true ::: 1 2)
t_pictures=$(best pictures)
timing_plain=$("$batch" "${study[@]}" --timing --out timing1 2>&1 >/dev/null | tail -1)
timing_pictures=$("$batch" "${study[@]}" --timing --pictures --out timing2 2>&1 >/dev/null | tail -1)
read -r load_after _ </proc/loadavg

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
share() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", 100 * (a - b) / a }'; }

echo
echo "=== development-parameter study, 2 values x 2 runs x $steps steps, default world ==="
echo "machine: $(nproc) cores; load average $load_before before, $load_after after"
echo "best of $repeat:"
echo "  one process                           ${t_single} s"
echo "  2 shards under GNU parallel + merge   ${t_parallel} s   speed-up $(ratio "$t_single" "$t_parallel")x"
echo "  2 shards started by the shell + merge ${t_plain} s   speed-up $(ratio "$t_single" "$t_plain")x"
echo "  GNU parallel starting 2 empty jobs    ${t_parallel_alone} s"
echo "  one process with --pictures           ${t_pictures} s   (map drawn on Qt canvases," \
  "$(share "$t_pictures" "$t_single") % of the time)"
echo "output, as the study counts it (--timing):"
echo "  without pictures: ${timing_plain#study: }"
echo "  with pictures:    ${timing_pictures#study: }"
