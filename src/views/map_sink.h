// The sink a simulation with a window, or with outputs to write, gives its growth rules:
// changed cells and new nodes and streets are painted onto the map layers, labels and chart
// points go to the simulation's output models.
#pragma once

#include "simulation/simulation.h"

namespace veltmoor {

class MapSink final : public GrowthSink {
 public:
  explicit MapSink(Simulation& sim) : sim_(sim) {}

  void CellChanged(const World& world, const TCell& cell) override;
  void CellChanged(const World& world, const TFineCell& fine) override;
  void NodeCreated(const World& world, const TAgent& node, std::size_t index,
                   bool numbered) override;
  void StreetsChanged(const World& world) override;
  void Label(LabelName name, std::string text) override;
  void ClearSeries(chart::SeriesName series) override;
  void AddPoint(chart::SeriesName series, double x, double y) override;

 private:
  Simulation& sim_;
};

// Gives the simulation's growth rules a MapSink.
void InstallMapSink(Simulation& sim);

}  // namespace veltmoor
