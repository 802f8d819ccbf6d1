// The analyses a running town takes every tenth time step, handed to the model's time step
// as a hook so that the model never depends on its analyses.
#pragma once

#include "simulation/simulation.h"

namespace veltmoor {

// Structure analysis, building statistics and the index of segregation, in that order.
void RunPeriodicAnalyses(Simulation& sim);
// Makes SimulationStep run them; every front end, study and test that steps a town calls it
// once after building the simulation.
void InstallPeriodicAnalyses(Simulation& sim);

}  // namespace veltmoor
