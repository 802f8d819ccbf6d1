#include "analysis/structure_analysis.h"

#include <algorithm>
#include <functional>

#include "analysis/analysis_values.h"
#include "analysis/cluster.h"
#include "analysis/segregation.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

// A node's window holds 81 fine cells and 9 coarse cells; the divisors stay at that where the
// map edge cuts the window, so an edge node reads as less dense.
constexpr long double kFineCellsPerWindow = 81;
constexpr long double kCellsPerWindow = 9;

double PerFineCell(std::int32_t sum) {
  return static_cast<double>(sum / kFineCellsPerWindow);
}

double MeanPotential(float sum) {
  return static_cast<double>(sum / kCellsPerWindow);
}

void AddWindow(NodeNeighbourhood& record, const TCell& cell) {
  record.DevelopedSum += cell.DevelopedCount;
  record.StreetSum += cell.StreetCount;
  record.IsDevelopedSum += cell.IsDevelopedCount;
  record.PotentialSum += cell.Potential;
}

}  // namespace

std::vector<NodeNeighbourhood> NodeNeighbourhoods(const World& world) {
  std::vector<NodeNeighbourhood> records(world.NodeList.size());
  for (std::size_t i = 0; i < world.NodeList.size(); ++i) {
    const TAgent& node = world.Node(i);
    NodeNeighbourhood& record = records[i];
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (world.InGrid(node.Column + dx, node.Row + dy)) {
          AddWindow(record, world.CellGrid(node.Column + dx, node.Row + dy));
        }
      }
    }
    record.DevelopedStreetSum = record.DevelopedSum + record.StreetSum;
  }
  return records;
}

PotentialPoints ComputePotentialPoints(const World& world,
                                       const std::vector<NodeNeighbourhood>& records) {
  PotentialPoints points;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const NodeNeighbourhood& record = records[i];
    const double potential = MeanPotential(record.PotentialSum);
    if (record.IsDevelopedSum > 0) {
      points.density.push_back({PerFineCell(record.IsDevelopedSum), potential});
    }
    points.connectivity.push_back({static_cast<double>(world.Node(i).Measure), potential});
  }
  return points;
}

void PotentialCorrelations(Simulation& sim, const std::vector<NodeNeighbourhood>& records) {
  const PotentialPoints points = ComputePotentialPoints(sim.world, records);
  ShowPoints(sim.charts.GetSeries(series_name::kPotentialDensity), points.density);
  ShowPoints(sim.charts.GetSeries(series_name::kPotentialConnectivity), points.connectivity);
  const float densityR2 =
      SquaredCorrelation(sim.charts.GetSeries(series_name::kPotentialDensityCorrelation));
  const float connectivityR2 =
      SquaredCorrelation(sim.charts.GetSeries(series_name::kPotentialConnectivityCorrelation));
  sim.charts.Get(chart_name::kPotentialDensity)
      .SetTitle("Potential / Density : r² = " + ShownValue(densityR2));
  sim.charts.Get(chart_name::kPotentialConnectivity)
      .SetTitle("Potential / Connectivity : r² = " + ShownValue(connectivityR2));
}

DensityProfile ComputeDensityProfile(const std::vector<NodeNeighbourhood>& records) {
  std::vector<NodeNeighbourhood> byStreetAndDevelopment = records;
  std::stable_sort(byStreetAndDevelopment.begin(), byStreetAndDevelopment.end(),
                   [](const NodeNeighbourhood& a, const NodeNeighbourhood& b) {
                     return a.DevelopedStreetSum > b.DevelopedStreetSum;
                   });
  DensityProfile profile;
  for (std::size_t i = 0; i < byStreetAndDevelopment.size(); ++i) {
    const auto x = static_cast<double>(i);
    profile.build.push_back({x, PerFineCell(byStreetAndDevelopment[i].DevelopedSum)});
    profile.street.push_back({x, PerFineCell(byStreetAndDevelopment[i].StreetSum)});
  }

  std::vector<std::int32_t> developed;
  developed.reserve(records.size());
  for (const NodeNeighbourhood& record : records) {
    developed.push_back(record.IsDevelopedSum);
  }
  std::sort(developed.begin(), developed.end(), std::greater<>());
  for (std::size_t i = 0; i < developed.size(); ++i) {
    profile.developed.push_back({static_cast<double>(i), PerFineCell(developed[i])});
  }
  return profile;
}

void DensityProfiles(Simulation& sim, const std::vector<NodeNeighbourhood>& records) {
  const DensityProfile profile = ComputeDensityProfile(records);
  ShowPoints(sim.charts.GetSeries(series_name::kBuildDensity), profile.build);
  ShowPoints(sim.charts.GetSeries(series_name::kStreetDensity), profile.street);
  ShowPoints(sim.charts.GetSeries(series_name::kDevelopedDensity), profile.developed);
}

void StructureAnalysis(Simulation& sim) {
  World& world = sim.world;
  ClassifyDevelopedCells(world);
  LabelClusters(sim);
  world.NodeNeighbourhoods = NodeNeighbourhoods(world);
  PotentialCorrelations(sim, world.NodeNeighbourhoods);
  DensityProfiles(sim, world.NodeNeighbourhoods);
}

}  // namespace veltmoor
