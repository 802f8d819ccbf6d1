#include "simulation/random_source.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace veltmoor {

RandomSource::RandomSource() {
  ReseedFromClock();
}

RandomSource::RandomSource(std::uint64_t fixed_seed) {
  SetFixedSeed(fixed_seed);
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
  engine_.Seed(seq);
}

void RandomSource::SetFixedSeed(std::uint64_t seed) {
  fixed_seed_ = seed;
  engine_.Seed(seed);
}

RandomSource::State RandomSource::Save() const {
  std::ostringstream text;
  text << engine_;
  return {text.str(), fixed_seed_, reseeds_};
}

void RandomSource::Restore(const State& state) {
  // The engine reads its text without checks, and the last word is a position into its
  // state, so the text is checked word by word before the engine sees it.
  constexpr std::size_t kWords = MersenneTwister64::kStateSize;
  std::istringstream words(state.engine);
  std::vector<std::uint64_t> values;
  std::string word;
  while (words >> word && values.size() <= kWords + 1) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size()) {
      throw std::invalid_argument("not a random generator state");
    }
    values.push_back(value);
  }
  // An all-zero state would draw zeros for ever; the engine never reaches it.
  if (values.size() != kWords + 1 || values.back() > kWords ||
      std::all_of(values.begin(), values.end() - 1, [](std::uint64_t v) { return v == 0; })) {
    throw std::invalid_argument("not a random generator state");
  }
  std::istringstream text(state.engine);
  text >> engine_;
  fixed_seed_ = state.fixed_seed;
  reseeds_ = state.reseeds;
}

}  // namespace veltmoor
