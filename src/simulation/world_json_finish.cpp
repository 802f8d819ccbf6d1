// The checks that need the whole file read, and the document assembled from what passed.
#include <algorithm>
#include <limits>
#include <set>
#include <string>

#include "simulation/internal/world_json_reader.h"
#include "simulation/setup.h"

namespace veltmoor::world_json {

namespace {

constexpr std::size_t kMaxSettingText = 1000;

}  // namespace

void WorldReader::FinishCounters(const json& small) {
  auto integer = [&small](const char* key, long long min, long long max) {
    return Integer(Member(small, key), min, max, Quoted(key));
  };
  doc_.width = static_cast<std::int32_t>(integer("Width", 1, kMaxPixels));
  doc_.height = static_cast<std::int32_t>(integer("Height", 1, kMaxPixels));
  doc_.cell_size = static_cast<std::int32_t>(integer("CellSize", 1, kMaxCellSize));
  doc_.columns = static_cast<std::int32_t>(integer("ColumnCount", 0, kMaxPixels));
  doc_.rows = static_cast<std::int32_t>(integer("RowCount", 0, kMaxPixels));
  if (doc_.columns != doc_.width / doc_.cell_size || doc_.rows != doc_.height / doc_.cell_size) {
    Fail("'ColumnCount'/'RowCount' do not fit 'Width'/'Height' at 'CellSize'");
  }
  doc_.node_count = static_cast<std::uint32_t>(integer("NodeCount", 0, kMaxUint32));
  doc_.edge_count = static_cast<std::uint32_t>(integer("EdgeCount", 0, kMaxUint32));
  doc_.time_step = static_cast<std::uint32_t>(integer("TimeStep", 0, kMaxUint32));
  doc_.field_type = static_cast<std::uint8_t>(integer("FieldType", 0, kFieldCluster));
  if (small.contains("AnalysisCountdown")) {
    doc_.analysis_countdown = static_cast<std::int32_t>(
        integer("AnalysisCountdown", std::numeric_limits<std::int32_t>::min(), 10));
  }
  if (small.contains("Running")) {
    if (!small["Running"].is_boolean()) {
      Fail("'Running' must be true or false");
    }
    doc_.running = small["Running"].get<bool>();
  }
  const json& seed = Member(small, "Seed");
  if (!seed.is_null()) {
    doc_.seed = Unsigned(seed, "'Seed'");
  }
  if (small.contains("MeanLength")) {
    doc_.mean_length =
        Finite(small["MeanLength"], 0.0, std::numeric_limits<double>::max(), "'MeanLength'");
  }
  const long long fine_cells = 9LL * doc_.columns * doc_.rows;
  if (small.contains("FineCellTotals")) {
    const json& totals = small["FineCellTotals"];
    if (!totals.is_array() || totals.size() != 2) {
      Fail("'FineCellTotals' must be an array of 2");
    }
    for (std::size_t i = 0; i < 2; ++i) {
      doc_.fine_cell_totals[i] = static_cast<std::uint32_t>(
          Integer(totals[i], 0, fine_cells, "'FineCellTotals" + Indexed(i) + "'"));
    }
  }
}

void WorldReader::FinishSettings(const json& small) {
  const SettingsRegistry& registry = SimulationSettings();
  if (!small.contains("Settings")) {
    doc_.settings.emplace_back(setting::kCellScale.Str(), std::to_string(doc_.cell_size));
    return;
  }
  const json& settings = small["Settings"];
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
      doc_.settings.emplace_back(def.name, settings[def.name].get<std::string>());
    }
  }
  const auto cell = settings.find(setting::kCellScale.Str());
  if (cell == settings.end() || *cell != std::to_string(doc_.cell_size)) {
    Fail("'Settings.SE_cellScale' must be the world's 'CellSize', " +
         std::to_string(doc_.cell_size));
  }
}

void WorldReader::FinishRandom(const json& small) {
  if (!small.contains("Random")) {
    return;
  }
  const json& random = small["Random"];
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
  doc_.random = std::move(state);
}

void WorldReader::FinishGeoreference(const json& small) {
  if (!small.contains("Georeference") || small["Georeference"].is_null()) {
    return;
  }
  const json& geo = small["Georeference"];
  if (!geo.is_object()) {
    Fail("'Georeference' must be an object");
  }
  Georeference g;
  const json& crs = Member(geo, "CRS", "Georeference.");
  if (!crs.is_string()) {
    Fail("'Georeference.CRS' must be a text (WKT, or empty for pixel units)");
  }
  g.crs_wkt = crs.get<std::string>();
  g.origin_x = Finite(Member(geo, "OriginX", "Georeference."), -kMaxGeoCoordinate,
                      kMaxGeoCoordinate, "'Georeference.OriginX'");
  g.origin_y = Finite(Member(geo, "OriginY", "Georeference."), -kMaxGeoCoordinate,
                      kMaxGeoCoordinate, "'Georeference.OriginY'");
  g.fine_cell_size = Finite(Member(geo, "FineCellSize", "Georeference."), kMinFineCellSize,
                            kMaxFineCellSize, "'Georeference.FineCellSize'");
  doc_.georeference = std::move(g);
}

void WorldReader::FinishGrids() {
  if (!columns_ || !rows_) {
    LearnColumns(doc_.columns, "'ColumnCount'");
    LearnRows(doc_.rows, "'RowCount'");
  }
  LearnColumns(doc_.columns, "'ColumnCount'");
  LearnRows(doc_.rows, "'RowCount'");
  const std::size_t coarse = doc_.coarse.Cells().size();
  const std::size_t fine = doc_.fine.Cells().size();
  for (std::size_t g = 0; g < kGrids.size(); ++g) {
    const GridField& field = kGrids[g];
    if (grids_seen_[g]) {
      continue;
    }
    if (field.required) {
      Fail(Quoted(field.key) + " is missing");
    }
    if (field.fallback != nullptr) {
      const std::size_t cells = field.fine ? fine : coarse;
      for (std::size_t i = 0; i < cells; ++i) {
        field.fallback(doc_, i);
      }
    }
  }
  // The tallies of a coarse cell are those of its nine fine cells.
  for (int r = 0; r < doc_.rows; ++r) {
    for (int c = 0; c < doc_.columns; ++c) {
      int developed = 0;
      int streets = 0;
      for (int dr = 0; dr < 3; ++dr) {
        for (int dc = 0; dc < 3; ++dc) {
          const LandUseCode use = doc_.fine(3 * c + dc, 3 * r + dr).LandUse;
          developed += use == kLandDeveloped ? 1 : 0;
          streets += use == kLandStreet ? 1 : 0;
        }
      }
      const TCell& cell = doc_.coarse(c, r);
      if (cell.DevelopedCount != developed || cell.StreetCount != streets) {
        Fail("'DevelopedCount'/'StreetCount' of cell [" + std::to_string(c) + "][" +
             std::to_string(r) + "] disagree with its fine cells' 'LandUse'");
      }
    }
  }
}

void WorldReader::CheckNodesAgree(const std::set<std::pair<int, int>>& taken) const {
  // Every link is listed at both of its ends, and every cell in State 1 holds a node.
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    for (const LinkEntry& link : nodes_[i].agent.Links) {
      const auto& back = nodes_[static_cast<std::size_t>(link.OtherNode)].agent.Links;
      const bool listed = std::any_of(back.begin(), back.end(), [&](const LinkEntry& b) {
        return b.OtherNode == static_cast<std::int32_t>(i) && b.Length == link.Length;
      });
      if (!listed) {
        Fail("'Nodes" + Indexed(i) + ".Links': the link to node " + std::to_string(link.OtherNode) +
             " is missing at its other end");
      }
    }
  }
  for (int r = 0; r < doc_.rows; ++r) {
    for (int c = 0; c < doc_.columns; ++c) {
      if (doc_.coarse(c, r).State == kStateNode && !taken.contains({c, r})) {
        Fail("'State'[" + std::to_string(c) + "][" + std::to_string(r) +
             "] is 1 but no node lies in that cell");
      }
    }
  }
}

void WorldReader::FinishNodes() {
  if (!nodes_seen_) {
    Fail("'Nodes' is missing");
  }
  const auto count = static_cast<long long>(nodes_.size());
  long long links = 0;
  std::set<std::pair<int, int>> taken;
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    NodeDraft& draft = nodes_[i];
    TAgent& agent = draft.agent;
    const std::string where = "Nodes" + Indexed(i) + ".";
    auto required = [&where](const std::optional<long long>& value, const char* key,
                             long long max) {
      if (!value) {
        Fail(Quoted(where + key) + " is missing");
      }
      if (*value > max) {
        Fail(Quoted(where + key) + RangeText(0, max));
      }
      return static_cast<std::int32_t>(*value);
    };
    agent.Column = required(draft.column, "Column", doc_.columns - 1);
    agent.Row = required(draft.row, "Row", doc_.rows - 1);
    const std::int32_t x = required(draft.x, "X", kMaxPixels);
    const std::int32_t y = required(draft.y, "Y", kMaxPixels);
    if (!draft.links_seen) {
      Fail(Quoted(where + "Links") + " is missing");
    }
    agent.X = doc_.cell_size / 2 + agent.Column * doc_.cell_size;
    agent.Y = doc_.cell_size / 2 + agent.Row * doc_.cell_size;
    if (x != agent.X || y != agent.Y) {
      Fail(Quoted(where + "X") + "/" + Quoted("Y") + " is not the centre of the node's cell");
    }
    TCell& cell = doc_.coarse(agent.Column, agent.Row);
    if (cell.State != kStateNode) {
      Fail(Quoted(where + "Column") + "/" + Quoted("Row") + ": the node's cell is not in State 1");
    }
    if (!taken.insert({agent.Column, agent.Row}).second) {
      Fail(Quoted(where + "Column") + "/" + Quoted("Row") + ": a second node in one cell");
    }
    cell.NodeIndex = static_cast<std::int32_t>(i);
    for (std::size_t k = 0; k < agent.Links.size(); ++k) {
      const LinkEntry& link = agent.Links[k];
      if (link.OtherNode >= count || link.OtherNode == static_cast<std::int32_t>(i)) {
        Fail(Quoted(where + "Links" + Indexed(k)) + Indexed(0) + " must be another node, 0.." +
             std::to_string(count - 1));
      }
    }
    links += static_cast<long long>(agent.Links.size());
  }
  CheckNodesAgree(taken);
  if (doc_.node_count != nodes_.size()) {
    Fail("'NodeCount' is " + std::to_string(doc_.node_count) + " but 'Nodes' lists " +
         std::to_string(nodes_.size()));
  }
  if (2LL * doc_.edge_count != links) {
    Fail("'EdgeCount' is " + std::to_string(doc_.edge_count) + " but 'Nodes' list " +
         std::to_string(links / 2) + " links");
  }
  doc_.nodes.reserve(nodes_.size());
  for (NodeDraft& draft : nodes_) {
    doc_.nodes.push_back(std::move(draft.agent));
  }
  nodes_.clear();
}

void WorldReader::FinishLists() {
  if (!candidates_seen_) {
    Fail("'CandidateList' is missing");
  }
  const std::uint64_t cells = static_cast<std::uint64_t>(doc_.columns) * doc_.rows;
  if (candidates_.size() > 2 * cells) {
    Fail("'CandidateList' must be an array of at most two entries per cell");
  }
  for (std::size_t i = 0; i < candidates_.size(); ++i) {
    const auto [column, row] = candidates_[i];
    const std::string where = "'CandidateList'" + Indexed(i);
    if (column >= doc_.columns) {
      Fail(where + Indexed(0) + RangeText(0, doc_.columns - 1));
    }
    if (row >= doc_.rows) {
      Fail(where + Indexed(1) + RangeText(0, doc_.rows - 1));
    }
    doc_.candidates.emplace_back(static_cast<std::int32_t>(column), static_cast<std::int32_t>(row));
  }
  const long long fine_cells = 9LL * doc_.columns * doc_.rows;
  if (cluster_sizes_.size() > static_cast<std::size_t>(fine_cells)) {
    Fail("'ClusterSizes' must be an array of at most one size per fine cell");
  }
  for (std::size_t i = 0; i < cluster_sizes_.size(); ++i) {
    if (cluster_sizes_[i] > fine_cells) {
      Fail("'ClusterSizes'" + Indexed(i) + RangeText(1, fine_cells));
    }
    doc_.cluster_sizes.push_back(static_cast<int>(cluster_sizes_[i]));
  }
}

void WorldReader::Finish() {
  if (!done_) {
    Fail("not JSON: the file ends inside the world");
  }
  FinishCounters(small_);
  FinishSettings(small_);
  FinishRandom(small_);
  FinishGeoreference(small_);
  FinishGrids();
  FinishNodes();
  FinishLists();
}

}  // namespace veltmoor::world_json
