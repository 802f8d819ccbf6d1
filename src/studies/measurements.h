// The points a study adds to its chart, one record each, so that partial results of a study
// split over several processes can be merged back into what one process would have made.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace veltmoor {

struct Measurement {
  std::string series;  // the chart series the point went to
  double x = 0.0;
  double y = 0.0;
  std::uint64_t run = 0;          // 0-based run index over the whole study
  std::uint64_t value_index = 0;  // 0-based value (or rule, or measurement within the run)
  bool operator==(const Measurement&) const = default;
};

// A number with a dot in its shortest form that reads back to the same double, as the
// CSV files of studies and calibrations write them.
std::string ShortestText(double value);

// "series,x,y,run,value_index" and one row per record; numbers with a dot and in their
// shortest form that reads back to the same double.
void WriteMeasurementsCsv(std::ostream& out, const std::vector<Measurement>& records);
// Reads what WriteMeasurementsCsv writes. Throws std::runtime_error naming the line number
// for a header or row that does not have that layout, or a number that is not finite (a
// study never records one, so it can only be damage).
std::vector<Measurement> ReadMeasurementsCsv(std::istream& in);

// Puts the records of several partial results into the order one process adds them: by
// run, and within a run in the order they were recorded.
std::vector<Measurement> MergeMeasurements(const std::vector<std::vector<Measurement>>& parts);

}  // namespace veltmoor
