// Reading world.json: the SAX events of everything but the grids' values, the nodes and
// lists read as they stream by, the small members kept as JSON values until the end.
#include "simulation/internal/world_json_reader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace veltmoor {

namespace world_json {

namespace {

constexpr long long kMaxLinkLength = 4 * kMaxPixels;
// Top object, Nodes, a node, its Links, one link.
constexpr int kMaxDepth = 5;
// The small members (counters, Settings, Random, Georeference) are held as JSON values.
constexpr std::size_t kMaxSmallValues = 100000;
// The least a node takes in a file: {"Column":0,"Row":0,"X":0,"Y":0,"Links":[]}.
constexpr std::uint64_t kMinNodeBytes = 44;

}  // namespace

std::string WorldReader::Path() const {
  if (frames_.empty() || member_key_.empty()) {
    return {};
  }
  std::string path = Quoted(member_key_);
  switch (member_) {
    case Part::kGrid:
      if (frames_.size() >= 2) {
        path += Indexed(grid_column_);
      }
      if (frames_.size() >= 3) {
        path += Indexed(grid_row_);
      }
      break;
    case Part::kNodes:
      if (frames_.size() >= 3) {
        path = Quoted("Nodes" + Indexed(nodes_.size() - 1) + "." + node_key_);
      }
      break;
    default:
      if (frames_.size() >= 2 && frames_[1].count > 0) {
        path += Indexed(frames_[1].count - 1);
      }
      break;
  }
  return path;
}

std::string WorldReader::Where() const {
  const std::string path = Path();
  return path.empty() ? std::string() : " in " + path;
}

bool WorldReader::key(std::string& name) {
  source_.MarkEvent();
  Frame& frame = frames_.back();
  if (std::find(frame.keys.begin(), frame.keys.end(), name) != frame.keys.end()) {
    Fail(Quoted(name) + " appears twice" + (frames_.size() > 1 ? Where() : std::string()));
  }
  frame.keys.push_back(name);
  if (frames_.size() == 1) {
    member_key_ = name;
    grid_ = FindGrid(name);
    if (grid_ != nullptr) {
      member_ = Part::kGrid;
      grids_seen_[static_cast<std::size_t>(grid_ - kGrids.data())] = true;
      grid_column_ = grid_row_ = 0;
      grid_rows_.reset();
      pending_.clear();
    } else if (name == "Nodes") {
      member_ = Part::kNodes;
      nodes_seen_ = true;
    } else if (name == "CandidateList") {
      member_ = Part::kCandidates;
      candidates_seen_ = true;
    } else if (name == "ClusterSizes") {
      member_ = Part::kClusterSizes;
    } else {
      member_ = Part::kSmall;
      small_value_ = json();
      small_parser_ = std::make_unique<nlohmann::detail::json_sax_dom_parser<json>>(small_value_);
    }
    return true;
  }
  if (member_ == Part::kNodes && frames_.size() == 3) {
    node_key_ = name;
  }
  if (member_ == Part::kSmall) {
    SmallValueCounted();
    small_parser_->key(name);
  }
  return true;
}

bool WorldReader::Open(bool object) {
  source_.MarkEvent();
  if (frames_.size() >= static_cast<std::size_t>(kMaxDepth)) {
    Fail("nesting deeper than a world file has" + Where());
  }
  if (frames_.empty()) {
    if (!object || done_) {
      Fail("not a world: the file holds no JSON object");
    }
  } else {
    ++frames_.back().count;
    switch (member_) {
      case Part::kGrid:
        GridOpen(object);
        break;
      case Part::kNodes:
        NodeOpen(object);
        break;
      case Part::kCandidates:
      case Part::kClusterSizes:
        ListOpen(object);
        break;
      case Part::kSmall:
        SmallValueCounted();
        if (object) {
          small_parser_->start_object(static_cast<std::size_t>(-1));
        } else {
          small_parser_->start_array(static_cast<std::size_t>(-1));
        }
        break;
      default:
        break;
    }
  }
  frames_.push_back(Frame{object, 0, {}});
  if (member_ == Part::kGrid && frames_.size() == 2) {
    ScanGrid();
  }
  return true;
}

bool WorldReader::Close() {
  source_.MarkEvent();
  const Frame frame = std::move(frames_.back());
  frames_.pop_back();
  if (frames_.empty()) {
    done_ = true;
    return true;
  }
  switch (member_) {
    case Part::kGrid:
      GridClose();
      break;
    case Part::kNodes:
      NodeClose();
      break;
    case Part::kSmall:
      if (frame.object) {
        small_parser_->end_object();
      } else {
        small_parser_->end_array();
      }
      if (frames_.size() == 1) {
        small_[member_key_] = std::move(small_value_);
      }
      break;
    default:
      break;
  }
  return true;
}

bool WorldReader::Value(const Scalar& value, std::string* text) {
  source_.MarkEvent();
  if (frames_.empty()) {
    Fail("not a world: the file holds no JSON object");
  }
  ++frames_.back().count;
  switch (member_) {
    case Part::kGrid:
      GridValue(value);
      break;
    case Part::kNodes:
      NodeValue(value);
      break;
    case Part::kCandidates:
    case Part::kClusterSizes:
      ListValue(value);
      break;
    case Part::kSmall:
      SmallValueCounted();
      switch (value.kind) {
        case Scalar::Kind::kNull:
          small_parser_->null();
          break;
        case Scalar::Kind::kBool:
          small_parser_->boolean(value.boolean);
          break;
        case Scalar::Kind::kInteger:
          small_parser_->number_integer(value.integer);
          break;
        case Scalar::Kind::kUnsigned:
          small_parser_->number_unsigned(value.unsigned_value);
          break;
        case Scalar::Kind::kFloat:
          small_parser_->number_float(value.number, {});
          break;
        default:
          small_parser_->string(*text);
          break;
      }
      if (frames_.size() == 1) {
        small_[member_key_] = std::move(small_value_);
        if (member_key_ == "ColumnCount") {
          LearnColumns(Integer(small_[member_key_], 0, kMaxPixels, "'ColumnCount'"),
                       "'ColumnCount'");
        } else if (member_key_ == "RowCount") {
          LearnRows(Integer(small_[member_key_], 0, kMaxPixels, "'RowCount'"), "'RowCount'");
        }
      }
      break;
    default:
      break;
  }
  return true;
}

void WorldReader::SmallValueCounted() {
  if (++small_values_ > kMaxSmallValues) {
    Fail(Quoted(member_key_) + " holds more values than a world file has");
  }
}

// ---- nodes and lists -----------------------------------------------------------------

void WorldReader::NodeOpen(bool object) {
  const std::size_t depth = frames_.size();
  if (depth == 1) {
    if (object) {
      Fail("'Nodes' must be an array");
    }
    return;
  }
  if (depth == 2) {
    if (!object) {
      Fail("'Nodes" + Indexed(nodes_.size()) + "' must be an object");
    }
    if ((nodes_.size() + 1) * kMinNodeBytes > source_.Total() ||
        (allocated_ && nodes_.size() + 1 > Cells())) {
      Fail("'Nodes' lists more nodes than the world has cells");
    }
    nodes_.emplace_back();
    nodes_.back().agent.Radius = 5;
    node_key_.clear();
    return;
  }
  if (depth == 3 && node_key_ == "Links" && !object) {
    nodes_.back().links_seen = true;
    return;
  }
  if (depth == 4 && node_key_ == "Links" && !object) {
    pair_.clear();
    return;
  }
  Fail(Path() +
       (node_key_ == "Links" ? " must be an array of [node, length] pairs" : " must be a number"));
}

void WorldReader::NodeValue(const Scalar& value) {
  const std::size_t depth = frames_.size();
  if (depth == 1 || depth == 2) {
    Fail(depth == 1 ? "'Nodes' must be an array"
                    : "'Nodes" + Indexed(nodes_.size()) + "' must be an object");
  }
  NodeDraft& node = nodes_.back();
  const std::string where = Path();
  if (node_key_ == "Links") {
    if (depth != 5) {
      Fail(where + " must be an array of [node, length] pairs");
    }
    if (pair_.size() == 2) {
      Fail(where + Indexed(node.agent.Links.size()) + " must be an array of 2");
    }
    const std::string link = where + Indexed(node.agent.Links.size()) + Indexed(pair_.size());
    pair_.push_back(pair_.empty() ? CheckInteger(value, 0, kMaxInt32, link)
                                  : CheckInteger(value, 1, kMaxLinkLength, link));
    return;
  }
  if (node_key_ == "X") {
    node.x = CheckInteger(value, 0, kMaxPixels, where);
  } else if (node_key_ == "Y") {
    node.y = CheckInteger(value, 0, kMaxPixels, where);
  } else if (node_key_ == "Column") {
    node.column = CheckInteger(value, 0, kMaxPixels, where);
  } else if (node_key_ == "Row") {
    node.row = CheckInteger(value, 0, kMaxPixels, where);
  } else if (node_key_ == "Measure") {
    node.agent.Measure = CheckFloat(value, where);
  } else if (node_key_ == "Radius") {
    node.agent.Radius = static_cast<std::int32_t>(CheckInteger(value, 1, kMaxCellSize, where));
  } else if (node_key_ == "Color") {
    node.agent.Color = static_cast<Colour>(CheckInteger(value, 0, kMaxColour, where));
  }
}

void WorldReader::NodeClose() {
  if (frames_.size() == 4 && node_key_ == "Links") {  // a link ended
    NodeDraft& node = nodes_.back();
    if (pair_.size() != 2) {
      Fail(Path() + Indexed(node.agent.Links.size()) + " must be an array of 2");
    }
    if (2 * (node.agent.Links.size() + 1) > source_.Total()) {
      Fail(Path() + " lists more links than the file can hold");
    }
    node.agent.Links.push_back(
        {static_cast<std::int32_t>(pair_[0]), static_cast<std::int32_t>(pair_[1])});
  }
}

void WorldReader::ListOpen(bool object) {
  const std::size_t depth = frames_.size();
  const bool pairs = member_ == Part::kCandidates;
  if (object || depth > (pairs ? 2U : 1U)) {
    Fail(Path() + (pairs ? " must be an array of [column, row] pairs" : " must be an integer"));
  }
  if (depth == 2) {
    pair_.clear();
  }
}

void WorldReader::ListValue(const Scalar& value) {
  const std::size_t depth = frames_.size();
  // Each entry took at least two bytes of the file.
  if (++list_entries_ > source_.Total()) {
    Fail(Quoted(member_key_) + " holds more entries than the file can");
  }
  if (member_ == Part::kClusterSizes) {
    if (depth != 2) {
      Fail("'ClusterSizes' must be an array of integers");
    }
    cluster_sizes_.push_back(CheckInteger(value, 1, kMaxInt32, [this] { return Path(); }));
    return;
  }
  if (depth != 3) {
    Fail(Path() + " must be an array of [column, row] pairs");
  }
  if (pair_.size() == 2) {
    Fail("'CandidateList" + Indexed(candidates_.size()) + "' must be an array of 2");
  }
  pair_.push_back(CheckInteger(value, 0, kMaxPixels, [this] { return Path(); }));
  if (pair_.size() == 2) {
    candidates_.emplace_back(pair_[0], pair_[1]);
  }
}

WorldDocument ReadFrom(ChunkSource& source) {
  WorldDocument doc;
  WorldReader reader(source, doc);
  json::sax_parse(SourceIterator(&source), SourceIterator(), &reader);
  reader.Finish();
  return doc;
}

}  // namespace world_json

WorldDocument ParseWorldJson(std::string_view text, const WorldReadProgress& progress) {
  std::size_t offset = 0;
  world_json::ChunkSource source(
      [text, &offset] {
        const std::string_view chunk = text.substr(offset, world_json::kChunkBytes);
        offset += chunk.size();
        return chunk;
      },
      text.size(), progress);
  return world_json::ReadFrom(source);
}

WorldDocument ReadWorldJson(const std::string& path, const WorldReadProgress& progress) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) {
    throw WorldFileError(path + ": cannot open the world file");
  }
  // A FIFO or a device would be read until it ends, perhaps never.
  if (!std::filesystem::is_regular_file(status)) {
    throw WorldFileError(path + ": not a regular file");
  }
  std::ifstream in(path, std::ios::binary);
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!in || error) {
    throw WorldFileError(path + ": cannot open the world file");
  }
  std::vector<char> buffer(world_json::kChunkBytes);
  world_json::ChunkSource source(
      [&in, &buffer] {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (in.bad()) {
          throw WorldFileError("cannot read the world file");
        }
        return std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount()));
      },
      size, progress);
  try {
    return world_json::ReadFrom(source);
  } catch (const WorldFileError& e) {
    throw WorldFileError(path + ": " + e.what());
  }
}

}  // namespace veltmoor
