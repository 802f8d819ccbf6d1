#include "simulation/internal/world_json_source.h"

#include <string>

#include "simulation/internal/world_json_values.h"

namespace veltmoor::world_json {

bool ChunkSource::Refill() {
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

}  // namespace veltmoor::world_json
