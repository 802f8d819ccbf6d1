// What merge reads from a part written on another machine: part.json, a NUL byte, then
// study.csv. Damage must be refused with a message (UsageError), never crash, hang or throw
// anything else.
#include <cstdint>
#include <string>
#include <vector>

#include "batch/study_part.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string manifest = input.substr(0, split);
  const std::string csv = split == std::string::npos ? std::string() : input.substr(split + 1);
  try {
    const veltmoor::Part part = veltmoor::ParsePart("part", manifest, csv);
    try {
      veltmoor::CheckPartsBelongTogether({part});
    } catch (const veltmoor::UsageError&) {
    }
    veltmoor::CheckPartsBelongTogether({part, part});
  } catch (const veltmoor::UsageError&) {
  }
  return 0;
}
