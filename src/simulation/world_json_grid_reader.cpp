// The grids are nearly the whole file, and the general parser spends most of its time on
// what they do not need; so a grid's columns are read here, straight from the source,
// through the same checks as the parser's values.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "simulation/internal/world_json_reader.h"
#include "simulation/setup.h"

namespace veltmoor::world_json {

namespace {

// Each coarse cell appears in at least four coarse grids and its nine fine cells in two
// fine grids, every value taking at least a digit and a separator.
constexpr std::uint64_t kMinFileBytesPerCell = std::uint64_t{2} * (4 + 2 * 9);

}  // namespace

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

void WorldReader::StoreColumns() {
  const long long factor = grid_->fine ? 3 : 1;
  const auto rows = static_cast<std::size_t>(factor * *rows_);
  const std::size_t count = rows == 0 ? 0 : pending_.size() / rows;
  grid_->store(doc_, pending_.data(), static_cast<std::size_t>(grid_column_) + 1 - count, count);
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
  pending_.push_back(world_json::GridValue(*grid_, value, [this] { return Path(); }));
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
        ScanPlainValues();
        SkipSpace();
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

namespace {

// A non-negative integer of up to 18 digits without a leading zero: all a grid of counts,
// codes and colours holds. Sets `end` past the digits.
bool PlainUnsigned(const char* first, const char* last, const char*& end, std::uint64_t& value) {
  const char* p = first;
  value = 0;
  while (p < last && *p >= '0' && *p <= '9' && p - first < 18) {
    value = 10 * value + static_cast<std::uint64_t>(*p - '0');
    ++p;
  }
  end = p;
  return p > first && (p - first == 1 || *first != '0');
}

}  // namespace

// Reads the values of the column at hand that the writer's own form makes plain, each
// followed by a comma, as long as they lie within the chunk at hand; anything else (a
// space, a value out of range, a column's last value) is left to ScanNumber and its checks,
// which thus also word every message.
void WorldReader::ScanPlainValues() {
  const std::string_view rest = source_.Rest();
  const char* p = rest.data();
  const char* const last = p + rest.size();
  const long long factor = grid_->fine ? 3 : 1;
  const std::uint64_t limit = rows_ ? static_cast<std::uint64_t>(factor * *rows_)
                                    : std::numeric_limits<std::uint64_t>::max();
  const GridField& field = *grid_;
  const auto min = static_cast<std::uint64_t>(std::max(0LL, field.min));
  const auto max = static_cast<std::uint64_t>(std::max(0LL, field.max));
  while (grid_row_ < limit) {
    double value = 0.0;
    const char* end = p;
    std::uint64_t integer = 0;
    switch (field.kind) {
      case ValueKind::kInteger:
        if (!PlainUnsigned(p, last, end, integer) || integer < min || integer > max) {
          end = nullptr;
        }
        value = static_cast<double>(integer);
        break;
      case ValueKind::kBool:
        if (last - p >= 5 && std::string_view(p, 4) == "true") {
          value = 1.0;
          end = p + 4;
        } else if (last - p >= 6 && std::string_view(p, 5) == "false") {
          end = p + 5;
        } else {
          end = nullptr;
        }
        break;
      case ValueKind::kFloat: {
        if (p < last && *p != '-' && PlainUnsigned(p, last, end, integer) &&
            (end == last || (*end != '.' && *end != 'e' && *end != 'E'))) {
          value = static_cast<double>(integer);
          break;
        }
        end = p;
        while (end < last && end - p < static_cast<std::ptrdiff_t>(kMaxToken) &&
               ((*end >= '0' && *end <= '9') || *end == '.' || *end == 'e' || *end == 'E' ||
                *end == '+' || *end == '-')) {
          ++end;
        }
        bool integral = false;
        const std::string_view token(p, static_cast<std::size_t>(end - p));
        if (!IsJsonNumber(token, integral) || integral ||
            std::from_chars(p, end, value).ec != std::errc() || !std::isfinite(value) ||
            std::abs(value) > std::numeric_limits<float>::max()) {
          end = nullptr;
        }
        break;
      }
    }
    if (end == nullptr || end >= last || *end != ',') {
      break;
    }
    pending_.push_back(value);
    ++grid_row_;
    p = end + 1;
  }
  source_.Skip(static_cast<std::size_t>(p - rest.data()));
  source_.MarkEvent();
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

}  // namespace veltmoor::world_json
