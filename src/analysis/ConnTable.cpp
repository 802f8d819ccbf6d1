#include "analysis/ConnTable.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "simulation/numbers.h"
#include "simulation/window_outputs.h"
#include "views/node_colours.h"

namespace veltmoor {

namespace {

struct NodeMeasures {
  std::vector<double> ml;
  std::vector<double> loc;
};

// Row i of the table: the distances to every node the path table covers, their sum, and
// the local measure, in which a node out of reach weighs like the node itself (d = 0).
NodeMeasures MeasureRows(Simulation& sim, int node_count, long long radius) {
  ConnectivityTableModel& table = sim.StringGrid1;
  const PathTable& paths = sim.world.PathMatrix;
  const int covered = std::min(paths.NodeCount(), node_count);
  NodeMeasures measures{std::vector<double>(static_cast<std::size_t>(node_count), 0.0),
                        std::vector<double>(static_cast<std::size_t>(node_count), 0.0)};
  std::uint64_t total = 0;
  double mean_length = 0.0;
  for (int i = 0; i < node_count; ++i) {
    std::uint64_t sum = 0;
    double loc = 0.0;
    if (i < covered) {
      for (int j = 0; j < covered; ++j) {
        const int d = paths.HopCount(i, j);
        sum += static_cast<std::uint64_t>(d);
        if (d <= radius) {
          loc += static_cast<double>(radius - d);
        }
      }
    }
    total += sum;
    const double ml = RoundQuotientTo2(static_cast<long double>(sum), node_count);
    mean_length += ml;
    measures.ml[static_cast<std::size_t>(i)] = ml;
    measures.loc[static_cast<std::size_t>(i)] = loc;
    table.SetNodeRow(i, sum, ml, loc);
  }
  // The mean of the rounded row values; an empty network has no paths and mean length 0.
  if (node_count > 0) {
    mean_length = RoundQuotientTo2(mean_length, node_count);
  }
  sim.world.MeanLength = mean_length;
  table.SetTotals(total, mean_length);
  sim.labels.Set(label::kMeanLength, FormatNumber(mean_length));
  return measures;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') {
      quoted += '"';
    }
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace

void FillConnectivityTable(Simulation& sim) {
  const long long radius = sim.settings.Int(setting::kLocalRadius);
  const int node_count = static_cast<int>(sim.world.NodeList.size());
  sim.StringGrid1.Begin(node_count, sim.world.PathMatrix);
  NodeMeasures measures = MeasureRows(sim, node_count, radius);
  ScaleAndColourNodes(sim,
                      sim.settings.Checked(setting::kUseLocalMeasure) ? measures.loc : measures.ml);
}

void ScaleAndColourNodes(Simulation& sim, std::vector<double>& values) {
  World& world = sim.world;
  const double k = world.ColourExponent;
  const bool local = sim.settings.Checked(setting::kUseLocalMeasure);
  double max = 0.0;
  double min = 99999999.0;
  for (double v : values) {
    max = std::max(max, v);
    min = std::min(min, v);
  }
  const std::size_t count = std::min(values.size(), world.NodeList.size());
  for (std::size_t i = 0; i < count; ++i) {
    double& v = values[i];
    if (max > min) {
      const double a =
          RoundQuotientTo2(static_cast<long double>(v) - min, static_cast<long double>(max) - min);
      // With the local measure a high value goes to the bottom of the gradient; with ML a
      // short mean path does.
      v = std::pow(local ? a : 1.0 - a, k);
    }
    sim.StringGrid1.SetScaledValue(static_cast<int>(i), v);
    TAgent& node = world.Node(i);
    node.Measure = static_cast<float>(v);
  }
  ColourNodesOnGradient(world, sim.map, values);
}

void ShowDegreeHistogram(Simulation& sim) {
  sim.charts.Get(chart_name::kEdgesPerNode).UndoZoom();
  chart::Series& bars = sim.charts.GetSeries(series_name::kEdgesPerNode);
  bars.Clear();
  std::vector<int> nodes_with_degree(9, 0);
  for (const auto& node : sim.world.NodeList) {
    const std::size_t degree = node->Links.size();
    if (degree >= nodes_with_degree.size()) {
      nodes_with_degree.resize(degree + 1, 0);
    }
    ++nodes_with_degree[degree];
  }
  for (std::size_t degree = 0; degree < nodes_with_degree.size(); ++degree) {
    if (nodes_with_degree[degree] != 0) {
      bars.Add(static_cast<double>(degree), nodes_with_degree[degree]);
    }
  }
}

void WriteConnectivityTableCsv(const Simulation& sim, std::ostream& out) {
  const ConnectivityTableModel& table = sim.StringGrid1;
  for (int row = 0; row < table.RowCount(); ++row) {
    for (int column = 0; column < table.ColumnCount(); ++column) {
      if (column > 0) {
        out << ',';
      }
      out << CsvField(table.Cell(column, row));
    }
    out << '\n';
  }
}

}  // namespace veltmoor
