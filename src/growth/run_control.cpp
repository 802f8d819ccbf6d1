#include "growth/run_control.h"

#include <cassert>
#include <functional>
#include <limits>

#include "growth/building_rules.h"
#include "growth/potential_field.h"
#include "growth/street_growth.h"
#include "simulation/numbers.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

// The field-type radio buttons in the order they are tested, with their codes.
constexpr struct {
  SettingName name;
  std::uint8_t code;
} kFieldTypeButtons[] = {{setting::kNetworkOnly, kFieldNetworkOnly},
                         {setting::kBoom, kFieldBoom},
                         {setting::kInterlink, kFieldInterlink},
                         {setting::kCluster, kFieldCluster}};

// Counters are unsigned, spin edit values signed; compare both as wide signed integers.
bool Reached(std::uint32_t counter, long long limit) {
  return static_cast<long long>(counter) >= limit;
}

void DevelopmentPhase(const GrowthContext& growth, void (*collect)(const GrowthContext&),
                      void (*develop)(const GrowthContext&)) {
  World& world = growth.world;
  // Development reads the kept frontier instead of rescanning: land use changed anywhere but
  // through SetFineLandUse would make it pick from a wrong list without failing.
  assert(world.FrontierMatchesGrid());
  UpdatePotential(world, 5, growth.rows);
  SpreadPotentialToFineGrid(world, growth.rows);
  const long long n = growth.settings.Int(setting::kGrowthRate);
  // All n rounds run even after an empty list switched the timer off.
  for (long long i = 0; i < n; ++i) {
    collect(growth);
    develop(growth);
    // The potentials stay as they are for the whole phase and developing land recolours
    // fine cells only, so once the first round has shaded every cell the later repaints
    // would find nothing to do: on a large map they cost more than the rest of the round.
    if (i == 0) {
      ShadeByPotential(
          world, [&growth](const TCell& cell) { growth.sink.CellChanged(growth.world, cell); });
    }
  }
}

}  // namespace

void ReadFieldType(World& world, const SettingsSource& settings) {
  for (const auto& button : kFieldTypeButtons) {
    if (settings.Checked(button.name)) {
      world.FieldType = button.code;
      return;
    }
  }
}

void StartRun(Simulation& sim) {
  ReadFieldType(sim.world, sim.settings);
  sim.TimerEnabled = true;
}

void StopRun(Simulation& sim) {
  sim.TimerEnabled = false;
  sim.world.FieldType = kFieldStopped;
}

void NetworkPhase(const GrowthContext& growth) {
  GrowNetwork(growth);
  const World& world = growth.world;
  growth.sink.Label(label::kNodeCount, FormatInt(world.NodeCount));
  growth.sink.Label(label::kEdgeCount, FormatInt(world.EdgeCount));
  if (Reached(world.NodeCount, growth.settings.Int(setting::kStopAt))) {
    growth.running = false;
  }
}

void HwmDevelopmentPhase(const GrowthContext& growth) {
  DevelopmentPhase(growth, CollectHwmCandidates, DevelopBestHwmCandidate);
}

void ClusterDevelopmentPhase(const GrowthContext& growth) {
  DevelopmentPhase(growth, CollectClusterCandidates, DevelopBestClusterCandidate);
}

void GrowOneStep(const GrowthContext& growth, const std::function<void()>& periodicAnalyses) {
  World& world = growth.world;
  if (!world.Exists()) {
    return;  // no world between a clear and the next setup
  }
  switch (world.FieldType) {
    case kFieldNetworkOnly:
      NetworkPhase(growth);
      break;
    case kFieldBoom:
      if (Reached(world.TimeStep, growth.settings.Int(setting::kClusterRounds))) {
        NetworkPhase(growth);
        HwmDevelopmentPhase(growth);
      } else {
        ClusterDevelopmentPhase(growth);
      }
      break;
    case kFieldInterlink:
      if (Reached(world.TimeStep, growth.settings.Int(setting::kClusterRounds))) {
        HwmDevelopmentPhase(growth);
        NetworkPhase(growth);
      } else {
        ClusterDevelopmentPhase(growth);
      }
      break;
    case kFieldCluster:
      ClusterDevelopmentPhase(growth);
      break;
    default:
      break;
  }
  if (growth.settings.Checked(setting::kAutoBuild)) {
    ApplyBuildingRules(growth);
  }
  growth.sink.Label(label::kTimeStep, FormatInt(world.TimeStep));
  if (Reached(world.TimeStep, growth.settings.Int(setting::kStopAt))) {
    growth.running = false;
  }
  if (world.AnalysisCountdown == 0 && world.FieldType > kFieldNetworkOnly) {
    if (periodicAnalyses) {
      periodicAnalyses();
    }
    world.AnalysisCountdown = 10;
  }
  // While nothing develops the countdown runs on below zero; a saved world may start it at
  // the bottom of its range, where it stays.
  if (world.AnalysisCountdown > std::numeric_limits<std::int32_t>::min()) {
    --world.AnalysisCountdown;
  }
  ++world.TimeStep;
}

void SimulationStep(Simulation& sim) {
  std::function<void()> analyses;
  if (sim.PeriodicAnalyses) {
    analyses = [&sim] { sim.PeriodicAnalyses(sim); };
  }
  GrowOneStep(sim.Growth(), analyses);
}

}  // namespace veltmoor
