// The periodic structure measures of a run: clusters of developed land with the rank-size
// rule, potential correlations and density profiles.
#pragma once

#include "simulation/simulation.h"

namespace veltmoor {

void StructureAnalysis(Simulation& sim);

}  // namespace veltmoor
