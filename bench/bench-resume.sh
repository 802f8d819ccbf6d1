#!/usr/bin/env bash
# Saving and resuming a large world: processor time and peak memory of the run that writes
# world.json, and of `run --from` that reads it and runs one more step.
#
#   bench/bench-resume.sh BUILD_DIR
#
# SIDE (default 1000) sets the drawing area's side in pixels at cell size 1: 1000 gives
# 9 M fine cells, 3000 gives 81 M. On the shared 2-core machine (load about 13, Release):
# 9 M: written in 2.7 s of processor time at 248 MB, resumed in 2.1 s at 244 MB; 81 M
# (2.2 GB world.json): written in 34.8 s at 1.84 GB, resumed in 30.9 s at 1.83 GB.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: bench/bench-resume.sh BUILD_DIR" >&2
  exit 2
fi
batch=$(cd "$1" && pwd)/src/veltmoor-batch
if [ ! -x "$batch" ]; then
  echo "bench-resume: $batch is missing; build the veltmoor-batch target first" >&2
  exit 1
fi
side=${SIDE:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints "<label>: <cpu> s processor time, <wall> s, peak <MB> MB" from /usr/bin/time -v.
measure() {
  local label=$1
  shift
  /usr/bin/time -v "$@" 2>"$work/time.txt" >/dev/null || {
    cat "$work/time.txt" >&2
    exit 1
  }
  awk -v label="$label" '
    /User time/ { user = $NF } /System time/ { sys = $NF }
    /Maximum resident/ { rss = $NF } /Elapsed \(wall/ { wall = $NF }
    END { printf "%s: %.2f s processor time, %s wall, peak %.0f MB\n", label, user + sys, wall, rss / 1024 }
  ' "$work/time.txt"
}

echo "world ${side} x ${side} px, cell size 1: $((side * side * 9)) fine cells"
measure "write (5 boom steps)" "$batch" run --field-type boom --seed 7 --width "$side" \
  --height "$side" --set SE_cellScale=1 --steps 5 --no-picture --out "$work/written"
echo "world.json: $(($(stat -c %s "$work/written/world.json") / 1000000)) MB"
measure "resume (run --from, 1 step)" "$batch" run --from "$work/written/world.json" \
  --steps 1 --no-picture --out "$work/resumed"
