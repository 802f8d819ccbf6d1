// The world as JSON for veltmoor-batch's world.json, readable from Python, R or a GIS.
#pragma once

#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

#include "simulation/simulation.h"

namespace veltmoor {

nlohmann::json WorldToJson(const Simulation& sim, std::optional<std::uint64_t> seed);

}  // namespace veltmoor
