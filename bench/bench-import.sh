#!/usr/bin/env bash
# Import time and peak memory of `veltmoor-batch import` for a synthetic 10 000 x 10 000 px
# land-use raster (tiled, compressed GeoTIFF of 1 m pixels: a town of developed blocks
# thinning out from the middle), against GDAL's own average resampling of the same raster
# to the same grid, and for worlds of 1 M, 11 M and 36 M fine cells.
#
#   bench/bench-import.sh BUILD_DIR
#
# SIDE (default 10000) sets the raster's side in pixels; FINE (default "10 3 1.6667") the
# fine-cell sizes in metres.
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
fines=${FINE:-10 3 1.6667}
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

# Wall seconds, processor seconds and peak MB of a command, from /usr/bin/time.
measure() {
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" 2>"$work/err.txt" >/dev/null ||
    { cat "$work/err.txt" >&2; exit 1; }
  read -r wall user system kilobytes <"$work/time.txt"
  printf '%8s %8s %8s' "$wall" "$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" "$(( kilobytes / 1024 ))"
}

echo
echo "Import of a ${side} x ${side} px raster ($(du -h "$work/town.tif" | cut -f1) GeoTIFF)"
printf '  %-58s %8s %8s %8s\n' "" "wall s" "cpu s" "peak MB"
out=$(( side / 10 ))
printf '  %-58s ' "gdal_translate -r average -outsize $out $out"
measure gdal_translate -q -r average -outsize "$out" "$out" "$work/town.tif" "$work/gdal.tif"
echo
for fine in $fines; do
  cells=$(awk -v s="$side" -v f="$fine" 'BEGIN { printf "%d", int(s / f / 3) * int(s / f / 3) * 9 }')
  for picture in "" "--no-picture"; do
    printf '  %-58s ' "import, ${fine} m fine cells (${cells} fine) ${picture:-with map.png}"
    measure "$batch" import --landuse "$work/town.tif" --developed 1 --fine-cell "$fine" \
      $picture --out "$work/out"
    echo
  done
done
