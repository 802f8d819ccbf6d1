// Options shared by the commands of veltmoor-batch and how they become settings.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "simulation/settings.h"

namespace veltmoor {

// A command line or settings problem the user has to fix; exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct WorldOptions {
  int width = 611;
  int height = 689;
  std::optional<std::uint64_t> seed;
  std::vector<std::string> sets;  // NAME=VALUE
  bool picture = true;
  // The picture at the drawing area's size however large; the commands that offer
  // --full-picture draw a large world's map.png at a bounded size instead.
  bool full_picture = true;
  std::string out;
};

// The names veltmoor-batch writes into an output folder, by any command, which --table may
// not take.
const std::set<std::string>& BatchOutputNames();

// --seed: a whole number in 0 .. 2^64-1 written as plain digits; anything else (a sign, an
// exponent, a number that would wrap) raises UsageError rather than becoming another seed.
std::uint64_t ParseSeed(const std::string& text);

// Applies NAME=VALUE overrides. Unknown names, malformed pairs and values the control
// could not hold raise UsageError (a decimal that does not parse gives the conversion
// error's own message), so a run never starts on settings it would fail on later. Every
// message starts with the setting's name.
void ApplySettingOverrides(MapSettings& settings, const std::vector<std::string>& sets);

}  // namespace veltmoor
