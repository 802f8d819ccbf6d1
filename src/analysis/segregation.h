// Which fine cells count as developed, the tiling of the fine grid, and the index of
// segregation of developed against undeveloped land.
#pragma once

#include "simulation/simulation.h"

namespace veltmoor {

void PeriodicSegregation(Simulation& sim);

}  // namespace veltmoor
