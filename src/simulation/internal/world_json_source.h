// A world file as the reader takes it in: a chunk at a time, with progress reported between
// chunks, and a stop at a run of bytes longer than any token (whitespace or a giant string
// would otherwise be read, or held by the parser, whole).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string_view>
#include <utility>

#include "simulation/world_json.h"

namespace veltmoor::world_json {

inline constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
// The longest token or run of whitespace a world file has is a CRS text of a few kB.
inline constexpr std::uint64_t kMaxGapBytes = std::uint64_t{4} << 20;

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
  bool Refill();

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

}  // namespace veltmoor::world_json
