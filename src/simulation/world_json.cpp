#include "simulation/world_json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "simulation/numbers.h"
#include "simulation/setup.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

using json = nlohmann::json;

// ---- writing -------------------------------------------------------------------------

// One member of the world document, written by `write` as the JSON of its value.
struct DocumentMember {
  std::string key;
  std::function<void(std::ostream&)> write;
};

DocumentMember Value(std::string key, json value) {
  return {std::move(key), [value = std::move(value)](std::ostream& out) { out << value.dump(); }};
}

// A grid value as the JSON library prints it, without making a JSON value of it, at `p`;
// returns the end. Room for the longest value is the caller's.
constexpr std::size_t kMaxValueText = 32;

char* PrintJson(char* p, bool value) {
  const std::string_view text = value ? "true" : "false";
  return std::copy(text.begin(), text.end(), p);
}

char* PrintJson(char* p, float value) {
  // The library holds a float as a double and prints the shortest text that reads back.
  const double d = value;
  if (!std::isfinite(d)) {
    const std::string_view text = "null";
    return std::copy(text.begin(), text.end(), p);
  }
  return nlohmann::detail::to_chars(p, p + kMaxValueText, d);
}

template <typename Integer>
char* PrintJson(char* p, Integer value) {
  return std::to_chars(p, p + kMaxValueText, value).ptr;
}

// Prints `count` columns of `rows` values each, gathered column after column in `batch`.
template <typename Value>
void WriteColumns(std::ostream& out, const std::vector<Value>& batch, int first, int count,
                  int rows, std::vector<char>& text) {
  text.resize(static_cast<std::size_t>(count) * (static_cast<std::size_t>(rows) + 1) *
              (kMaxValueText + 1));
  char* p = text.data();
  for (int k = 0; k < count; ++k) {
    if (first + k > 0) {
      *p++ = ',';
    }
    *p++ = '[';
    for (int r = 0; r < rows; ++r) {
      if (r > 0) {
        *p++ = ',';
      }
      p = PrintJson(p, static_cast<Value>(batch[static_cast<std::size_t>(k) * rows + r]));
    }
    *p++ = ']';
  }
  out.write(text.data(), p - text.data());
}

// A grid as an array of columns, written a column at a time, so a town of millions of fine
// cells is written without a document of them all in memory. The grid keeps its cells row
// by row; the values of a few columns are gathered a row at a time first, so that each
// cache line of the grid is read once rather than once per column.
template <typename Cell, typename Field>
DocumentMember GridField(std::string key, const Grid2D<Cell>& grid, Field field) {
  return {
      std::move(key), [&grid, field](std::ostream& out) {
        constexpr int kBatch = 16;
        using Value = decltype(field(std::declval<const Cell&>()));
        const int rows = grid.Rows();
        std::vector<Value> batch(static_cast<std::size_t>(kBatch) * static_cast<std::size_t>(rows));
        std::vector<char> text;
        out << '[';
        for (int first = 0; first < grid.Columns(); first += kBatch) {
          const int count = std::min(kBatch, grid.Columns() - first);
          for (int r = 0; r < rows; ++r) {
            for (int k = 0; k < count; ++k) {
              batch[static_cast<std::size_t>(k) * rows + r] = field(grid(first + k, r));
            }
          }
          WriteColumns(out, batch, first, count, rows, text);
        }
        out << ']';
      }};
}

json NodesJson(const World& world) {
  json nodes = json::array();
  for (const auto& node : world.NodeList) {
    json links = json::array();
    for (const LinkEntry& link : node->Links) {
      links.push_back({link.OtherNode, link.Length});
    }
    nodes.push_back({{"X", node->X},
                     {"Y", node->Y},
                     {"Column", node->Column},
                     {"Row", node->Row},
                     {"Links", std::move(links)},
                     {"Measure", node->Measure},
                     {"Radius", node->Radius},
                     {"Color", node->Color}});
  }
  return nodes;
}

json SettingsJson(const SettingsSource& settings) {
  json out = json::object();
  for (const SettingDef& def : settings.Registry().All()) {
    out[def.name] =
        HoldsState(def) ? (settings.Checked(def.Name()) ? "1" : "0") : settings.Text(def.Name());
  }
  return out;
}

json RandomJson(const RandomSource& random) {
  const RandomSource::State state = random.Save();
  return {{"Engine", state.engine},
          {"FixedSeed", state.fixed_seed ? json(*state.fixed_seed) : json(nullptr)},
          {"Reseeds", state.reseeds}};
}

json GeoreferenceJson(const Georeference& georeference) {
  return {{"CRS", georeference.crs_wkt},
          {"OriginX", georeference.origin_x},
          {"OriginY", georeference.origin_y},
          {"FineCellSize", georeference.fine_cell_size}};
}

}  // namespace

double UnitsPerPixel(const Georeference& georeference, int cell_size) {
  return georeference.fine_cell_size * 3.0 / cell_size;
}

Georeference LocalGeoreference(const World& world, int height) {
  return {"", 0.0, static_cast<double>(height), world.CellSize / 3.0};
}

std::vector<std::string> WorldDocument::SettingTexts() const {
  std::vector<std::string> texts;
  for (const auto& [name, value] : settings) {
    texts.push_back(name + "=" + value);
  }
  return texts;
}

void WriteWorldJson(std::ostream& out, const Simulation& sim, std::optional<std::uint64_t> seed,
                    const std::optional<Georeference>& georeference) {
  const World& world = sim.world;
  json candidates = json::array();
  for (const TCell* cell : world.CandidateList) {
    candidates.push_back({world.ColumnOf(*cell), world.RowOf(*cell)});
  }
  std::vector<DocumentMember> members;
  members.push_back(Value("CellSize", world.CellSize));
  members.push_back(Value("ColumnCount", world.ColumnCount));
  members.push_back(Value("RowCount", world.RowCount));
  members.push_back(Value("Width", sim.map.Width()));
  members.push_back(Value("Height", sim.map.Height()));
  members.push_back(Value("NodeCount", world.NodeCount));
  members.push_back(Value("EdgeCount", world.EdgeCount));
  members.push_back(Value("TimeStep", world.TimeStep));
  members.push_back(Value("FieldType", world.FieldType));
  members.push_back(Value("Seed", seed ? json(*seed) : json(nullptr)));
  members.push_back(
      GridField("State", world.CellGrid, [](const TCell& c) { return CodeNumber(c.State); }));
  members.push_back(
      GridField("Potential", world.CellGrid, [](const TCell& c) { return c.Potential; }));
  members.push_back(
      GridField("DevelopedCount", world.CellGrid, [](const TCell& c) { return c.DevelopedCount; }));
  members.push_back(
      GridField("StreetCount", world.CellGrid, [](const TCell& c) { return int{c.StreetCount}; }));
  members.push_back(GridField("LandUse", world.FineGrid,
                              [](const TFineCell& c) { return CodeNumber(c.LandUse); }));
  members.push_back(GridField("SubState", world.FineGrid,
                              [](const TFineCell& c) { return CodeNumber(c.SubState); }));
  members.push_back(Value("Nodes", NodesJson(world)));
  members.push_back(Value("CandidateList", std::move(candidates)));
  // What a run needs to continue exactly.
  members.push_back(Value("AnalysisCountdown", world.AnalysisCountdown));
  members.push_back(Value("Running", sim.TimerEnabled));
  members.push_back(GridField("CellLandUse", world.CellGrid,
                              [](const TCell& c) { return CodeNumber(c.LandUse); }));
  members.push_back(GridField("IsDevelopedCount", world.CellGrid,
                              [](const TCell& c) { return int{c.IsDevelopedCount}; }));
  members.push_back(GridField("CellColor", world.CellGrid, [](const TCell& c) { return c.Color; }));
  members.push_back(
      GridField("FinePotential", world.FineGrid, [](const TFineCell& c) { return c.Potential; }));
  members.push_back(
      GridField("IsDeveloped", world.FineGrid, [](const TFineCell& c) { return c.IsDeveloped; }));
  members.push_back(
      GridField("ClusterSize", world.FineGrid, [](const TFineCell& c) { return c.ClusterSize; }));
  members.push_back(
      GridField("FineColor", world.FineGrid, [](const TFineCell& c) { return c.Color; }));
  members.push_back(Value("FineCellTotals", world.FineCellTotals));
  members.push_back(Value("MeanLength", world.MeanLength));
  members.push_back(Value("ClusterSizes", world.ClusterSizes));
  members.push_back(Value("Settings", SettingsJson(sim.settings)));
  members.push_back(Value("Random", RandomJson(sim.random)));
  members.push_back(
      Value("Georeference", georeference ? GeoreferenceJson(*georeference) : json(nullptr)));

  // The members in the order a JSON object of them prints them, its keys sorted, so files
  // stay as earlier versions wrote them.
  std::sort(members.begin(), members.end(),
            [](const DocumentMember& a, const DocumentMember& b) { return a.key < b.key; });
  out << '{';
  for (std::size_t i = 0; i < members.size(); ++i) {
    out << (i > 0 ? "," : "") << json(members[i].key).dump() << ':';
    members[i].write(out);
  }
  out << "}\n";
}

std::string WorldJsonText(const Simulation& sim, std::optional<std::uint64_t> seed,
                          const std::optional<Georeference>& georeference) {
  std::ostringstream out;
  WriteWorldJson(out, sim, seed, georeference);
  return out.str();
}

void RestoreWorld(WorldDocument&& document, Simulation& sim) {
  if (sim.settings.Int(setting::kCellScale) != document.cell_size) {
    throw WorldFileError("the settings' cell size is not the world's 'CellSize'");
  }
  sim.map.PanelWidth = document.width;
  sim.map.PanelHeight = document.height;
  CheckWorldFits(sim);
  if (sim.world.Exists()) {
    ClearWorld(sim);
  }
  sim.random.ReseedFromClock();
  BeginWorld(sim);
  World& world = sim.world;
  world.CellGrid = std::move(document.coarse);
  world.FineGrid = std::move(document.fine);
  for (TAgent& saved : document.nodes) {
    world.NodeList.push_back(std::make_unique<TAgent>(std::move(saved)));
  }
  // The grids were written wholesale: what was known about them is rebuilt when needed.
  world.Frontier.Reset();
  world.Sites.Reset();
  for (const auto& [column, row] : document.candidates) {
    world.CandidateList.push_back(&world.CellGrid(column, row));
  }
  EndWorld(sim);
  world.NodeCount = document.node_count;
  world.EdgeCount = document.edge_count;
  world.TimeStep = document.time_step;
  world.AnalysisCountdown = document.analysis_countdown;
  world.FieldType = document.field_type;
  sim.TimerEnabled = document.running;
  world.MeanLength = document.mean_length;
  world.FineCellTotals = document.fine_cell_totals;
  world.ClusterSizes = std::move(document.cluster_sizes);
  if (document.random) {
    sim.random.Restore(*document.random);
  }
  // The layers show what the saved world showed.
  sim.map.DrawWorld(world);
  sim.labels.Set(label::kNodeCount, FormatInt(world.NodeCount));
  sim.labels.Set(label::kEdgeCount, FormatInt(world.EdgeCount));
  sim.labels.Set(label::kTimeStep, FormatInt(world.TimeStep));
}

void RestoreWorld(const WorldDocument& document, Simulation& sim) {
  WorldDocument copy = document;
  RestoreWorld(std::move(copy), sim);
}
}  // namespace veltmoor
