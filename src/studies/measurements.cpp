#include "studies/measurements.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string_view>

namespace veltmoor {

namespace {

constexpr std::string_view kHeader = "series,x,y,run,value_index";

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma - start));
    if (comma == std::string_view::npos) {
      return fields;
    }
    start = comma + 1;
  }
}

template <typename T>
bool ParseField(std::string_view text, T& value) {
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size();
}

std::runtime_error BadLine(std::size_t number) {
  return std::runtime_error("measurement line " + std::to_string(number) + " is not '" +
                            std::string(kHeader) + "'");
}

}  // namespace

std::string ShortestText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

void WriteMeasurementsCsv(std::ostream& out, const std::vector<Measurement>& records) {
  out << kHeader << '\n';
  for (const Measurement& m : records) {
    out << m.series << ',' << ShortestText(m.x) << ',' << ShortestText(m.y) << ',' << m.run << ','
        << m.value_index << '\n';
  }
}

std::vector<Measurement> ReadMeasurementsCsv(std::istream& in) {
  std::vector<Measurement> records;
  std::string line;
  std::size_t number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (number == 1) {
      if (line != kHeader) {
        throw BadLine(number);
      }
      continue;
    }
    if (line.empty()) {
      continue;
    }
    const std::vector<std::string_view> fields = SplitFields(line);
    Measurement m;
    if (fields.size() != 5 || fields[0].empty() || !ParseField(fields[1], m.x) ||
        !ParseField(fields[2], m.y) || !ParseField(fields[3], m.run) ||
        !ParseField(fields[4], m.value_index) || !std::isfinite(m.x) || !std::isfinite(m.y)) {
      throw BadLine(number);
    }
    m.series = std::string(fields[0]);
    records.push_back(std::move(m));
  }
  if (number == 0) {
    throw std::runtime_error("measurement file is empty; expected the line '" +
                             std::string(kHeader) + "'");
  }
  return records;
}

std::vector<Measurement> MergeMeasurements(const std::vector<std::vector<Measurement>>& parts) {
  std::vector<Measurement> merged;
  for (const auto& part : parts) {
    merged.insert(merged.end(), part.begin(), part.end());
  }
  // Each run lies wholly in one part, so a stable sort by run keeps its points in order.
  std::stable_sort(merged.begin(), merged.end(),
                   [](const Measurement& a, const Measurement& b) { return a.run < b.run; });
  return merged;
}

}  // namespace veltmoor
