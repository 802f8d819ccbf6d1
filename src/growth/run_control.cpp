#include "growth/run_control.h"

#include <cassert>
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

void DevelopmentPhase(Simulation& sim, void (*collect)(Simulation&), void (*develop)(Simulation&)) {
  // Development reads the kept frontier instead of rescanning: land use changed anywhere but
  // through SetFineLandUse would make it pick from a wrong list without failing.
  assert(sim.world.FrontierMatchesGrid());
  UpdatePotential(sim.world, 5, &sim.rows);
  SpreadPotentialToFineGrid(sim.world, &sim.rows);
  const long long n = sim.settings.Int(setting::kGrowthRate);
  // All n rounds run even after an empty list switched the timer off.
  for (long long i = 0; i < n; ++i) {
    collect(sim);
    develop(sim);
    // The potentials stay as they are for the whole phase and developing land recolours
    // fine cells only, so once the first round has shaded every cell the later repaints
    // would find nothing to do: on a large map they cost more than the rest of the round.
    if (i == 0) {
      sim.map.PaintPotential(sim.world);
    }
  }
}

}  // namespace

void ReadFieldType(Simulation& sim) {
  for (const auto& button : kFieldTypeButtons) {
    if (sim.settings.Checked(button.name)) {
      sim.world.FieldType = button.code;
      return;
    }
  }
}

void StartRun(Simulation& sim) {
  ReadFieldType(sim);
  sim.TimerEnabled = true;
}

void StopRun(Simulation& sim) {
  sim.TimerEnabled = false;
  sim.world.FieldType = kFieldStopped;
}

void NetworkPhase(Simulation& sim) {
  GrowNetwork(sim);
  sim.labels.Set(label::kNodeCount, FormatInt(sim.world.NodeCount));
  sim.labels.Set(label::kEdgeCount, FormatInt(sim.world.EdgeCount));
  if (Reached(sim.world.NodeCount, sim.settings.Int(setting::kStopAt))) {
    sim.TimerEnabled = false;
  }
}

void HwmDevelopmentPhase(Simulation& sim) {
  DevelopmentPhase(sim, CollectHwmCandidates, DevelopBestHwmCandidate);
}

void ClusterDevelopmentPhase(Simulation& sim) {
  DevelopmentPhase(sim, CollectClusterCandidates, DevelopBestClusterCandidate);
}

void SimulationStep(Simulation& sim) {
  World& world = sim.world;
  if (!world.Exists()) {
    return;  // no world between a clear and the next setup
  }
  switch (world.FieldType) {
    case kFieldNetworkOnly:
      NetworkPhase(sim);
      break;
    case kFieldBoom:
      if (Reached(world.TimeStep, sim.settings.Int(setting::kClusterRounds))) {
        NetworkPhase(sim);
        HwmDevelopmentPhase(sim);
      } else {
        ClusterDevelopmentPhase(sim);
      }
      break;
    case kFieldInterlink:
      if (Reached(world.TimeStep, sim.settings.Int(setting::kClusterRounds))) {
        HwmDevelopmentPhase(sim);
        NetworkPhase(sim);
      } else {
        ClusterDevelopmentPhase(sim);
      }
      break;
    case kFieldCluster:
      ClusterDevelopmentPhase(sim);
      break;
    default:
      break;
  }
  if (sim.settings.Checked(setting::kAutoBuild)) {
    ApplyBuildingRules(sim);
  }
  sim.labels.Set(label::kTimeStep, FormatInt(world.TimeStep));
  if (Reached(world.TimeStep, sim.settings.Int(setting::kStopAt))) {
    sim.TimerEnabled = false;
  }
  if (world.AnalysisCountdown == 0 && world.FieldType > kFieldNetworkOnly) {
    if (sim.PeriodicAnalyses) {
      sim.PeriodicAnalyses(sim);
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

}  // namespace veltmoor
