#include "batch/world_json.h"

namespace veltmoor {

namespace {

template <typename Field>
nlohmann::json GridField(const Grid2D<TCell>& grid, Field field) {
  nlohmann::json columns = nlohmann::json::array();
  for (int c = 0; c < grid.Columns(); ++c) {
    nlohmann::json column = nlohmann::json::array();
    for (int r = 0; r < grid.Rows(); ++r) {
      column.push_back(field(grid(c, r)));
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

nlohmann::json NodesJson(const World& world) {
  nlohmann::json nodes = nlohmann::json::array();
  for (const auto& node : world.NodeList) {
    nlohmann::json links = nlohmann::json::array();
    for (const LinkEntry& link : node->Links) {
      links.push_back({link.OtherNode, link.Length});
    }
    nodes.push_back({{"X", node->X},
                     {"Y", node->Y},
                     {"Column", node->Column},
                     {"Row", node->Row},
                     {"Links", std::move(links)}});
  }
  return nodes;
}

}  // namespace

nlohmann::json WorldToJson(const Simulation& sim, std::optional<std::uint64_t> seed) {
  const World& world = sim.world;
  nlohmann::json out;
  out["CellSize"] = world.CellSize;
  out["ColumnCount"] = world.ColumnCount;
  out["RowCount"] = world.RowCount;
  out["Width"] = world.MapImage ? world.MapImage->Width() : sim.PanelWidth;
  out["Height"] = world.MapImage ? world.MapImage->Height() : sim.PanelHeight;
  out["NodeCount"] = world.NodeCount;
  out["EdgeCount"] = world.EdgeCount;
  out["TimeStep"] = world.TimeStep;
  out["FieldType"] = world.FieldType;
  out["Seed"] = seed ? nlohmann::json(*seed) : nlohmann::json(nullptr);
  out["State"] = GridField(world.CellGrid, [](const TCell& c) { return c.State; });
  out["Potential"] = GridField(world.CellGrid, [](const TCell& c) { return c.Potential; });
  out["DevelopedCount"] =
      GridField(world.CellGrid, [](const TCell& c) { return c.DevelopedCount; });
  out["StreetCount"] = GridField(world.CellGrid, [](const TCell& c) { return c.StreetCount; });
  out["LandUse"] = GridField(world.FineGrid, [](const TCell& c) { return c.LandUse; });
  out["SubState"] = GridField(world.FineGrid, [](const TCell& c) { return c.SubState; });
  out["Nodes"] = NodesJson(world);
  nlohmann::json candidates = nlohmann::json::array();
  for (const TCell* cell : world.CandidateList) {
    candidates.push_back({cell->Column, cell->Row});
  }
  out["CandidateList"] = std::move(candidates);
  return out;
}

}  // namespace veltmoor
