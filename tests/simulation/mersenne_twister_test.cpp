#include "simulation/mersenne_twister.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace veltmoor {
namespace {

template <typename Engine>
std::string TextOf(const Engine& engine) {
  std::ostringstream text;
  text << engine;
  return text.str();
}

// Three blocks and a bit, so every part of the state regeneration is crossed twice.
constexpr int kDraws = 1000;

TEST(MersenneTwisterTest, DrawsWhatTheStandardEngineDrawsForAnySeed) {
  for (const std::uint64_t seed :
       {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{5489},
        std::uint64_t{0x9e3779b97f4a7c15ULL}, std::numeric_limits<std::uint64_t>::max()}) {
    std::mt19937_64 expected(seed);
    MersenneTwister64 engine(seed);
    for (int i = 0; i < kDraws; ++i) {
      ASSERT_EQ(engine(), expected()) << "seed " << seed << ", draw " << i;
    }
  }
  std::mt19937_64 expected;
  MersenneTwister64 engine;
  EXPECT_EQ(engine(), expected());
}

TEST(MersenneTwisterTest, SeedSequencesGiveTheStandardEnginesState) {
  const std::vector<std::vector<std::uint32_t>> sequences = {
      {}, {0}, {1, 2, 3}, {0xdeadbeefU, 0x12345678U, 7U, 0xffffffffU}};
  for (const auto& words : sequences) {
    std::seed_seq a(words.begin(), words.end());
    std::seed_seq b(words.begin(), words.end());
    std::mt19937_64 expected(a);
    MersenneTwister64 engine;
    engine.Seed(b);
    EXPECT_EQ(TextOf(engine), TextOf(expected));
    for (int i = 0; i < kDraws; ++i) {
      ASSERT_EQ(engine(), expected()) << "sequence of " << words.size() << ", draw " << i;
    }
  }
}

// Saved worlds hold the engine's text, so a state written by either engine must continue
// the same stream in the other, at the start of a block, inside one, and at its end.
TEST(MersenneTwisterTest, TextFormIsTheStandardEnginesBothWays) {
  for (const int drawn : {0, 1, 155, 311, 312, 313, 700}) {
    std::mt19937_64 standard(drawn + 11);
    MersenneTwister64 engine(drawn + 11);
    for (int i = 0; i < drawn; ++i) {
      standard();
      engine();
    }
    ASSERT_EQ(TextOf(engine), TextOf(standard)) << drawn << " drawn";

    std::istringstream standardText(TextOf(standard));
    MersenneTwister64 restored(99);
    standardText >> restored;
    ASSERT_TRUE(standardText) << drawn << " drawn";
    std::istringstream ownText(TextOf(engine));
    std::mt19937_64 restoredStandard;
    ownText >> restoredStandard;
    for (int i = 0; i < kDraws; ++i) {
      const std::uint64_t next = standard();
      ASSERT_EQ(restored(), next) << drawn << " drawn, draw " << i;
      ASSERT_EQ(restoredStandard(), next) << drawn << " drawn, draw " << i;
    }
  }
}

TEST(MersenneTwisterTest, ABadTextLeavesTheEngineAsItWas) {
  MersenneTwister64 reference(3);
  std::string state = TextOf(reference);
  const std::string shortState = state.substr(0, state.rfind(' '));  // no position
  const std::string farPosition = shortState + " 313";
  for (const std::string& text : {shortState, farPosition, std::string("1 2 3")}) {
    MersenneTwister64 engine(3);
    std::istringstream in(text);
    in >> engine;
    EXPECT_TRUE(in.fail()) << text.substr(0, 20);
    EXPECT_EQ(TextOf(engine), state);
  }
}

}  // namespace
}  // namespace veltmoor
