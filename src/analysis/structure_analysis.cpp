#include "analysis/structure_analysis.h"

namespace veltmoor {

// Placeholder until the cluster analysis lands: the time step already calls it at the
// right moments, and it measures nothing yet.
void StructureAnalysis(Simulation&) {}

}  // namespace veltmoor
