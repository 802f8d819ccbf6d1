// The reader of world files: a SAX handler that puts every grid value straight into the
// cell it belongs to. The file is hostile until checked, so the reader holds no more than
// the world the file shows (or claims, when the file is large enough to hold it and the
// memory is there), refuses nesting and runs of bytes no world file has, and checks every
// value's range on arrival or, where the range depends on the whole world, once the file is
// read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "simulation/internal/world_json_grids.h"
#include "simulation/internal/world_json_source.h"
#include "simulation/internal/world_json_values.h"
#include "simulation/world_json.h"

namespace veltmoor::world_json {

using json = nlohmann::json;

// The longest number a grid value needs, with room to spare.
inline constexpr std::size_t kMaxToken = 63;
// Grid columns gathered before they are stored row by row.
inline constexpr std::size_t kBatchColumns = 16;

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
  void ScanPlainValues();
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
  std::array<bool, kGridCount> grids_seen_{};
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

// Reads and checks a whole world file from `source`.
WorldDocument ReadFrom(ChunkSource& source);

}  // namespace veltmoor::world_json
