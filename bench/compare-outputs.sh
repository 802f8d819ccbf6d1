#!/usr/bin/env bash
# Runs the same seeded towns with two builds of veltmoor-batch and compares world.json and
# measures.json byte for byte: a change meant to keep the results (a refactor, a faster
# kernel) must leave every file identical. Larger and longer runs than the golden cases.
#   bench/compare-outputs.sh BEFORE/veltmoor-batch AFTER/veltmoor-batch
set -euo pipefail
if [ $# -ne 2 ] || [ ! -x "$1" ] || [ ! -x "$2" ]; then
  echo "usage: $0 BEFORE/veltmoor-batch AFTER/veltmoor-batch" >&2
  exit 2
fi
before=$1
after=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

runs=(
  "network-s3   --field-type network   --steps 300 --seed 3"
  "boom-s7      --field-type boom      --steps 300 --seed 7 --analyse"
  "interlink-s9 --field-type interlink --steps 250 --seed 9 --analyse"
  "cluster-s11  --field-type cluster   --steps 200 --seed 11"
  "boom-s21-c15 --field-type boom      --steps 200 --seed 21 --set SE_cellScale=15 --analyse"
)

differ=0
for run in "${runs[@]}"; do
  read -r name args <<<"$run"
  # shellcheck disable=SC2086 # the arguments are meant to split
  "$before" run $args --no-picture --out "$out/before-$name" >/dev/null 2>&1
  # shellcheck disable=SC2086
  "$after" run $args --no-picture --out "$out/after-$name" >/dev/null 2>&1
  for file in world.json measures.json; do
    if cmp -s "$out/before-$name/$file" "$out/after-$name/$file"; then
      echo "same     $name/$file ($(wc -c <"$out/after-$name/$file") bytes)"
    else
      echo "DIFFERS  $name/$file"
      differ=1
    fi
  done
done
exit $differ
