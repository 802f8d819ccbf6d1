#!/usr/bin/env bash
# Import time and peak memory of `veltmoor-batch import` for a synthetic 10 000 x 10 000 px
# land-use raster (tiled, compressed GeoTIFF of 1 m pixels: a town of developed blocks
# thinning out from the middle), at two fine-cell sizes.
#
#   bench/bench-import.sh BUILD_DIR
#
# SIDE (default 10000) sets the raster's side in pixels.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: bench/bench-import.sh BUILD_DIR" >&2
  exit 2
fi
batch=$(cd "$1" && pwd)/src/veltmoor-batch
if [ ! -x "$batch" ]; then
  echo "bench-import: $batch is missing; build the veltmoor-batch target first" >&2
  exit 1
fi
side=${SIDE:-10000}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Written strip by strip through GDAL's Python bindings (the system Python has them).
/usr/bin/python3 - "$work/town.tif" "$side" <<'PY'
import sys
import numpy as np
from osgeo import gdal, osr
path, side = sys.argv[1], int(sys.argv[2])
ds = gdal.GetDriverByName("GTiff").Create(path, side, side, 1, gdal.GDT_Byte,
                                          ["TILED=YES", "COMPRESS=DEFLATE"])
ds.SetGeoTransform([400000.0, 1.0, 0.0, 5000000.0 + side, 0.0, -1.0])
srs = osr.SpatialReference()
srs.ImportFromEPSG(32632)
ds.SetProjection(srs.ExportToWkt())
band = ds.GetRasterBand(1)
rng = np.random.default_rng(1)
x = np.arange(side)
for top in range(0, side, 512):
    rows = min(512, side - top)
    y = np.arange(top, top + rows)[:, None]
    distance = np.hypot(x[None, :] - side / 2, y - side / 2) / (side / 2)
    blocks = ((x[None, :] // 40 + y // 40) % 3 != 0)
    developed = blocks & (rng.random((rows, side)) > distance)
    band.WriteArray(developed.astype(np.uint8), 0, top)
ds = None
PY

echo
echo "Import of a ${side} x ${side} px raster ($(du -h "$work/town.tif" | cut -f1) GeoTIFF)"
printf '  %-10s %-12s %-10s %-12s\n' "fine cell" "cells" "seconds" "peak MB"
for fine in 10 5; do
  /usr/bin/time -f '%e %M' -o "$work/time.txt" \
    "$batch" import --landuse "$work/town.tif" --developed 1 --fine-cell "$fine" \
    --no-picture --out "$work/out-$fine" 2>"$work/err.txt" >/dev/null
  read -r seconds kilobytes <"$work/time.txt"
  cells=$(( side / fine / 3 ))
  printf '  %-10s %-12s %-10s %-12s\n' "${fine} m" "${cells} x ${cells}" "$seconds" \
    "$(( kilobytes / 1024 ))"
done
