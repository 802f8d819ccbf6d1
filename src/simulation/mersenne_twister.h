// The 64-bit Mersenne Twister, draw for draw the standard library's std::mt19937_64 and
// reading and writing the same text form, so saved generator states stay interchangeable.
// It regenerates its state a block at a time with the vector units the processor has and
// tempers the whole block at once: cluster development draws two numbers for every free
// fine cell it scores, tens of millions a step on a large map.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <random>

namespace veltmoor {

class MersenneTwister64 {
 public:
  static constexpr std::size_t kStateSize = 312;
  static constexpr std::uint64_t kDefaultSeed = 5489u;

  MersenneTwister64() { Seed(kDefaultSeed); }
  explicit MersenneTwister64(std::uint64_t seed) { Seed(seed); }

  void Seed(std::uint64_t seed);
  void Seed(std::seed_seq& sequence);

  std::uint64_t operator()() {
    if (position_ >= kStateSize) {
      Regenerate();
    }
    return tempered_[position_++];
  }

  // Reads the outputs straight from the current block, so a loop that draws millions keeps
  // its place in registers; the engine continues after the last output read once the
  // cursor is gone. Nothing else may draw from the engine while a cursor is alive.
  class Cursor {
   public:
    explicit Cursor(MersenneTwister64& engine)
        : engine_(engine),
          next_(engine.tempered_.data() + engine.position_),
          end_(engine.tempered_.data() + kStateSize) {}
    ~Cursor() { engine_.position_ = static_cast<std::size_t>(next_ - engine_.tempered_.data()); }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    std::uint64_t operator()() {
      if (next_ == end_) {
        engine_.Regenerate();
        next_ = engine_.tempered_.data();
      }
      return *next_++;
    }
    // The outputs still in the current block: the next draws, without drawing them.
    std::size_t Available() const { return static_cast<std::size_t>(end_ - next_); }
    std::uint64_t Peek(std::size_t i) const { return next_[i]; }
    // Passes over n outputs as if they had been drawn.
    void Skip(std::size_t n) {
      if (static_cast<std::size_t>(end_ - next_) >= n) {
        next_ += n;
        return;
      }
      for (; n > 0; --n) {
        (*this)();
      }
    }

   private:
    MersenneTwister64& engine_;
    const std::uint64_t* next_;
    const std::uint64_t* end_;
  };

  // The state words and the position, as std::mt19937_64 writes them: "w0 w1 … w311 p".
  friend std::ostream& operator<<(std::ostream& out, const MersenneTwister64& engine);
  // Reads that form; sets failbit (and leaves the engine alone) when it is not one.
  friend std::istream& operator>>(std::istream& in, MersenneTwister64& engine);

 private:
  void Regenerate();
  // Fills tempered_ with the outputs of the current state words.
  void TemperBlock();

  std::array<std::uint64_t, kStateSize> state_{};
  std::array<std::uint64_t, kStateSize> tempered_{};
  std::size_t position_ = kStateSize;
};

}  // namespace veltmoor
