// The program's one uniform random generator. Without a fixed seed it is reseeded from the
// clock where the behaviour asks for it; with a fixed seed a run is reproducible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "simulation/mersenne_twister.h"

namespace veltmoor {

class RandomSource {
 public:
  RandomSource();  // clock-seeded
  explicit RandomSource(std::uint64_t fixed_seed);

  static constexpr double kLatticeStep = 0x1.0p-53;

  // Uniform in [0, 1). 53 random bits give every double in [0, 1) on the 2^-53 lattice.
  double Random() { return ToUnit(engine_()); }

  // The same numbers as Random(), for loops that draw millions (see MersenneTwister64::
  // Cursor); the source must not be used otherwise while a cursor is alive.
  class Cursor {
   public:
    explicit Cursor(RandomSource& source) : draws_(source.engine_) {}
    double Random() { return ToUnit(draws_()); }
    void Skip(std::size_t n) { draws_.Skip(n); }
    // The next draws, read without drawing them, as their places on the lattice: the i-th
    // number drawn next is Lattice(i) * kLatticeStep. Only Available() of them are at hand.
    std::size_t Available() const { return draws_.Available(); }
    std::int64_t Lattice(std::size_t i) const {
      return static_cast<std::int64_t>(draws_.Peek(i) >> 11);
    }

   private:
    MersenneTwister64::Cursor draws_;
  };
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
  static double ToUnit(std::uint64_t bits) {
    return static_cast<double>(bits >> 11) * kLatticeStep;
  }

  MersenneTwister64 engine_;
  std::optional<std::uint64_t> fixed_seed_;
  std::uint64_t reseeds_ = 0;
};

}  // namespace veltmoor
