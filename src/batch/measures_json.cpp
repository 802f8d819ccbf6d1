#include "batch/measures_json.h"

#include "chart/chart_file.h"
#include "simulation/connectivity_table_model.h"

namespace veltmoor {

namespace {

bool TableFilled(const Simulation& sim) {
  return sim.StringGrid1.NodeRows() > 0;
}

nlohmann::json NodesJson(const Simulation& sim) {
  const World& world = sim.world;
  const ConnectivityTableModel& table = sim.StringGrid1;
  nlohmann::json nodes = nlohmann::json::array();
  for (std::size_t i = 0; i < world.NodeList.size(); ++i) {
    const TAgent& node = *world.NodeList[i];
    const int row = static_cast<int>(i);
    // ML, loc and sML exist only for nodes the last table covered.
    const bool measured = row < table.NodeRows();
    nodes.push_back({{"Degree", node.Links.size()},
                     {"ML", measured ? nlohmann::json(table.ML(row)) : nlohmann::json()},
                     {"loc", measured ? nlohmann::json(table.Loc(row)) : nlohmann::json()},
                     {"sML", measured ? nlohmann::json(table.ScaledValue(row)) : nlohmann::json()},
                     {"Measure", node.Measure}});
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
  nlohmann::json numbers = nlohmann::json::object();
  const auto& rows = sim.valueList.Rows();
  const auto& rowNumbers = sim.valueList.Numbers();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    values.push_back({rows[i].first, rows[i].second});
    // The rounded text stays for readers of the list; the number is what was measured.
    // nlohmann writes a non-finite double as null, which is what a reader should see.
    if (rowNumbers[i] && !numbers.contains(rows[i].first)) {
      numbers[rows[i].first] = *rowNumbers[i];
    }
  }
  out["ValueList"] = std::move(values);
  out["ValueNumbers"] = std::move(numbers);
  out["MeanLength"] = TableFilled(sim) ? nlohmann::json(world.MeanLength) : nlohmann::json();
  out["Nodes"] = NodesJson(sim);
  out["ClusterSizes"] = world.ClusterSizes;
  nlohmann::json charts = nlohmann::json::object();
  for (const auto& chart : sim.charts.All()) {
    charts[chart->Name()] = chart::ChartToJson(*chart);
  }
  out["Charts"] = std::move(charts);
  return out;
}

}  // namespace veltmoor
