#include "batch/measures_json.h"

#include "chart/chart_file.h"

namespace veltmoor {

namespace {

nlohmann::json NodesJson(const World& world) {
  nlohmann::json nodes = nlohmann::json::array();
  for (const auto& node : world.NodeList) {
    // ML, loc and sML exist only after a path analysis.
    nodes.push_back({{"Degree", node->Links.size()},
                     {"ML", nullptr},
                     {"loc", nullptr},
                     {"sML", nullptr},
                     {"Measure", node->Measure}});
  }
  return nodes;
}

}  // namespace

nlohmann::json MeasuresToJson(const Simulation& sim) {
  const World& world = sim.world;
  nlohmann::json out;
  out["TimeStep"] = world.TimeStep;
  out["NodeCount"] = world.NodeCount;
  out["EdgeCount"] = world.EdgeCount;
  out["FieldType"] = world.FieldType;
  out["Labels"] = sim.labels.All();
  nlohmann::json values = nlohmann::json::array();
  for (const auto& [key, value] : sim.valueList.Rows()) {
    values.push_back({key, value});
  }
  out["ValueList"] = std::move(values);
  out["MeanLength"] = nullptr;
  out["Nodes"] = NodesJson(world);
  out["ClusterSizes"] = world.ClusterSizes;
  nlohmann::json charts = nlohmann::json::object();
  for (const auto& chart : sim.charts.All()) {
    charts[chart->Name()] = chart::ChartToJson(*chart);
  }
  out["Charts"] = std::move(charts);
  return out;
}

}  // namespace veltmoor
