#include "simulation/mersenne_twister.h"

#include <cstring>
#include <istream>
#include <ostream>

namespace veltmoor {

namespace {

constexpr std::size_t kN = MersenneTwister64::kStateSize;
constexpr std::size_t kM = 156;
constexpr std::uint64_t kMatrix = 0xb5026f5aa96619e9ULL;
constexpr std::uint64_t kUpperMask = ~std::uint64_t{0} << 31;
constexpr std::uint64_t kLowerMask = ~kUpperMask;

// The words a twist writes depend on words at a fixed distance (1 ahead, and 156 ahead or
// behind), so eight neighbouring words are computed at once. Vector types say so to the
// compiler at any optimisation level; the clones let one binary use the widest vector
// instructions the processor offers.
// ThreadSanitizer instruments the clones' resolver, which the loader runs before the
// sanitizer's runtime is up, so that build keeps the one baseline version.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_THREAD__)
#define VELTMOOR_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VELTMOOR_VECTOR_CLONES
#endif

using Words = std::uint64_t __attribute__((vector_size(64)));
constexpr std::size_t kLanes = sizeof(Words) / sizeof(std::uint64_t);

// Vectors move by reference only: passing one by value would depend on the instruction set
// a clone is compiled for.
template <typename W>
void Twist(W& word, const W& next, const W& far) {
  const W y = (word & kUpperMask) | (next & kLowerMask);
  word = far ^ (y >> 1) ^ ((0 - (y & 1U)) & kMatrix);
}

template <typename W>
void Temper(W& z) {
  z ^= (z >> 29) & 0x5555555555555555ULL;
  z ^= (z << 17) & 0x71d67fffeda60000ULL;
  z ^= (z << 37) & 0xfff7eee000000000ULL;
  z ^= z >> 43;
}

// Twists words [from, to) with the words `far` places away, a vector at a time while the
// vector and the word after it lie in [from, to], then one by one.
inline void TwistRange(std::uint64_t* x, std::size_t from, std::size_t to, std::ptrdiff_t far) {
  std::size_t k = from;
  for (; k + kLanes <= to; k += kLanes) {
    Words word;
    Words next;
    Words distant;
    std::memcpy(&word, x + k, sizeof word);
    std::memcpy(&next, x + k + 1, sizeof next);
    std::memcpy(&distant, x + static_cast<std::ptrdiff_t>(k) + far, sizeof distant);
    Twist(word, next, distant);
    std::memcpy(x + k, &word, sizeof word);
  }
  for (; k < to; ++k) {
    Twist(x[k], x[k + 1], x[static_cast<std::ptrdiff_t>(k) + far]);
  }
}

VELTMOOR_VECTOR_CLONES
void TwistState(std::uint64_t* x) {
  constexpr auto kAhead = static_cast<std::ptrdiff_t>(kM);
  TwistRange(x, 0, kN - kM, kAhead);
  // Words 156 behind were written at least one vector earlier.
  TwistRange(x, kN - kM, kN - 1, kAhead - static_cast<std::ptrdiff_t>(kN));
  Twist(x[kN - 1], x[0], x[kM - 1]);
}

static_assert(kN % kLanes == 0);

VELTMOOR_VECTOR_CLONES
void TemperState(const std::uint64_t* x, std::uint64_t* out) {
  for (std::size_t k = 0; k < kN; k += kLanes) {
    Words z;
    std::memcpy(&z, x + k, sizeof z);
    Temper(z);
    std::memcpy(out + k, &z, sizeof z);
  }
}

}  // namespace

void MersenneTwister64::Seed(std::uint64_t seed) {
  state_[0] = seed;
  for (std::size_t i = 1; i < kN; ++i) {
    const std::uint64_t previous = state_[i - 1];
    state_[i] = 6364136223846793005ULL * (previous ^ (previous >> 62)) + i;
  }
  position_ = kN;
}

void MersenneTwister64::Seed(std::seed_seq& sequence) {
  std::array<std::uint32_t, 2 * kN> words{};
  sequence.generate(words.begin(), words.end());
  bool allZero = true;
  for (std::size_t i = 0; i < kN; ++i) {
    state_[i] = words[2 * i] | (std::uint64_t{words[2 * i + 1]} << 32);
    // Only the upper bits of the first word take part in the recurrence.
    const std::uint64_t significant = i == 0 ? state_[i] & kUpperMask : state_[i];
    allZero = allZero && significant == 0;
  }
  if (allZero) {
    state_[0] = std::uint64_t{1} << 63;
  }
  position_ = kN;
}

void MersenneTwister64::Regenerate() {
  TwistState(state_.data());
  TemperBlock();
  position_ = 0;
}

void MersenneTwister64::TemperBlock() {
  TemperState(state_.data(), tempered_.data());
}

std::ostream& operator<<(std::ostream& out, const MersenneTwister64& engine) {
  const std::ios_base::fmtflags flags = out.flags(std::ios_base::dec | std::ios_base::left);
  for (const std::uint64_t word : engine.state_) {
    out << word << ' ';
  }
  out << engine.position_;
  out.flags(flags);
  return out;
}

std::istream& operator>>(std::istream& in, MersenneTwister64& engine) {
  const std::ios_base::fmtflags flags = in.flags(std::ios_base::dec | std::ios_base::skipws);
  std::array<std::uint64_t, kN> state{};
  std::size_t position = 0;
  for (std::uint64_t& word : state) {
    in >> word;
  }
  in >> position;
  in.flags(flags);
  if (!in || position > kN) {
    in.setstate(std::ios::failbit);
    return in;
  }
  engine.state_ = state;
  engine.position_ = position;
  if (position < kN) {
    engine.TemperBlock();
  }
  return in;
}

}  // namespace veltmoor
