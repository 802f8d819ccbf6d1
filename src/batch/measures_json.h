// What a run measured, as JSON for veltmoor-batch's measures.json.
#pragma once

#include <nlohmann/json.hpp>

#include "simulation/simulation.h"

namespace veltmoor {

nlohmann::json MeasuresToJson(const Simulation& sim);

}  // namespace veltmoor
