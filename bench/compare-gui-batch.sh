#!/usr/bin/env bash
# Step rate of the desktop program with the map shown against veltmoor-batch with the Qt
# canvas, same settings, same run: a 500-step boom town.
set -euo pipefail
build=${1:-build-bench}
steps=500
screenshot="$build/src/veltmoor-screenshot"
batch="$build/src/veltmoor-batch"
if [ ! -x "$screenshot" ] || [ ! -x "$batch" ]; then
  echo "compare-gui-batch: $screenshot or $batch missing (build with the GUI)" >&2
  exit 0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

echo "=== desktop program vs veltmoor-batch, boom, $steps steps ==="
desktop=$(xvfb-run -a -s "-screen 0 1600x1000x24" "$screenshot" --bench "$steps" 2>/dev/null |
  grep '^desktop:')
start=$(date +%s.%N)
"$batch" run --field-type boom --steps "$steps" --set SE_stopAt=$((steps - 1)) --out "$out" \
  2>/dev/null
end=$(date +%s.%N)
echo "$desktop"
python3 - "$desktop" "$start" "$end" "$steps" <<'PY'
import re, sys
desktop, start, end, steps = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
batch_rate = steps / (end - start)
gui_rate = float(re.search(r"([0-9.]+) steps/s", desktop).group(1))
print(f"batch (Qt canvas): {steps} steps in {end - start:.2f} s, {batch_rate:.1f} steps/s")
print(f"desktop / batch: {gui_rate / batch_rate:.2f} (goal: at least 0.5)")
PY
