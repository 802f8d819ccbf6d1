#include "views/map_sink.h"

#include <memory>
#include <string>
#include <utility>

namespace veltmoor {

void MapSink::CellChanged(const World& world, const TCell& cell) {
  sim_.map.Draw(world, cell);
}

void MapSink::CellChanged(const World& world, const TFineCell& fine) {
  sim_.map.Draw(world, fine);
}

void MapSink::NodeCreated(const World& /*world*/, const TAgent& node, std::size_t index,
                          bool numbered) {
  MapLayers& map = sim_.map;
  if (map.AgentImage) {
    node.DrawNode(*map.AgentImage);
  }
  if (!numbered) {
    return;
  }
  NodeLabel label{node.X - 5, node.Y - 13, std::to_string(index)};
  if (Canvas* agents = map.AgentImage.get()) {
    // Drawn on a black box so the number sits on the transparent layer without a frame.
    agents->brush = colours::kBlack;
    agents->font = Font{6, colours::kNavy};
    agents->TextOut(label.Left, label.Top, label.Caption);
  }
  map.NodeLabelList.push_back(std::move(label));
}

void MapSink::StreetsChanged(const World& world) {
  sim_.map.DrawAllEdges(world);
}

void MapSink::Label(LabelName name, std::string text) {
  sim_.labels.Set(name, std::move(text));
}

void MapSink::ClearSeries(chart::SeriesName series) {
  sim_.charts.GetSeries(series).Clear();
}

void MapSink::AddPoint(chart::SeriesName series, double x, double y) {
  sim_.charts.GetSeries(series).Add(x, y);
}

void InstallMapSink(Simulation& sim) {
  sim.sink = std::make_unique<MapSink>(sim);
}

}  // namespace veltmoor
