// The sink a simulation with a window, or with outputs to write, gives its growth rules:
// changed cells and new nodes and streets are painted onto the map layers, labels and chart
// points go to the simulation's output models. It holds only those three, so what a rule
// reports can reach the window and nothing else of the simulation.
#pragma once

#include "chart/chart_set.h"
#include "simulation/growth_sink.h"
#include "simulation/map_layers.h"
#include "simulation/output_models.h"

namespace veltmoor {

struct Simulation;

class MapSink final : public GrowthSink {
 public:
  MapSink(MapLayers& map, Labels& labels, chart::ChartSet& charts)
      : map_(map), labels_(labels), charts_(charts) {}

  void CellChanged(const World& world, const TCell& cell) override;
  void CellChanged(const World& world, const TFineCell& fine) override;
  void NodeCreated(const World& world, const TAgent& node, std::size_t index,
                   bool numbered) override;
  void StreetsChanged(const World& world) override;
  void Label(LabelName name, std::string text) override;
  void ClearSeries(chart::SeriesName series) override;
  void AddPoint(chart::SeriesName series, double x, double y) override;

 private:
  MapLayers& map_;
  Labels& labels_;
  chart::ChartSet& charts_;
};

// Gives the simulation's growth rules a MapSink.
void InstallMapSink(Simulation& sim);

}  // namespace veltmoor
