// The program's one uniform random generator. Without a fixed seed it is reseeded from the
// clock where the behaviour asks for it; with a fixed seed a run is reproducible.
#pragma once

#include <cstdint>
#include <optional>
#include <random>

namespace veltmoor {

class RandomSource {
 public:
  RandomSource();  // clock-seeded
  explicit RandomSource(std::uint64_t fixed_seed);

  // Uniform in [0, 1).
  double Random();
  // With a fixed seed this keeps the stream going, so a seeded run stays reproducible
  // however often the behaviour reseeds; otherwise it draws a fresh seed from the clock.
  void ReseedFromClock();
  void SetFixedSeed(std::uint64_t seed);

 private:
  std::mt19937_64 engine_;
  std::optional<std::uint64_t> fixed_seed_;
  std::uint64_t reseeds_ = 0;
};

}  // namespace veltmoor
