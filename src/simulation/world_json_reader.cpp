// Reading world.json: a SAX pass that puts every grid value straight into the cell it
// belongs to. The file is hostile until checked, so the reader holds no more than the world
// the file shows (or claims, when the file is large enough to hold it and the memory is
// there), refuses nesting and runs of bytes no world file has, and checks every value's
// range on arrival or, where the range depends on the whole world, once the file is read.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "simulation/setup.h"
#include "simulation/world_json.h"

namespace veltmoor {

namespace {

using json = nlohmann::json;

constexpr long long kMaxPixels = 20000;
constexpr long long kMaxCellSize = 1000;
constexpr std::size_t kMaxSettingText = 1000;
constexpr long long kMaxLinkLength = 4 * kMaxPixels;
constexpr long long kMaxColour = 0xFFFFFF;
constexpr long long kMaxInt32 = std::numeric_limits<std::int32_t>::max();
constexpr long long kMaxUint32 = std::numeric_limits<std::uint32_t>::max();

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
// The longest token or run of whitespace a world file has is a CRS text of a few kB.
constexpr std::uint64_t kMaxGapBytes = std::uint64_t{4} << 20;
// The longest number a grid value needs, with room to spare.
constexpr std::size_t kMaxToken = 63;
// Grid columns gathered before they are stored row by row.
constexpr std::size_t kBatchColumns = 16;
// Top object, Nodes, a node, its Links, one link.
constexpr int kMaxDepth = 5;
// The small members (counters, Settings, Random, Georeference) are held as JSON values.
constexpr std::size_t kMaxSmallValues = 100000;
// Each coarse cell appears in at least four coarse grids and its nine fine cells in two
// fine grids, every value taking at least a digit and a separator.
constexpr std::uint64_t kMinFileBytesPerCell = std::uint64_t{2} * (4 + 2 * 9);
// The least a node takes in a file: {"Column":0,"Row":0,"X":0,"Y":0,"Links":[]}.
constexpr std::uint64_t kMinNodeBytes = 44;

[[noreturn]] void Fail(const std::string& what) {
  throw WorldFileError(what);
}

std::string Quoted(const std::string& key) {
  return "'" + key + "'";
}

std::string Indexed(std::uint64_t i) {
  return "[" + std::to_string(i) + "]";
}

// ---- input ---------------------------------------------------------------------------

// Hands the parser the file a chunk at a time, reports progress between chunks, and stops
// at a run of bytes longer than any token (whitespace or a giant string would otherwise be
// read, or held by the parser, whole).
class ChunkSource {
 public:
  using Reader = std::function<std::string_view()>;

  ChunkSource(Reader next, std::uint64_t total, const WorldReadProgress& progress)
      : next_(std::move(next)), total_(total), progress_(progress) {}

  bool AtEnd() { return pos_ >= chunk_.size() && !Refill(); }
  const char& Current() const { return chunk_[pos_]; }
  // The next character, or '\0' at the end of the file (never a character of JSON).
  char Peek() { return AtEnd() ? '\0' : chunk_[pos_]; }
  void Advance() { ++pos_; }
  // What is left of the chunk at hand (possibly nothing), and a step over part of it.
  std::string_view Rest() {
    AtEnd();
    return chunk_.substr(std::min(pos_, chunk_.size()));
  }
  void Skip(std::size_t n) { pos_ += n; }
  std::uint64_t Offset() const { return consumed_ + pos_; }
  void MarkEvent() { last_event_ = Offset(); }
  std::uint64_t Total() const { return total_; }

 private:
  bool Refill() {
    consumed_ += chunk_.size();
    pos_ = 0;
    if (consumed_ - last_event_ > kMaxGapBytes) {
      Fail("more than " + std::to_string(kMaxGapBytes >> 20) +
           " MiB of whitespace or of one token at byte " + std::to_string(last_event_) +
           ": not a world file");
    }
    if (progress_ && consumed_ > 0 && total_ > 0 &&
        !progress_(std::min(1.0, static_cast<double>(consumed_) / static_cast<double>(total_)))) {
      throw WorldReadCancelled();
    }
    chunk_ = next_();
    return !chunk_.empty();
  }

  Reader next_;
  std::uint64_t total_;
  const WorldReadProgress& progress_;
  std::string_view chunk_;
  std::size_t pos_ = 0;
  std::uint64_t consumed_ = 0;
  std::uint64_t last_event_ = 0;
};

// The parser's view of a ChunkSource: a single-pass character iterator.
class SourceIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  SourceIterator() = default;
  explicit SourceIterator(ChunkSource* source) : source_(source) {}

  reference operator*() const { return source_->Current(); }
  SourceIterator& operator++() {
    source_->Advance();
    return *this;
  }
  bool operator==(const SourceIterator& other) const { return AtEnd() == other.AtEnd(); }

 private:
  bool AtEnd() const { return source_ == nullptr || source_->AtEnd(); }

  ChunkSource* source_ = nullptr;
};

// ---- checked values ------------------------------------------------------------------

// One JSON scalar as the parser reports it.
struct Scalar {
  enum class Kind : std::uint8_t { kNull, kBool, kInteger, kUnsigned, kFloat, kString, kOther };
  Kind kind = Kind::kNull;
  std::int64_t integer = 0;
  std::uint64_t unsigned_value = 0;
  double number = 0.0;
  bool boolean = false;
};

std::string Limit(double value) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%g", value);
  return text.data();
}

std::string RangeText(long long min, long long max) {
  return " must be an integer in " + std::to_string(min) + ".." + std::to_string(max);
}

// The checks name the value only when it fails: `what` makes the name, which a grid of
// millions of values cannot afford to make for each.
template <typename What>
long long CheckInteger(const Scalar& v, long long min, long long max, const What& what) {
  long long value = 0;
  if (v.kind == Scalar::Kind::kUnsigned &&
      v.unsigned_value <= static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) {
    value = static_cast<long long>(v.unsigned_value);
  } else if (v.kind == Scalar::Kind::kInteger) {
    value = v.integer;
  } else {
    Fail(what() + RangeText(min, max));
  }
  if (value < min || value > max) {
    Fail(what() + RangeText(min, max));
  }
  return value;
}

long long CheckInteger(const Scalar& v, long long min, long long max, const std::string& what) {
  return CheckInteger(v, min, max, [&what] { return what; });
}

double AsDouble(const Scalar& v) {
  switch (v.kind) {
    case Scalar::Kind::kInteger:
      return static_cast<double>(v.integer);
    case Scalar::Kind::kUnsigned:
      return static_cast<double>(v.unsigned_value);
    default:
      return v.number;
  }
}

bool IsNumber(const Scalar& v) {
  return v.kind == Scalar::Kind::kInteger || v.kind == Scalar::Kind::kUnsigned ||
         v.kind == Scalar::Kind::kFloat;
}

template <typename What>
float CheckFloat(const Scalar& v, const What& what) {
  const double d = AsDouble(v);
  if (!IsNumber(v) || !std::isfinite(d)) {
    Fail(what() + " must be a finite number");
  }
  if (std::abs(d) > std::numeric_limits<float>::max()) {
    Fail(what() + " lies outside the range of a 32-bit float");
  }
  return static_cast<float>(d);
}

float CheckFloat(const Scalar& v, const std::string& what) {
  return CheckFloat(v, [&what] { return what; });
}

Scalar ScalarOf(const json& value) {
  Scalar s;
  if (value.is_number_unsigned()) {
    s.kind = Scalar::Kind::kUnsigned;
    s.unsigned_value = value.get<std::uint64_t>();
  } else if (value.is_number_integer()) {
    s.kind = Scalar::Kind::kInteger;
    s.integer = value.get<std::int64_t>();
  } else if (value.is_number_float()) {
    s.kind = Scalar::Kind::kFloat;
    s.number = value.get<double>();
  } else if (value.is_boolean()) {
    s.kind = Scalar::Kind::kBool;
    s.boolean = value.get<bool>();
  } else if (!value.is_null()) {
    s.kind = Scalar::Kind::kOther;
  }
  return s;
}

long long Integer(const json& value, long long min, long long max, const std::string& what) {
  return CheckInteger(ScalarOf(value), min, max, what);
}

double Finite(const json& value, double min, double max, const std::string& what) {
  const Scalar s = ScalarOf(value);
  const double d = AsDouble(s);
  if (!IsNumber(s) || !std::isfinite(d) || d < min || d > max) {
    Fail(what + " must be a finite number in " + Limit(min) + ".." + Limit(max));
  }
  return d;
}

std::uint64_t Unsigned(const json& value, const std::string& what) {
  if (!value.is_number_unsigned() &&
      !(value.is_number_integer() && value.get<std::int64_t>() >= 0)) {
    Fail(what + " must be a non-negative integer");
  }
  return value.get<std::uint64_t>();
}

const json& Member(const json& object, const std::string& key, const std::string& where = {}) {
  const auto it = object.find(key);
  if (it == object.end()) {
    Fail(Quoted(where + key) + " is missing");
  }
  return *it;
}

// ---- the grids -----------------------------------------------------------------------

enum class ValueKind : std::uint8_t { kInteger, kFloat, kBool };

// A grid member: which grid, the range of its values, and where a value goes.
struct GridField {
  const char* key;
  bool fine;
  bool required;
  ValueKind kind;
  long long min;
  long long max;
  void (*store)(WorldDocument& doc, std::size_t index, double value);
  // Sets a cell of a grid the file leaves out, from the grids read; null: left as it is.
  void (*fallback)(WorldDocument& doc, std::size_t index);
};

template <typename Code>
constexpr long long First(Code code) {
  return CodeNumber(code);
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

TCell& CoarseAt(WorldDocument& doc, std::size_t i) {
  return doc.coarse.Cells()[i];
}
TFineCell& FineAt(WorldDocument& doc, std::size_t i) {
  return doc.fine.Cells()[i];
}

// In the order they are checked and fallen back on: a fallback reads only grids above it.
// A coarse cell holds nine fine cells; streets and development can fill all of them.
const std::array<GridField, 13> kGrids{{
    {"State", false, true, ValueKind::kInteger, First(kStateFree), First(kStateCandidate),
     [](WorldDocument& d, std::size_t i, double v) {
       CoarseAt(d, i).State = static_cast<CellState>(static_cast<int>(v));
     },
     nullptr},
    {"Potential", false, true, ValueKind::kFloat, 0, 0,
     [](WorldDocument& d, std::size_t i, double v) {
       CoarseAt(d, i).Potential = static_cast<float>(v);
     },
     nullptr},
    {"DevelopedCount", false, true, ValueKind::kInteger, 0, 9,
     [](WorldDocument& d, std::size_t i, double v) {
       CoarseAt(d, i).DevelopedCount = static_cast<std::int32_t>(v);
     },
     nullptr},
    {"StreetCount", false, true, ValueKind::kInteger, 0, 9,
     [](WorldDocument& d, std::size_t i, double v) {
       CoarseAt(d, i).StreetCount = static_cast<std::uint8_t>(v);
     },
     nullptr},
    {"LandUse", true, true, ValueKind::kInteger, First(kLandFree), First(kLandDeveloped),
     [](WorldDocument& d, std::size_t i, double v) {
       FineAt(d, i).LandUse = static_cast<LandUseCode>(static_cast<int>(v));
     },
     nullptr},
    {"SubState", true, true, ValueKind::kInteger, First(kSubNone), First(kSubOpen),
     [](WorldDocument& d, std::size_t i, double v) {
       FineAt(d, i).SubState = static_cast<SubStateCode>(static_cast<int>(v));
     },
     nullptr},
    // What a run keeps between steps beyond the published grids; files without them (older
    // ones, or written by other tools) start these from what the grids above imply.
    {"CellLandUse", false, false, ValueKind::kInteger, First(kLandFree), First(kLandDeveloped),
     [](WorldDocument& d, std::size_t i, double v) {
       CoarseAt(d, i).LandUse = static_cast<LandUseCode>(static_cast<int>(v));
     },
     [](WorldDocument& d, std::size_t i) {
       TCell& cell = CoarseAt(d, i);
       cell.LandUse = cell.DevelopedCount > 0 ? kLandDeveloped : kLandFree;
     }},
    {"IsDevelopedCount", false, false, ValueKind::kInteger, 0, 9,
     [](WorldDocument& d, std::size_t i, double v) {
       CoarseAt(d, i).IsDevelopedCount = static_cast<std::uint8_t>(v);
     },
     nullptr},
    {"CellColor", false, false, ValueKind::kInteger, 0, kMaxColour,
     [](WorldDocument& d, std::size_t i, double v) {
       CoarseAt(d, i).Color = static_cast<Colour>(v);
     },
     [](WorldDocument& d, std::size_t i) {
       TCell& cell = CoarseAt(d, i);
       cell.Color = cell.State == kStateNode ? colours::kLightGrey : colours::kWhite;
     }},
    {"FinePotential", true, false, ValueKind::kFloat, 0, 0,
     [](WorldDocument& d, std::size_t i, double v) {
       FineAt(d, i).Potential = static_cast<float>(v);
     },
     nullptr},
    {"IsDeveloped", true, false, ValueKind::kBool, 0, 1,
     [](WorldDocument& d, std::size_t i, double v) { FineAt(d, i).IsDeveloped = v != 0.0; },
     nullptr},
    {"ClusterSize", true, false, ValueKind::kInteger, 0, kMaxInt32,
     [](WorldDocument& d, std::size_t i, double v) {
       FineAt(d, i).ClusterSize = static_cast<std::int32_t>(v);
     },
     nullptr},
    {"FineColor", true, false, ValueKind::kInteger, 0, kMaxColour,
     [](WorldDocument& d, std::size_t i, double v) { FineAt(d, i).Color = static_cast<Colour>(v); },
     [](WorldDocument& d, std::size_t i) {
       TFineCell& cell = FineAt(d, i);
       cell.Color = LandUseColour(cell);
     }},
}};

const GridField* FindGrid(const std::string& key) {
  const auto it = std::find_if(kGrids.begin(), kGrids.end(),
                               [&key](const GridField& field) { return key == field.key; });
  return it == kGrids.end() ? nullptr : &*it;
}

// The value of one grid cell, checked; booleans as 0 or 1.
template <typename What>
double GridValue(const GridField& field, const Scalar& v, const What& where) {
  switch (field.kind) {
    case ValueKind::kFloat:
      return CheckFloat(v, where);
    case ValueKind::kBool:
      if (v.kind != Scalar::Kind::kBool) {
        Fail(where() + " must be true or false");
      }
      return v.boolean ? 1.0 : 0.0;
    case ValueKind::kInteger:
      break;
  }
  return static_cast<double>(CheckInteger(v, field.min, field.max, where));
}

// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?; `integral` tells whether it is written
// as an integer.
bool IsJsonNumber(std::string_view t, bool& integral) {
  std::size_t i = 0;
  auto digits = [&t, &i] {
    const std::size_t start = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
      ++i;
    }
    return i - start;
  };
  if (i < t.size() && t[i] == '-') {
    ++i;
  }
  const std::size_t whole = i;
  if (digits() == 0 || (t[whole] == '0' && i - whole > 1)) {
    return false;
  }
  integral = i == t.size();
  if (i < t.size() && t[i] == '.') {
    ++i;
    if (digits() == 0) {
      return false;
    }
  }
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
      ++i;
    }
    if (digits() == 0) {
      return false;
    }
  }
  return i == t.size();
}

// ---- the reader ----------------------------------------------------------------------

// The top-level members that are read as they stream by; every other member is small and
// kept as a JSON value until the whole file is read.
enum class Part : std::uint8_t { kNone, kGrid, kNodes, kCandidates, kClusterSizes, kSmall };

// A node as the file lists it, its fields checked as far as they can be without the world.
struct NodeDraft {
  TAgent agent;
  std::optional<long long> x, y, column, row;
  bool links_seen = false;
};

class WorldReader {
 public:
  WorldReader(ChunkSource& source, WorldDocument& doc) : source_(source), doc_(doc) {}

  // ---- the SAX interface -------------------------------------------------------------
  bool null() { return Value(Scalar{}); }
  bool boolean(bool b) {
    Scalar s;
    s.kind = Scalar::Kind::kBool;
    s.boolean = b;
    return Value(s);
  }
  bool number_integer(std::int64_t i) {
    Scalar s;
    s.kind = Scalar::Kind::kInteger;
    s.integer = i;
    return Value(s);
  }
  bool number_unsigned(std::uint64_t u) {
    Scalar s;
    s.kind = Scalar::Kind::kUnsigned;
    s.unsigned_value = u;
    return Value(s);
  }
  bool number_float(double d, const std::string& /*text*/) {
    Scalar s;
    s.kind = Scalar::Kind::kFloat;
    s.number = d;
    return Value(s);
  }
  bool string(std::string& text) {
    Scalar s;
    s.kind = Scalar::Kind::kString;
    return Value(s, &text);
  }
  bool binary(json::binary_t& /*unused*/) { Fail("binary data in a world file"); }
  bool start_object(std::size_t /*unknown*/) { return Open(true); }
  bool start_array(std::size_t /*unknown*/) { return Open(false); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }
  bool key(std::string& name);
  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& error) {
    if (error.id == 406) {
      Fail(Where() + " is a number beyond the range of a double (" + token + ")");
    }
    Fail("not JSON at byte " + std::to_string(position) + Where() + ": " + error.what());
  }

  // Checks what can be checked only with the whole file read.
  void Finish();

 private:
  struct Frame {
    bool object;
    std::uint64_t count = 0;  // elements so far
    std::vector<std::string> keys;
  };

  bool Open(bool object);
  bool Close();
  bool Value(const Scalar& value, std::string* text = nullptr);

  // Where the parser is, for messages: " in 'Potential'[3][4]".
  std::string Where() const;
  std::string Path() const;

  // The world's shape, from ColumnCount/RowCount or from the grids themselves.
  void LearnColumns(long long columns, const std::string& source);
  void LearnRows(long long rows, const std::string& source);
  void AllocateIfShaped();
  std::uint64_t Cells() const {
    return static_cast<std::uint64_t>(*columns_) * static_cast<std::uint64_t>(*rows_);
  }

  void GridOpen(bool object);
  void GridValue(const Scalar& value);
  void GridClose();
  void ScanGrid();
  Scalar ScanNumber();
  void SkipSpace();
  void Expect(char c);
  void StoreColumns();

  void NodeOpen(bool object);
  void NodeValue(const Scalar& value);
  void NodeClose();
  void ListOpen(bool object);
  void ListValue(const Scalar& value);
  void SmallValueCounted();

  void FinishCounters(const json& small);
  void FinishSettings(const json& small);
  void FinishRandom(const json& small);
  void FinishGeoreference(const json& small);
  void FinishGrids();
  void FinishNodes();
  void CheckNodesAgree(const std::set<std::pair<int, int>>& taken) const;
  void FinishLists();

  ChunkSource& source_;
  WorldDocument& doc_;
  std::vector<Frame> frames_;
  bool done_ = false;

  Part member_ = Part::kNone;
  std::string member_key_;
  const GridField* grid_ = nullptr;
  std::array<bool, kGrids.size()> grids_seen_{};
  std::optional<long long> columns_, rows_;
  bool allocated_ = false;
  // Values of a grid that arrived before the world's shape was known, column by column.
  std::vector<double> pending_;
  std::uint64_t grid_column_ = 0;
  std::uint64_t grid_row_ = 0;
  std::optional<std::uint64_t> grid_rows_;  // values per column of the grid being read

  json small_ = json::object();
  json small_value_;
  std::unique_ptr<nlohmann::detail::json_sax_dom_parser<json>> small_parser_;
  std::size_t small_values_ = 0;

  bool nodes_seen_ = false;
  bool candidates_seen_ = false;
  std::vector<NodeDraft> nodes_;
  std::string node_key_;
  std::vector<std::int64_t> pair_;
  std::vector<std::pair<long long, long long>> candidates_;
  std::vector<long long> cluster_sizes_;
  std::uint64_t list_entries_ = 0;
};

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

// ---- shape ---------------------------------------------------------------------------

void WorldReader::LearnColumns(long long columns, const std::string& source) {
  if (columns_ && *columns_ != columns) {
    Fail(source + " gives " + std::to_string(columns) + " columns, the world has " +
         std::to_string(*columns_));
  }
  if (columns > kMaxPixels) {
    Fail(source + " gives more than " + std::to_string(kMaxPixels) + " columns");
  }
  columns_ = columns;
  AllocateIfShaped();
}

void WorldReader::LearnRows(long long rows, const std::string& source) {
  if (rows_ && *rows_ != rows) {
    Fail(source + " gives " + std::to_string(rows) + " rows, the world has " +
         std::to_string(*rows_));
  }
  if (rows > kMaxPixels) {
    Fail(source + " gives more than " + std::to_string(kMaxPixels) + " rows");
  }
  rows_ = rows;
  AllocateIfShaped();
}

void WorldReader::AllocateIfShaped() {
  if (allocated_ || !columns_ || !rows_) {
    return;
  }
  const std::uint64_t cells = Cells();
  const std::string world =
      "a world of " + std::to_string(*columns_) + " x " + std::to_string(*rows_) + " cells";
  if (source_.Total() < cells * kMinFileBytesPerCell) {
    Fail("the file (" + std::to_string(source_.Total()) + " bytes) is too small to hold " + world +
         ", which takes at least " + std::to_string(cells * kMinFileBytesPerCell) + " bytes");
  }
  const std::uint64_t need = cells * (sizeof(TCell) + 9 * sizeof(TFineCell));
  const std::uint64_t budget = MemoryBudget();
  if (need > budget) {
    Fail(world + " needs " + std::to_string(need) + " bytes, more than the " +
         std::to_string(budget) + " bytes of memory there are");
  }
  allocated_ = true;
  doc_.coarse.Resize(static_cast<int>(*columns_), static_cast<int>(*rows_));
  doc_.fine.Resize(static_cast<int>(3 * *columns_), static_cast<int>(3 * *rows_));
  pending_.reserve(kBatchColumns * 3 * static_cast<std::size_t>(*rows_));
}

// ---- grids ---------------------------------------------------------------------------

void WorldReader::GridOpen(bool object) {
  const std::size_t depth = frames_.size();  // of the container that holds the new one
  if (object || depth > 2) {
    Fail(Path() + " must be " + (depth == 1 ? "an array of columns" : "a number"));
  }
  if (depth == 2) {
    grid_row_ = 0;
    const long long factor = grid_->fine ? 3 : 1;
    if (columns_ && static_cast<long long>(grid_column_) >= factor * *columns_) {
      Fail(Quoted(member_key_) + " has more than the world's " +
           std::to_string(factor * *columns_) + " columns");
    }
  }
}

// The file lists a grid column by column; the grid keeps its cells row by row. Values are
// gathered for a few columns and stored a row at a time, which keeps the stores of a large
// grid in few cache lines.
void WorldReader::StoreColumns() {
  const long long factor = grid_->fine ? 3 : 1;
  const auto rows = static_cast<std::size_t>(factor * *rows_);
  const auto columns = static_cast<std::size_t>(factor * *columns_);
  const std::size_t count = rows == 0 ? 0 : pending_.size() / rows;
  const std::size_t first = static_cast<std::size_t>(grid_column_) + 1 - count;
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t k = 0; k < count; ++k) {
      grid_->store(doc_, r * columns + first + k, pending_[k * rows + r]);
    }
  }
  pending_.clear();
}

void WorldReader::GridValue(const Scalar& value) {
  if (frames_.size() != 3) {
    Fail(Path() + " must be an array of " + (frames_.size() == 2 ? "numbers" : "columns"));
  }
  const long long factor = grid_->fine ? 3 : 1;
  if (rows_ && static_cast<long long>(grid_row_) >= factor * *rows_) {
    Fail(Quoted(member_key_) + Indexed(grid_column_) + " has more than the world's " +
         std::to_string(factor * *rows_) + " rows");
  }
  // Until the world's shape is known the values wait here; each took at least two bytes of
  // the file.
  pending_.push_back(veltmoor::GridValue(*grid_, value, [this] { return Path(); }));
  ++grid_row_;
}

void WorldReader::GridClose() {
  const long long factor = grid_->fine ? 3 : 1;
  if (frames_.size() == 2) {  // a column ended
    if (!rows_) {
      if (grid_row_ % static_cast<std::uint64_t>(factor) != 0) {
        Fail(Quoted(member_key_) + Indexed(grid_column_) + " holds " + std::to_string(grid_row_) +
             " values, not a multiple of 3");
      }
      LearnRows(static_cast<long long>(grid_row_) / factor, Quoted(member_key_));
    }
    if (static_cast<long long>(grid_row_) != factor * *rows_) {
      Fail(Quoted(member_key_) + Indexed(grid_column_) + " must be an array of " +
           std::to_string(factor * *rows_));
    }
    if (allocated_ && pending_.size() >= kBatchColumns * static_cast<std::size_t>(grid_row_)) {
      StoreColumns();
    }
    ++grid_column_;
    return;
  }
  // The grid ended.
  if (!columns_) {
    if (grid_column_ % static_cast<std::uint64_t>(factor) != 0) {
      Fail(Quoted(member_key_) + " holds " + std::to_string(grid_column_) +
           " columns, not a multiple of 3");
    }
    LearnColumns(static_cast<long long>(grid_column_) / factor, Quoted(member_key_));
  }
  if (static_cast<long long>(grid_column_) != factor * *columns_) {
    Fail(Quoted(member_key_) + " must be an array of " + std::to_string(factor * *columns_));
  }
  if (!pending_.empty()) {
    --grid_column_;  // StoreColumns counts back from the last column read
    StoreColumns();
    ++grid_column_;
  }
  member_ = Part::kNone;
}

// The grids are nearly the whole file, and the general parser spends most of its time on
// what they do not need; so a grid's columns are read here, straight from the source,
// through the same checks. Its closing bracket is left to the parser, which thus sees an
// empty array.
void WorldReader::ScanGrid() {
  SkipSpace();
  if (source_.Peek() == ']') {
    return;
  }
  for (;;) {
    Expect('[');
    GridOpen(false);
    frames_.push_back(Frame{false, 0, {}});
    SkipSpace();
    if (source_.Peek() != ']') {
      for (;;) {
        GridValue(ScanNumber());
        SkipSpace();
        if (source_.Peek() != ',') {
          break;
        }
        source_.Advance();
        SkipSpace();
      }
    }
    Expect(']');
    frames_.pop_back();
    GridClose();
    SkipSpace();
    if (source_.Peek() == ']') {
      return;
    }
    Expect(',');
    SkipSpace();
  }
}

void WorldReader::SkipSpace() {
  for (char c = source_.Peek(); c == ' ' || c == '\n' || c == '\r' || c == '\t';
       c = source_.Peek()) {
    source_.Advance();
  }
}

void WorldReader::Expect(char c) {
  if (source_.Peek() != c) {
    Fail("not JSON at byte " + std::to_string(source_.Offset()) + Where() + ": '" +
         std::string(1, c) + "' expected");
  }
  source_.Advance();
}

// A JSON number, true, false or null, read by the grammar the parser uses.
Scalar WorldReader::ScanNumber() {
  source_.MarkEvent();
  auto in_token = [](char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || (c >= 'a' && c <= 'z') ||
           c == 'E';
  };
  // Mostly the token lies within the chunk at hand and is read where it is.
  std::string_view token = source_.Rest();
  std::size_t n = 0;
  while (n < token.size() && n <= kMaxToken && in_token(token[n])) {
    ++n;
  }
  std::array<char, kMaxToken + 1> text{};
  if (n < token.size()) {
    token = token.substr(0, n);
    source_.Skip(n);
  } else {
    n = 0;
    for (char c = source_.Peek(); in_token(c); c = source_.Peek()) {
      if (n == text.size()) {
        break;
      }
      text[n++] = c;
      source_.Advance();
    }
    token = std::string_view(text.data(), n);
  }
  if (n > kMaxToken) {
    Fail("not JSON at byte " + std::to_string(source_.Offset()) + Where() + ": a value too long");
  }
  Scalar s;
  if (token == "true" || token == "false") {
    s.kind = Scalar::Kind::kBool;
    s.boolean = token == "true";
    return s;
  }
  if (token == "null") {
    return s;
  }
  bool integral = false;
  if (!IsJsonNumber(token, integral)) {
    Fail("not JSON at byte " + std::to_string(source_.Offset()) + Where() + ": '" +
         std::string(token) + "' is not a value");
  }
  // Grid values are mostly short non-negative integers: read them digit by digit.
  if (integral && token[0] != '-' && token.size() < 19) {
    std::uint64_t value = 0;
    for (const char c : token) {
      value = 10 * value + static_cast<std::uint64_t>(c - '0');
    }
    s.kind = Scalar::Kind::kUnsigned;
    s.unsigned_value = value;
    return s;
  }
  const char* first = token.data();
  const char* last = token.data() + token.size();
  // As the parser does, an integer beyond 64 bits is read as a floating-point number.
  if (integral && token[0] == '-' && std::from_chars(first, last, s.integer).ec == std::errc()) {
    s.kind = Scalar::Kind::kInteger;
    return s;
  }
  if (integral && token[0] != '-' &&
      std::from_chars(first, last, s.unsigned_value).ec == std::errc()) {
    s.kind = Scalar::Kind::kUnsigned;
    return s;
  }
  s.kind = Scalar::Kind::kFloat;
  if (std::from_chars(first, last, s.number).ec != std::errc()) {
    Fail(Where().substr(4) + " is a number beyond the range of a double (" + std::string(token) +
         ")");
  }
  return s;
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

// ---- the whole file read -------------------------------------------------------------

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

WorldDocument ReadFrom(ChunkSource& source) {
  WorldDocument doc;
  WorldReader reader(source, doc);
  json::sax_parse(SourceIterator(&source), SourceIterator(), &reader);
  reader.Finish();
  return doc;
}

}  // namespace

WorldDocument ParseWorldJson(std::string_view text, const WorldReadProgress& progress) {
  std::size_t offset = 0;
  ChunkSource source(
      [text, &offset] {
        const std::string_view chunk = text.substr(offset, kChunkBytes);
        offset += chunk.size();
        return chunk;
      },
      text.size(), progress);
  return ReadFrom(source);
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
  std::vector<char> buffer(kChunkBytes);
  ChunkSource source(
      [&in, &buffer] {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (in.bad()) {
          throw WorldFileError("cannot read the world file");
        }
        return std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount()));
      },
      size, progress);
  try {
    return ReadFrom(source);
  } catch (const WorldFileError& e) {
    throw WorldFileError(path + ": " + e.what());
  }
}

}  // namespace veltmoor
