#!/usr/bin/env bash
# Runs `veltmoor-batch run` with two binaries over seeds, field types, cell sizes and auto-build
# on and off, and compares world.json and measures.json byte for byte. A refactoring that
# keeps results must show no difference against a build of the commit it started from.
#   usage: [SEEDS="1 7"] bench/compare-batch-outputs.sh REFERENCE_BATCH CANDIDATE_BATCH [STEPS]
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: bench/compare-batch-outputs.sh REFERENCE_BATCH CANDIDATE_BATCH [STEPS]" >&2
  exit 2
fi
reference=$1
candidate=$2
steps=${3:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

runs=0
differences=0
# Runs a command line with both binaries and compares the two files of each.
compare() {
  local name=$1
  shift
  "$reference" "$@" --out "$work/ref-$name" >/dev/null 2>&1 || true
  "$candidate" "$@" --out "$work/new-$name" >/dev/null 2>&1 || true
  for file in world.json measures.json; do
    runs=$((runs + 1))
    if ! cmp -s "$work/ref-$name/$file" "$work/new-$name/$file"; then
      echo "differs: $name $file"
      differences=$((differences + 1))
    fi
  done
}

# A few longer towns on the default-sized map, where growth has gone far.
compare network-s3 run --field-type network --steps 300 --seed 3 --no-picture
compare boom-s7 run --field-type boom --steps 300 --seed 7 --analyse --no-picture
compare interlink-s9 run --field-type interlink --steps 250 --seed 9 --analyse --no-picture
compare cluster-s11 run --field-type cluster --steps 200 --seed 11 --no-picture
compare boom-s21-c15 run --field-type boom --steps 200 --seed 21 --set SE_cellScale=15 \
  --analyse --no-picture

# Every field type, cell size and auto-build setting over a few seeds.
for seed in ${SEEDS:-1 7 42}; do
  for field in network boom interlink cluster; do
    for cell in 1 2 3 6 24; do
      for build in 1 0; do
        # Small cells on a small area keep a run short while still many cells.
        case $cell in
          1 | 2 | 3) size=(--width 90 --height 75) ;;
          *) size=(--width 400 --height 360) ;;
        esac
        args=(run --seed "$seed" --field-type "$field" --steps "$steps" --no-picture --analyse
              "${size[@]}" --set "SE_cellScale=$cell" --set "b_autoBuild=$build")
        compare "$seed-$field-$cell-$build" "${args[@]}"
      done
    done
  done
done
echo "compare-batch-outputs: $runs files compared, $differences differ ($steps steps per swept run)"
[ "$differences" -eq 0 ]
