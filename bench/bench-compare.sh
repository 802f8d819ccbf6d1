#!/usr/bin/env bash
# Time and peak memory of `veltmoor-batch compare` on a synthetic pair of 10 M-cell maps
# (3163 x 3163 class rasters: T0 a town, T1 and S each grown around it, differently), with
# the default 20 random baselines and without them, against the memory of the three masks,
# and once more with the landscape measures of S and T1.
#
#   bench/bench-compare.sh BUILD_DIR
#
# SIDE (default 3163) sets the maps' side in cells.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: bench/bench-compare.sh BUILD_DIR" >&2
  exit 2
fi
batch=$(cd "$1" && pwd)/src/veltmoor-batch
if [ ! -x "$batch" ]; then
  echo "bench-compare: $batch is missing; build the veltmoor-batch target first" >&2
  exit 1
fi
side=${SIDE:-3163}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$work" "$side" <<'PY'
import sys
import numpy as np
from osgeo import gdal, osr
folder, side = sys.argv[1], int(sys.argv[2])
rng = np.random.default_rng(1)
y, x = np.mgrid[0:side, 0:side]
r = np.hypot(x - side / 2, y - side / 2) / side
noise = rng.random((side, side))
maps = {"t0": r + 0.3 * noise < 0.25,
        "t1": r + 0.3 * noise < 0.35,
        "s": r + 0.3 * rng.random((side, side)) < 0.35}
maps["t1"] |= maps["t0"]
maps["s"] |= maps["t0"]
srs = osr.SpatialReference()
srs.ImportFromEPSG(32632)
for name, developed in maps.items():
    ds = gdal.GetDriverByName("GTiff").Create(f"{folder}/{name}.tif", side, side, 1,
                                              gdal.GDT_Byte, ["TILED=YES", "COMPRESS=DEFLATE"])
    ds.SetGeoTransform([400000.0, 30.0, 0.0, 5000000.0, 0.0, -30.0])
    ds.SetProjection(srs.ExportToWkt())
    ds.GetRasterBand(1).WriteArray(np.where(developed, 21, 11).astype(np.uint8))
    ds = None
PY

# What the program holds before any map (Qt, GDAL, the code): compare on two 4 x 4 maps.
SIDE_SMALL=4 /usr/bin/python3 - "$work/small" <<'PY'
import os, sys
from osgeo import gdal
os.makedirs(sys.argv[1])
for name in ("t0", "t1", "s"):
    ds = gdal.GetDriverByName("GTiff").Create(f"{sys.argv[1]}/{name}.tif", 4, 4, 1, gdal.GDT_Byte)
    ds.SetGeoTransform([0.0, 1.0, 0.0, 4.0, 0.0, -1.0])
    ds.GetRasterBand(1).Fill(21)
    ds = None
PY
/usr/bin/time -f '%M' -o "$work/time" "$batch" compare --original "$work/small/t0.tif" \
  --reference "$work/small/t1.tif" --simulated "$work/small/s.tif" --developed 21 \
  --no-measures --out "$work/small-out" 2>/dev/null
read -r base_kb <"$work/time"

cells=$((side * side))
masks_mb=$((3 * cells / 1000000))
echo "compare, two ${side} x ${side} maps and S ($cells cells; the three masks: ${masks_mb} MB)"
printf '  %-22s %8s %8s %8s %14s\n' "baselines" "s" "CPU s" "peak MB" "B/cell > masks"
# The placement statistics alone (--no-measures), then with the landscape metrics of S and
# T1 beside them (a labelling pass over each map, one map at a time).
for what in "20 --no-measures" "0 --no-measures" "20"; do
  read -r runs flag <<<"$what"
  args="--original $work/t0.tif --reference $work/t1.tif --simulated $work/s.tif --developed 21"
  /usr/bin/time -f '%e %M %U' -o "$work/time" "$batch" compare $args --baseline-runs "$runs" \
    $flag --out "$work/out$runs$flag" 2>/dev/null
  read -r seconds kb user <"$work/time"
  extra=$(awk -v kb="$kb" -v base="$base_kb" -v cells="$cells" -v masks="$((3 * cells))" \
    'BEGIN { printf "%.2f", ((kb - base) * 1024 - masks) / cells }')
  label="$runs random${flag:+, no measures}"
  printf '  %-22s %8s %8s %8d %14s\n' "$label" "$seconds" "$user" "$((kb / 1024))" "$extra"
done
echo "  (bytes per cell above the masks: peak memory less the $((base_kb / 1024)) MB the program holds on 4 x 4 maps, less the masks)"
