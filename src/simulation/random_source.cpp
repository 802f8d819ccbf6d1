#include "simulation/random_source.h"

#include <chrono>

namespace veltmoor {

RandomSource::RandomSource() {
  ReseedFromClock();
}

RandomSource::RandomSource(std::uint64_t fixed_seed) {
  SetFixedSeed(fixed_seed);
}

double RandomSource::Random() {
  // 53 random bits give every double in [0, 1) on the 2^-53 lattice.
  return static_cast<double>(engine_() >> 11) * 0x1.0p-53;
}

void RandomSource::ReseedFromClock() {
  if (fixed_seed_) {
    return;
  }
  // The step timer fires every millisecond, so a millisecond clock would hand out the same
  // seed many times in a row; nanoseconds mixed with a counter keep the draws apart.
  const auto now = static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  ++reseeds_;
  std::seed_seq seq{static_cast<std::uint32_t>(now), static_cast<std::uint32_t>(now >> 32),
                    static_cast<std::uint32_t>(reseeds_)};
  engine_.seed(seq);
}

void RandomSource::SetFixedSeed(std::uint64_t seed) {
  fixed_seed_ = seed;
  engine_.seed(seed);
}

}  // namespace veltmoor
