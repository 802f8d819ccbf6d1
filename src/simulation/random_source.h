// The program's one uniform random generator. Without a fixed seed it is reseeded from the
// clock where the behaviour asks for it; with a fixed seed a run is reproducible.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace veltmoor {

class RandomSource {
 public:
  RandomSource();  // clock-seeded
  explicit RandomSource(std::uint64_t fixed_seed);

  // Uniform in [0, 1). 53 random bits give every double in [0, 1) on the 2^-53 lattice.
  double Random() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  // With a fixed seed this keeps the stream going, so a seeded run stays reproducible
  // however often the behaviour reseeds; otherwise it draws a fresh seed from the clock.
  void ReseedFromClock();
  void SetFixedSeed(std::uint64_t seed);

  // Everything a saved world needs to continue the stream exactly where it stopped.
  struct State {
    std::string engine;  // the engine's own text form
    std::optional<std::uint64_t> fixed_seed;
    std::uint64_t reseeds = 0;
  };
  State Save() const;
  // Throws std::invalid_argument when the engine text is not one the engine wrote.
  void Restore(const State& state);

 private:
  std::mt19937_64 engine_;
  std::optional<std::uint64_t> fixed_seed_;
  std::uint64_t reseeds_ = 0;
};

}  // namespace veltmoor
