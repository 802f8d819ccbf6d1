#include "views/map_sink.h"

#include "simulation/simulation.h"

#include <memory>
#include <string>
#include <utility>

namespace veltmoor {

void MapSink::CellChanged(const World& world, const TCell& cell) {
  map_.Draw(world, cell);
}

void MapSink::CellChanged(const World& world, const TFineCell& fine) {
  map_.Draw(world, fine);
}

void MapSink::NodeCreated(const World& /*world*/, const TAgent& node, std::size_t index,
                          bool numbered) {
  if (map_.AgentImage) {
    node.DrawNode(*map_.AgentImage);
  }
  if (!numbered) {
    return;
  }
  NodeLabel label{node.X - 5, node.Y - 13, std::to_string(index)};
  if (Canvas* agents = map_.AgentImage.get()) {
    // Drawn on a black box so the number sits on the transparent layer without a frame.
    agents->brush = colours::kBlack;
    agents->font = Font{6, colours::kNavy};
    agents->TextOut(label.Left, label.Top, label.Caption);
  }
  map_.NodeLabelList.push_back(std::move(label));
}

void MapSink::StreetsChanged(const World& world) {
  map_.DrawAllEdges(world);
}

void MapSink::Label(LabelName name, std::string text) {
  labels_.Set(name, std::move(text));
}

void MapSink::ClearSeries(chart::SeriesName series) {
  charts_.GetSeries(series).Clear();
}

void MapSink::AddPoint(chart::SeriesName series, double x, double y) {
  charts_.GetSeries(series).Add(x, y);
}

void InstallMapSink(Simulation& sim) {
  sim.sink = std::make_unique<MapSink>(sim.map, sim.labels, sim.charts);
}

}  // namespace veltmoor
