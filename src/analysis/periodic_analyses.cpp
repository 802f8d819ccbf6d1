#include "analysis/periodic_analyses.h"

#include "analysis/segregation.h"
#include "analysis/structure_analysis.h"
#include "growth/building_rules.h"

namespace veltmoor {

void RunPeriodicAnalyses(Simulation& sim) {
  StructureAnalysis(sim);
  BuildingStatistics(sim.world, *sim.sink);
  PeriodicSegregation(sim);
}

void InstallPeriodicAnalyses(Simulation& sim) {
  sim.PeriodicAnalyses = RunPeriodicAnalyses;
}

}  // namespace veltmoor
