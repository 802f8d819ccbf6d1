// The Total Operating Characteristic (Pontius & Si 2014) of a probability map against the
// change a later map shows: for every threshold, how many cells the map diagnoses as change
// (hits + false alarms) and how many of them changed (hits). Unlike a ROC curve it keeps
// the counts, so the quantity of change stays visible beside the allocation.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "validation/three_map.h"

namespace veltmoor {

struct TocPoint {
  // Cells with at least this share are diagnosed as change; none at the origin.
  std::optional<double> threshold;
  std::uint64_t diagnosed = 0;
  std::uint64_t hits = 0;
};

struct TocCurve {
  std::uint64_t population = 0;  // cells free in T0: those that can change
  std::uint64_t observed = 0;    // of them, developed in T1
  std::vector<TocPoint> points;  // from (0, 0) to (population, observed)
  // Area under the curve within its parallelogram, 0.5 for a random ranking, 1 for a
  // perfect one; the area under a ROC curve of the same ranking.
  Figure area;
};

// The TOC of a share of runs per cell, counts[i] / runs, over the cells free in `original`,
// against the cells of them developed in `reference`. Thresholds are every share k / runs;
// cells with the same share are diagnosed together (a straight segment).
TocCurve TotalOperatingCharacteristic(std::span<const std::uint32_t> counts, std::uint32_t runs,
                                      const MaskView& original, const MaskView& reference);

}  // namespace veltmoor
