#include "geo/world_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <set>
#include <sstream>

#include <ogr_spatialref.h>

#include "simulation/layers.h"
#include "simulation/numbers.h"
#include "simulation/setup.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

using json = nlohmann::json;

// The largest drawing area a world may have, as veltmoor-batch accepts it.
constexpr long long kMaxPixels = 20000;
constexpr long long kMaxCellSize = 1000;
constexpr std::size_t kMaxSettingText = 1000;

// ---- writing -------------------------------------------------------------------------

// One member of the world document, written by `write` as the JSON of its value.
struct DocumentMember {
  std::string key;
  std::function<void(std::ostream&)> write;
};

DocumentMember Value(std::string key, json value) {
  return {std::move(key), [value = std::move(value)](std::ostream& out) { out << value.dump(); }};
}

// A grid as an array of columns. Only one column at a time is held as JSON, so a town of
// millions of fine cells is written without a document of them all in memory.
template <typename Cell, typename Field>
DocumentMember GridField(std::string key, const Grid2D<Cell>& grid, Field field) {
  return {std::move(key), [&grid, field](std::ostream& out) {
            out << '[';
            for (int c = 0; c < grid.Columns(); ++c) {
              json column = json::array();
              for (int r = 0; r < grid.Rows(); ++r) {
                column.push_back(field(grid(c, r)));
              }
              out << (c > 0 ? "," : "") << column.dump();
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

bool HoldsState(const SettingDef& def) {
  return def.kind == ControlKind::CheckBox || def.kind == ControlKind::RadioButton ||
         def.kind == ControlKind::ToggleButton;
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

// ---- reading -------------------------------------------------------------------------

[[noreturn]] void Fail(const std::string& what) {
  throw WorldFileError(what);
}

const json& Member(const json& object, const std::string& key, const std::string& where = {}) {
  const auto it = object.find(key);
  if (it == object.end()) {
    Fail("'" + where + key + "' is missing");
  }
  return *it;
}

long long Integer(const json& value, long long min, long long max, const std::string& what) {
  const std::string range =
      " must be an integer in " + std::to_string(min) + ".." + std::to_string(max);
  if (value.is_number_unsigned()) {
    const auto u = value.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(max)) {
      Fail(what + range);
    }
    return static_cast<long long>(u);
  }
  if (!value.is_number_integer()) {
    Fail(what + range);
  }
  const auto i = value.get<long long>();
  if (i < min || i > max) {
    Fail(what + range);
  }
  return i;
}

long long IntegerAt(const json& object, const std::string& key, long long min, long long max) {
  return Integer(Member(object, key), min, max, "'" + key + "'");
}

double Finite(const json& value, const std::string& what) {
  if (!value.is_number() || !std::isfinite(value.get<double>())) {
    Fail(what + " must be a finite number");
  }
  return value.get<double>();
}

float FiniteFloat(const json& value, const std::string& what) {
  const double d = Finite(value, what);
  if (std::abs(d) > std::numeric_limits<float>::max()) {
    Fail(what + " lies outside the range of a 32-bit float");
  }
  return static_cast<float>(d);
}

std::uint64_t Unsigned(const json& value, const std::string& what) {
  if (!value.is_number_unsigned()) {
    Fail(what + " must be a non-negative integer");
  }
  return value.get<std::uint64_t>();
}

const json& ArrayOf(const json& value, std::size_t size, const std::string& what) {
  if (!value.is_array() || value.size() != size) {
    Fail(what + " must be an array of " + std::to_string(size));
  }
  return value;
}

// A grid written column by column; `read` takes one value into one cell. A missing
// optional grid leaves the cells as `fallback` sets them.
template <typename Cell>
void ReadGrid(const json& doc, const std::string& key, Grid2D<Cell>& grid,
              const std::function<void(Cell&, const json&, const std::string&)>& read,
              const std::function<void(Cell&)>& fallback = nullptr) {
  if (fallback && !doc.contains(key)) {
    for (Cell& cell : grid.Cells()) {
      fallback(cell);
    }
    return;
  }
  const json& columns =
      ArrayOf(Member(doc, key), static_cast<std::size_t>(grid.Columns()), "'" + key + "'");
  for (int c = 0; c < grid.Columns(); ++c) {
    const std::string where = "'" + key + "'[" + std::to_string(c) + "]";
    const json& column =
        ArrayOf(columns[static_cast<std::size_t>(c)], static_cast<std::size_t>(grid.Rows()), where);
    for (int r = 0; r < grid.Rows(); ++r) {
      read(grid(c, r), column[static_cast<std::size_t>(r)], where + "[" + std::to_string(r) + "]");
    }
  }
}

// Reads integer grid values (or codes) into a member of a cell.
template <typename Cell, typename Value>
std::function<void(Cell&, const json&, const std::string&)> IntInto(Value Cell::*member,
                                                                    long long min, long long max) {
  return [member, min, max](Cell& cell, const json& value, const std::string& what) {
    cell.*member = static_cast<Value>(Integer(value, min, max, what));
  };
}

// The same for a code, between its first and last value.
template <typename Cell, typename Code>
std::function<void(Cell&, const json&, const std::string&)> CodeInto(Code Cell::*member, Code min,
                                                                     Code max) {
  return IntInto(member, CodeNumber(min), CodeNumber(max));
}

template <typename Cell>
std::function<void(Cell&, const json&, const std::string&)> ColourInto() {
  return [](Cell& cell, const json& value, const std::string& what) {
    cell.Color = static_cast<Colour>(Integer(value, 0, 0xFFFFFF, what));
  };
}

Colour LandUseColour(const TFineCell& fine) {
  switch (fine.LandUse) {
    case kLandStreet:
      return colours::kYellow;
    case kLandDeveloped:
      return fine.SubState == kSubOpen ? colours::kLime : colours::kBlue;
    default:
      return colours::kWhite;
  }
}

// Checks a grid's shape without reading its values.
void CheckShape(const json& doc, const std::string& key, int columns, int rows) {
  const json& grid = ArrayOf(Member(doc, key), static_cast<std::size_t>(columns), "'" + key + "'");
  for (int c = 0; c < columns; ++c) {
    ArrayOf(grid[static_cast<std::size_t>(c)], static_cast<std::size_t>(rows),
            "'" + key + "'[" + std::to_string(c) + "]");
  }
}

void ReadGrids(const json& doc, WorldDocument& out) {
  // The grids are sized from the counts only once the file has shown it holds them, so a
  // small file claiming a huge world is refused before anything is allocated.
  CheckShape(doc, "State", out.columns, out.rows);
  CheckShape(doc, "LandUse", 3 * out.columns, 3 * out.rows);
  out.coarse.Resize(out.columns, out.rows);
  out.fine.Resize(3 * out.columns, 3 * out.rows);
  // A coarse cell holds nine fine cells; streets and development can fill all of them.
  ReadGrid(doc, "State", out.coarse, CodeInto(&TCell::State, kStateFree, kStateCandidate));
  ReadGrid<TCell>(
      doc, "Potential", out.coarse,
      [](TCell& cell, const json& v, const std::string& w) { cell.Potential = FiniteFloat(v, w); });
  ReadGrid(doc, "DevelopedCount", out.coarse, IntInto(&TCell::DevelopedCount, 0, 9));
  ReadGrid(doc, "StreetCount", out.coarse, IntInto(&TCell::StreetCount, 0, 9));
  ReadGrid(doc, "LandUse", out.fine, CodeInto(&TFineCell::LandUse, kLandFree, kLandDeveloped));
  ReadGrid(doc, "SubState", out.fine, CodeInto(&TFineCell::SubState, kSubNone, kSubOpen));
  // What a run keeps between steps beyond the published grids; files without them (older
  // ones, or written by other tools) start these from what the grids above imply.
  ReadGrid<TCell>(
      doc, "CellLandUse", out.coarse, CodeInto(&TCell::LandUse, kLandFree, kLandDeveloped),
      [](TCell& cell) { cell.LandUse = cell.DevelopedCount > 0 ? kLandDeveloped : kLandFree; });
  ReadGrid<TCell>(doc, "IsDevelopedCount", out.coarse, IntInto(&TCell::IsDevelopedCount, 0, 9),
                  [](TCell&) {});
  ReadGrid<TCell>(doc, "CellColor", out.coarse, ColourInto<TCell>(), [](TCell& cell) {
    cell.Color = cell.State == kStateNode ? colours::kLightGrey : colours::kWhite;
  });
  ReadGrid<TFineCell>(
      doc, "FinePotential", out.fine,
      [](TFineCell& cell, const json& v, const std::string& w) {
        cell.Potential = FiniteFloat(v, w);
      },
      [](TFineCell& cell) { cell.Potential = 0.0f; });
  ReadGrid<TFineCell>(
      doc, "IsDeveloped", out.fine,
      [](TFineCell& cell, const json& v, const std::string& w) {
        if (!v.is_boolean()) {
          Fail(w + " must be true or false");
        }
        cell.IsDeveloped = v.get<bool>();
      },
      [](TFineCell&) {});
  ReadGrid<TFineCell>(doc, "ClusterSize", out.fine,
                      IntInto(&TFineCell::ClusterSize, 0, std::numeric_limits<std::int32_t>::max()),
                      [](TFineCell&) {});
  ReadGrid<TFineCell>(doc, "FineColor", out.fine, ColourInto<TFineCell>(),
                      [](TFineCell& cell) { cell.Color = LandUseColour(cell); });
  // The tallies of a coarse cell are those of its nine fine cells.
  for (int r = 0; r < out.rows; ++r) {
    for (int c = 0; c < out.columns; ++c) {
      int developed = 0;
      int streets = 0;
      for (int dr = 0; dr < 3; ++dr) {
        for (int dc = 0; dc < 3; ++dc) {
          const LandUseCode use = out.fine(3 * c + dc, 3 * r + dr).LandUse;
          developed += use == kLandDeveloped ? 1 : 0;
          streets += use == kLandStreet ? 1 : 0;
        }
      }
      const TCell& cell = out.coarse(c, r);
      if (cell.DevelopedCount != developed || cell.StreetCount != streets) {
        Fail("'DevelopedCount'/'StreetCount' of cell [" + std::to_string(c) + "][" +
             std::to_string(r) + "] disagree with its fine cells' 'LandUse'");
      }
    }
  }
}

// Every link is listed at both of its ends, and every cell in State 1 holds a node.
void CheckNodesAgree(const WorldDocument& out, const std::set<std::pair<int, int>>& taken) {
  for (std::size_t i = 0; i < out.nodes.size(); ++i) {
    for (const LinkEntry& link : out.nodes[i].Links) {
      const auto& back = out.nodes[static_cast<std::size_t>(link.OtherNode)].Links;
      const bool listed = std::any_of(back.begin(), back.end(), [&](const LinkEntry& b) {
        return b.OtherNode == static_cast<std::int32_t>(i) && b.Length == link.Length;
      });
      if (!listed) {
        Fail("'Nodes[" + std::to_string(i) + "].Links': the link to node " +
             std::to_string(link.OtherNode) + " is missing at its other end");
      }
    }
  }
  for (int r = 0; r < out.rows; ++r) {
    for (int c = 0; c < out.columns; ++c) {
      if (out.coarse(c, r).State == kStateNode && !taken.contains({c, r})) {
        Fail("'State'[" + std::to_string(c) + "][" + std::to_string(r) +
             "] is 1 but no node lies in that cell");
      }
    }
  }
}

void ReadNodes(const json& doc, WorldDocument& out) {
  const json& nodes = Member(doc, "Nodes");
  if (!nodes.is_array()) {
    Fail("'Nodes' must be an array");
  }
  const long long count = static_cast<long long>(nodes.size());
  long long links = 0;
  std::set<std::pair<int, int>> taken;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const json& node = nodes[i];
    const std::string where = "Nodes[" + std::to_string(i) + "].";
    if (!node.is_object()) {
      Fail("'Nodes[" + std::to_string(i) + "]' must be an object");
    }
    TAgent agent;
    agent.Column = static_cast<std::int32_t>(
        Integer(Member(node, "Column", where), 0, out.columns - 1, "'" + where + "Column'"));
    agent.Row = static_cast<std::int32_t>(
        Integer(Member(node, "Row", where), 0, out.rows - 1, "'" + where + "Row'"));
    agent.X = out.cell_size / 2 + agent.Column * out.cell_size;
    agent.Y = out.cell_size / 2 + agent.Row * out.cell_size;
    if (Integer(Member(node, "X", where), 0, kMaxPixels, "'" + where + "X'") != agent.X ||
        Integer(Member(node, "Y", where), 0, kMaxPixels, "'" + where + "Y'") != agent.Y) {
      Fail("'" + where + "X'/'Y' is not the centre of the node's cell");
    }
    if (!taken.insert({agent.Column, agent.Row}).second) {
      Fail("'" + where + "Column'/'Row': a second node in one cell");
    }
    if (out.coarse(agent.Column, agent.Row).State != kStateNode) {
      Fail("'" + where + "Column'/'Row': the node's cell is not in State 1");
    }
    out.coarse(agent.Column, agent.Row).NodeIndex = static_cast<std::int32_t>(i);
    const json& list = Member(node, "Links", where);
    if (!list.is_array()) {
      Fail("'" + where + "Links' must be an array");
    }
    for (std::size_t k = 0; k < list.size(); ++k) {
      const std::string link = "'" + where + "Links[" + std::to_string(k) + "]'";
      const json& pair = ArrayOf(list[k], 2, link);
      LinkEntry entry;
      entry.OtherNode = static_cast<std::int32_t>(Integer(pair[0], 0, count - 1, link + "[0]"));
      entry.Length = static_cast<std::int32_t>(Integer(pair[1], 0, 4 * kMaxPixels, link + "[1]"));
      agent.Links.push_back(entry);
    }
    links += static_cast<long long>(list.size());
    agent.Measure =
        node.contains("Measure") ? FiniteFloat(node["Measure"], "'" + where + "Measure'") : 0.0f;
    agent.Radius = node.contains("Radius")
                       ? static_cast<std::int32_t>(
                             Integer(node["Radius"], 1, kMaxCellSize, "'" + where + "Radius'"))
                       : 5;
    agent.Color =
        node.contains("Color")
            ? static_cast<Colour>(Integer(node["Color"], 0, 0xFFFFFF, "'" + where + "Color'"))
            : colours::kGrey;
    out.nodes.push_back(std::move(agent));
  }
  CheckNodesAgree(out, taken);
  if (out.node_count != out.nodes.size()) {
    Fail("'NodeCount' is " + std::to_string(out.node_count) + " but 'Nodes' lists " +
         std::to_string(out.nodes.size()));
  }
  if (2LL * out.edge_count != links) {
    Fail("'EdgeCount' is " + std::to_string(out.edge_count) + " but 'Nodes' list " +
         std::to_string(links / 2) + " links");
  }
}

void ReadCandidates(const json& doc, WorldDocument& out) {
  const json& list = Member(doc, "CandidateList");
  if (!list.is_array() || list.size() > 2 * static_cast<std::size_t>(out.columns) * out.rows) {
    Fail("'CandidateList' must be an array of at most two entries per cell");
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string where = "'CandidateList[" + std::to_string(i) + "]'";
    const json& pair = ArrayOf(list[i], 2, where);
    out.candidates.emplace_back(
        static_cast<std::int32_t>(Integer(pair[0], 0, out.columns - 1, where + "[0]")),
        static_cast<std::int32_t>(Integer(pair[1], 0, out.rows - 1, where + "[1]")));
  }
}

void ReadSettings(const json& doc, WorldDocument& out) {
  const SettingsRegistry& registry = SimulationSettings();
  if (!doc.contains("Settings")) {
    out.settings.emplace_back(setting::kCellScale.Str(), std::to_string(out.cell_size));
    return;
  }
  const json& settings = doc["Settings"];
  if (!settings.is_object()) {
    Fail("'Settings' must be an object of control names and texts");
  }
  for (const auto& [name, value] : settings.items()) {
    const SettingDef* def = registry.Find(SettingName{name});
    if (def == nullptr) {
      Fail("'Settings' names an unknown setting '" + name + "'");
    }
    if (!value.is_string() || value.get<std::string>().size() > kMaxSettingText) {
      Fail("'Settings." + name + "' must be a text of at most 1000 characters");
    }
    const std::string text = value.get<std::string>();
    if (HoldsState(*def) && text != "0" && text != "1") {
      Fail("'Settings." + name + "' must be \"0\" or \"1\"");
    }
  }
  for (const SettingDef& def : registry.All()) {
    if (settings.contains(def.name)) {
      out.settings.emplace_back(def.name, settings[def.name].get<std::string>());
    }
  }
  const auto cell = settings.find(setting::kCellScale.Str());
  if (cell == settings.end() || *cell != std::to_string(out.cell_size)) {
    Fail("'Settings.SE_cellScale' must be the world's 'CellSize', " +
         std::to_string(out.cell_size));
  }
}

void ReadRandom(const json& doc, WorldDocument& out) {
  if (!doc.contains("Random")) {
    return;
  }
  const json& random = doc["Random"];
  if (!random.is_object() || !Member(random, "Engine", "Random.").is_string()) {
    Fail("'Random' must be an object with the text 'Engine'");
  }
  RandomSource::State state;
  state.engine = random["Engine"].get<std::string>();
  const json& fixed = Member(random, "FixedSeed", "Random.");
  if (!fixed.is_null()) {
    state.fixed_seed = Unsigned(fixed, "'Random.FixedSeed'");
  }
  state.reseeds = Unsigned(Member(random, "Reseeds", "Random."), "'Random.Reseeds'");
  try {
    RandomSource probe;
    probe.Restore(state);
  } catch (const std::invalid_argument&) {
    Fail("'Random.Engine' is not a state of the random generator");
  }
  out.random = std::move(state);
}

void ReadGeoreference(const json& doc, WorldDocument& out) {
  if (!doc.contains("Georeference") || doc["Georeference"].is_null()) {
    return;
  }
  const json& geo = doc["Georeference"];
  if (!geo.is_object()) {
    Fail("'Georeference' must be an object");
  }
  Georeference g;
  const json& crs = Member(geo, "CRS", "Georeference.");
  if (!crs.is_string()) {
    Fail("'Georeference.CRS' must be a text (WKT, or empty for pixel units)");
  }
  g.crs_wkt = crs.get<std::string>();
  if (!g.crs_wkt.empty()) {
    OGRSpatialReference reference;
    if (reference.importFromWkt(g.crs_wkt.c_str()) != OGRERR_NONE) {
      Fail("'Georeference.CRS' is not a coordinate reference system in WKT");
    }
  }
  g.origin_x = Finite(Member(geo, "OriginX", "Georeference."), "'Georeference.OriginX'");
  g.origin_y = Finite(Member(geo, "OriginY", "Georeference."), "'Georeference.OriginY'");
  g.fine_cell_size =
      Finite(Member(geo, "FineCellSize", "Georeference."), "'Georeference.FineCellSize'");
  if (!(g.fine_cell_size > 0.0)) {
    Fail("'Georeference.FineCellSize' must be greater than 0");
  }
  out.georeference = std::move(g);
}

void ReadCounters(const json& doc, WorldDocument& out) {
  out.node_count = static_cast<std::uint32_t>(
      IntegerAt(doc, "NodeCount", 0, std::numeric_limits<std::uint32_t>::max()));
  out.edge_count = static_cast<std::uint32_t>(
      IntegerAt(doc, "EdgeCount", 0, std::numeric_limits<std::uint32_t>::max()));
  out.time_step = static_cast<std::uint32_t>(
      IntegerAt(doc, "TimeStep", 0, std::numeric_limits<std::uint32_t>::max()));
  out.field_type = static_cast<std::uint8_t>(IntegerAt(doc, "FieldType", 0, kFieldCluster));
  if (doc.contains("AnalysisCountdown")) {
    out.analysis_countdown = static_cast<std::int32_t>(
        IntegerAt(doc, "AnalysisCountdown", std::numeric_limits<std::int32_t>::min(), 10));
  }
  if (doc.contains("Running")) {
    if (!doc["Running"].is_boolean()) {
      Fail("'Running' must be true or false");
    }
    out.running = doc["Running"].get<bool>();
  }
  const json& seed = Member(doc, "Seed");
  if (!seed.is_null()) {
    out.seed = Unsigned(seed, "'Seed'");
  }
  if (doc.contains("MeanLength")) {
    out.mean_length = Finite(doc["MeanLength"], "'MeanLength'");
  }
  if (doc.contains("FineCellTotals")) {
    const json& totals = ArrayOf(doc["FineCellTotals"], 2, "'FineCellTotals'");
    for (std::size_t i = 0; i < 2; ++i) {
      out.fine_cell_totals[i] = static_cast<std::uint32_t>(
          Integer(totals[i], 0, 9LL * out.columns * out.rows, "'FineCellTotals'"));
    }
  }
  if (doc.contains("ClusterSizes")) {
    const json& sizes = doc["ClusterSizes"];
    if (!sizes.is_array() || sizes.size() > 9 * static_cast<std::size_t>(out.columns) * out.rows) {
      Fail("'ClusterSizes' must be an array of at most one size per fine cell");
    }
    for (const json& size : sizes) {
      out.cluster_sizes.push_back(
          static_cast<int>(Integer(size, 0, 9LL * out.columns * out.rows, "'ClusterSizes'")));
    }
  }
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

WorldDocument ParseWorldDocument(std::string_view text) {
  json doc;
  try {
    doc = json::parse(text);
  } catch (const json::parse_error& e) {
    Fail(std::string("not JSON: ") + e.what());
  }
  if (!doc.is_object()) {
    Fail("not a world: the file holds no JSON object");
  }
  WorldDocument out;
  out.width = static_cast<std::int32_t>(IntegerAt(doc, "Width", 1, kMaxPixels));
  out.height = static_cast<std::int32_t>(IntegerAt(doc, "Height", 1, kMaxPixels));
  out.cell_size = static_cast<std::int32_t>(IntegerAt(doc, "CellSize", 1, kMaxCellSize));
  out.columns = static_cast<std::int32_t>(IntegerAt(doc, "ColumnCount", 0, kMaxPixels));
  out.rows = static_cast<std::int32_t>(IntegerAt(doc, "RowCount", 0, kMaxPixels));
  if (out.columns != out.width / out.cell_size || out.rows != out.height / out.cell_size) {
    Fail("'ColumnCount'/'RowCount' do not fit 'Width'/'Height' at 'CellSize'");
  }
  ReadCounters(doc, out);
  ReadSettings(doc, out);
  ReadRandom(doc, out);
  ReadGeoreference(doc, out);
  ReadGrids(doc, out);
  ReadNodes(doc, out);
  ReadCandidates(doc, out);
  return out;
}

WorldDocument ReadWorldFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw WorldFileError(path + ": cannot open the world file");
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    throw WorldFileError(path + ": cannot read the world file");
  }
  try {
    return ParseWorldDocument(text.str());
  } catch (const WorldFileError& e) {
    throw WorldFileError(path + ": " + e.what());
  }
}

void RestoreWorld(const WorldDocument& document, Simulation& sim) {
  if (sim.settings.Int(setting::kCellScale) != document.cell_size) {
    throw WorldFileError("the settings' cell size is not the world's 'CellSize'");
  }
  sim.map.PanelWidth = document.width;
  sim.map.PanelHeight = document.height;
  if (sim.world.Exists()) {
    ClearWorld(sim);
  }
  NewSetup(sim);
  World& world = sim.world;
  // NewSetup may have planted a first node; the saved network replaces it.
  world.NodeList.clear();
  sim.map.NodeLabelList.clear();
  for (std::size_t i = 0; i < world.CellGrid.Cells().size(); ++i) {
    const TCell& saved = document.coarse.Cells()[i];
    TCell& cell = world.CellGrid.Cells()[i];
    cell.State = saved.State;
    cell.Potential = saved.Potential;
    cell.DevelopedCount = saved.DevelopedCount;
    cell.StreetCount = saved.StreetCount;
    cell.LandUse = saved.LandUse;
    cell.IsDevelopedCount = saved.IsDevelopedCount;
    cell.NodeIndex = saved.NodeIndex;
    cell.Color = saved.Color;
  }
  for (std::size_t i = 0; i < world.FineGrid.Cells().size(); ++i) {
    const TFineCell& saved = document.fine.Cells()[i];
    TFineCell& cell = world.FineGrid.Cells()[i];
    cell.LandUse = saved.LandUse;
    cell.SubState = saved.SubState;
    cell.Potential = saved.Potential;
    cell.IsDeveloped = saved.IsDeveloped;
    cell.ClusterSize = saved.ClusterSize;
    cell.Color = saved.Color;
  }
  for (const TAgent& saved : document.nodes) {
    world.NodeList.push_back(std::make_unique<TAgent>(saved));
  }
  // The grids were written wholesale: what was known about them is rebuilt when needed.
  world.Frontier.Reset();
  world.Sites.Reset();
  world.CandidateList.clear();
  for (const auto& [column, row] : document.candidates) {
    world.CandidateList.push_back(&world.CellGrid(column, row));
  }
  world.NodeCount = document.node_count;
  world.EdgeCount = document.edge_count;
  world.TimeStep = document.time_step;
  world.AnalysisCountdown = document.analysis_countdown;
  world.FieldType = document.field_type;
  sim.TimerEnabled = document.running;
  world.MeanLength = document.mean_length;
  world.FineCellTotals = document.fine_cell_totals;
  world.ClusterSizes = document.cluster_sizes;
  if (document.random) {
    sim.random.Restore(*document.random);
  }
  // The layers show what the saved world showed.
  if (sim.map.MapImage) {
    for (const TCell& cell : world.CellGrid.Cells()) {
      world.DrawCell(*sim.map.MapImage, cell);
    }
  }
  if (sim.map.FineImage) {
    for (const TFineCell& cell : world.FineGrid.Cells()) {
      world.DrawCell(*sim.map.FineImage, cell);
    }
  }
  ClearAgentLayer(sim);
  if (sim.map.AgentImage) {
    sim.map.AgentImage->pen.width = 1;
    for (const auto& node : world.NodeList) {
      node->DrawNode(*sim.map.AgentImage);
    }
  }
  DrawAllEdges(sim);
  sim.labels.Set(label::kNodeCount, FormatInt(world.NodeCount));
  sim.labels.Set(label::kEdgeCount, FormatInt(world.EdgeCount));
  sim.labels.Set(label::kTimeStep, FormatInt(world.TimeStep));
}

}  // namespace veltmoor
