// Landscape metrics of built land as FRAGSTATS defines them (and the R package
// landscapemetrics and the Python package pylandstats compute them): the class "developed"
// of a two-class developed/free landscape, cell-based perimeters and areas, ln-based
// fractal dimensions. Nothing here knows a file format or a coordinate system: the caller
// hands over a mask and the side of a cell in metres.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simulation/world.h"

namespace veltmoor {

// A landscape of square cells, row by row, 1 where the cell is developed.
struct LandscapeMask {
  int columns = 0;
  int rows = 0;
  std::vector<std::uint8_t> developed;
};

struct LandscapeRules {
  int patch_rule = 8;              // 8: cells touching at a corner form one patch; 4: sides only
  bool boundary_edge = false;      // count the landscape's border as edge (ED)
  bool streets_developed = false;  // street cells belong to the developed class
};

// Every metric that can be undefined is empty then (JSON null, never NaN). Areas are in
// hectares, lengths in metres, densities per 100 ha, shares in percent.
struct LandscapeMetrics {
  std::uint64_t NP = 0;  // number of patches
  std::optional<double> PLAND, PD, LPI, ED, AREA_MN, AREA_AM, FRAC_MN, FRAC_AM, PAFRAC, AI,
      COHESION, ENN_MN, CONTAG;
};

// The developed class of a world's fine grid: fine cells whose land use is developed, and
// street cells too when the rules say so.
LandscapeMask DevelopedMask(const Grid2D<TFineCell>& fine, bool streets_developed);

// The metrics of `mask` with cells `cell_metres` on a side. Without a metric scale
// (cell_metres empty) the metrics that need areas or distances are left undefined.
// Cost: one labelling pass over the cells plus a nearest-neighbour search among the cells
// on patch borders; memory two rows of labels, 20 bytes a provisional label and, with a
// metric scale, 12 bytes a cell on a patch border.
LandscapeMetrics ComputeLandscapeMetrics(const LandscapeMask& mask,
                                         std::optional<double> cell_metres,
                                         const LandscapeRules& rules);

// The metrics' names, in the order of the CSV columns and the JSON object.
const std::vector<std::string>& LandscapeMetricNames();
// A metric by its name ("ED"); empty when undefined or unknown.
std::optional<double> LandscapeMetric(const LandscapeMetrics& metrics, const std::string& name);

}  // namespace veltmoor
