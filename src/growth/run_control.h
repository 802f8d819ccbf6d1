// Running the simulation: the field type, start and stop, and one time step.
#pragma once

#include "simulation/simulation.h"

namespace veltmoor {

// Sets FieldType from the first checked field-type radio button; none checked keeps it.
void ReadFieldType(Simulation& sim);
void StartRun(Simulation& sim);  // "start": ReadFieldType, timer on
void StopRun(Simulation& sim);   // "stop": timer off, FieldType 0

void SimulationStep(Simulation& sim);
void NetworkPhase(Simulation& sim);
void HwmDevelopmentPhase(Simulation& sim);
void ClusterDevelopmentPhase(Simulation& sim);

}  // namespace veltmoor
