#include "analysis/segregation.h"

namespace veltmoor {

// Placeholder until the segregation analysis lands: the time step already calls it every
// tenth step, and it records nothing yet.
void PeriodicSegregation(Simulation&) {}

}  // namespace veltmoor
