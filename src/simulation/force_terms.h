// The noise-free terms of the resulting force, kept per potential value. A step scores its
// candidates g times with the same potentials, and the nine fine cells of a cell share
// theirs, so nearly every lookup finds a value computed before; each miss costs two
// extended-precision exponentials.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltmoor {

// Weights and scales as the development reads them: held as 32-bit floats.
struct ForceWeights {
  float w1 = 0.0f;  // centripetal weight
  float w2 = 0.0f;  // centrifugal weight
  float A = 0.0f;   // centripetal scale
  float B = 0.0f;   // centrifugal scale
  float R = 0.0f;   // random scale
};

class ForceTermsCache {
 public:
  // The exact force is a sum of terms of at most this magnitude, each rounded to 64 bits,
  // then rounded to a double; a double estimate of the same sum strays by a few units of
  // 2^-52 of it. The slack allows 2^-40, and a floor for results near the subnormals.
  static constexpr double kSlackPerMagnitude = 0x1.0p-40;
  static constexpr double kSlackFloor = 0x1.0p-1000;

  struct Terms {
    long double pull;  // (1 - e^(-w1 p)) A
    long double push;  // (1 - e^(-w2 p)) B
    // In double: pull - push, counting only the terms whose weight is not zero, and how far
    // a double estimate of the force may stray from the exact one (see ForceScorer).
    double lead;
    double slack;
  };

  // Keeps the values while w1, w2, A and B are those they were computed with.
  void UseShape(const ForceWeights& weights);
  const Terms& At(double p) {
    if (last_ != nullptr && last_p_ == p) {
      return *last_;  // runs of one cell's fine cells ask for the same value
    }
    return Lookup(p);
  }

 private:
  // An open-addressed table keyed by the bits of the potential: equal potentials are equal
  // bits here, as potentials are never NaN, and -0.0 has the terms of 0.0 anyway.
  struct Slot {
    std::uint64_t key = 0;
    bool used = false;
    Terms terms{};
  };
  // Bounds the memory a long run of ever new potentials can take: a full table starts over.
  static constexpr std::size_t kFirstSlots = 1024;
  static constexpr std::size_t kMaxSlots = std::size_t{1} << 18;

  Terms Compute(double p) const;
  const Terms& Lookup(double p);
  void Grow();

  ForceWeights shape_;
  std::vector<Slot> slots_ = std::vector<Slot>(kFirstSlots);  // a power of two, at most half used
  std::size_t used_ = 0;
  const Terms* last_ = nullptr;  // invalid once the table grows or starts over
  double last_p_ = 0.0;
};

}  // namespace veltmoor
