// Running the simulation: the field type, start and stop, and one time step.
#pragma once

#include <functional>

#include "simulation/simulation.h"

namespace veltmoor {

// Sets FieldType from the first checked field-type radio button; none checked keeps it.
void ReadFieldType(World& world, const SettingsSource& settings);
void StartRun(Simulation& sim);  // "start": ReadFieldType, timer on
void StopRun(Simulation& sim);   // "stop": timer off, FieldType 0

// One time step: the phases of the field type, the building rules when asked, and every
// tenth step of a growing town `periodicAnalyses`, when given.
void GrowOneStep(const GrowthContext& growth, const std::function<void()>& periodicAnalyses);
// The step of the run's timer: GrowOneStep on the simulation, with its installed analyses.
void SimulationStep(Simulation& sim);
void NetworkPhase(const GrowthContext& growth);
void HwmDevelopmentPhase(const GrowthContext& growth);
void ClusterDevelopmentPhase(const GrowthContext& growth);

}  // namespace veltmoor
