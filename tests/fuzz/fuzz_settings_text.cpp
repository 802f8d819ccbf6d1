// Settings text as users type it (--set, --study-set) and part manifests carry it: NAME=VALUE
// lines are checked, and whatever is accepted must read back the way the simulation reads it.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "simulation/numbers.h"
#include "simulation/settings.h"

namespace {

bool HoldsDecimal(const veltmoor::SettingDef& def) {
  if (def.kind != veltmoor::ControlKind::EditBox) {
    return false;
  }
  try {
    veltmoor::ParseDecimal(def.default_text);
    return true;
  } catch (const veltmoor::ConversionError&) {
    return false;
  }
}

void ParseNumbers(const std::string& text) {
  try {
    const double value = veltmoor::ParseDecimal(text);
    if (!std::isfinite(value)) {
      std::abort();
    }
  } catch (const veltmoor::ConversionError&) {
  }
  try {
    veltmoor::ParseInteger(text);
  } catch (const veltmoor::ConversionError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ParseNumbers(text);
  std::vector<std::string> sets;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    sets.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  veltmoor::MapSettings settings;
  try {
    veltmoor::ApplySettingOverrides(settings, sets);
  } catch (const veltmoor::UsageError&) {
    return 0;
  }
  for (const veltmoor::SettingDef& def : settings.Registry().All()) {
    settings.Int(def.Name());
    if (HoldsDecimal(def)) {
      // Accepted means usable: a number within the range of the 32-bit controls.
      const double value = settings.Float(def.Name());
      if (!(std::fabs(value) <= std::numeric_limits<float>::max())) {
        std::abort();
      }
    }
  }
  return 0;
}
