// Building a fresh world from the current settings, and freeing it again.
#pragma once

#include "simulation/simulation.h"

namespace veltmoor {

// Builds the world for a drawing area of sim.PanelWidth x sim.PanelHeight pixels and, when
// "start with initial street" is ticked, plants the first node in the middle.
void NewSetup(Simulation& sim);

// Frees every object of the world and clears the charts and series that describe it.
void ClearWorld(Simulation& sim);

// "new setup": ClearWorld then NewSetup. The step timer and FieldType are left alone.
void B_setupClick(Simulation& sim);

}  // namespace veltmoor
