#include "simulation/resulting_force.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "simulation/setup.h"
#include "simulation/window_outputs.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

ForceWeights Defaults(float randomScale) {
  return {2.0f, 1.0f, 1.7f, 2.0f, randomScale};
}

TEST(ResultingForceTest, DefaultShapePeaksNearLnOnePointSeven) {
  RandomSource random(1);
  const ForceWeights w = Defaults(0.0f);
  EXPECT_NEAR(ResultingForce(0.0, w, random), 0.0, 1e-12);
  EXPECT_NEAR(ResultingForce(0.5, w, random), 0.2877, 1e-4);
  EXPECT_NEAR(ResultingForce(1.0, w, random), 0.2057, 1e-4);
  double best = -1.0;
  double argBest = 0.0;
  for (int i = 0; i <= 1000; ++i) {
    const double f = ResultingForce(i / 1000.0, w, random);
    if (f > best) {
      best = f;
      argBest = i / 1000.0;
    }
  }
  EXPECT_NEAR(argBest, std::log(1.7), 1e-3);
  EXPECT_NEAR(best, 0.2882, 1e-4);
}

TEST(ResultingForceTest, ScorerDrawsAndScoresExactlyAsTheFormula) {
  const ForceWeights w = Defaults(1.0f);
  RandomSource a(9);
  RandomSource b(9);
  ForceTermsCache terms;
  ForceScorer scorer(w, terms);
  for (const double p : {0.0, 0.3, 0.3, 0.3, 0.7, 0.3, 1.0, 1.0, 0.0, -0.0}) {
    EXPECT_EQ(scorer.Score(p, a), ResultingForce(p, w, b)) << p;
  }
  // Enough distinct potentials for the kept terms to outgrow their first table twice over,
  // then the same again from the grown one.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 3000; ++i) {
      const double p = i / 2999.0;
      ASSERT_EQ(scorer.Score(p, a), ResultingForce(p, w, b)) << p;
    }
  }
  EXPECT_EQ(a.Random(), b.Random());
}

// The kept terms belong to one shape of the force: a scorer with other weights must not
// reuse them, and one with the first weights again must still find the right ones.
TEST(ResultingForceTest, KeptTermsFollowTheWeightsTheyWereComputedWith) {
  ForceWeights other = Defaults(1.0f);
  other.w2 = 0.5f;
  other.A = 3.0f;
  ForceTermsCache terms;
  RandomSource a(4);
  RandomSource b(4);
  for (const ForceWeights& w : {Defaults(1.0f), other, Defaults(1.0f), other}) {
    ForceScorer scorer(w, terms);
    for (const double p : {0.25, 0.25, 0.6}) {
      EXPECT_EQ(scorer.Score(p, a), ResultingForce(p, w, b)) << p;
    }
  }
}

// Shapes whose noise is below the rounding of the terms, with huge and tiny scales, a
// negative and a zero random scale, and each weight zero.
std::vector<ForceWeights> AwkwardShapes() {
  return {Defaults(1.0f),
          Defaults(1e-7f),
          Defaults(0.0f),
          Defaults(-0.8f),
          {0.0f, 1.0f, 1.7f, 2.0f, 0.3f},
          {2.0f, 0.0f, 1.7f, 2.0f, 0.3f},
          {3.0f, 2.9f, 1e30f, 1e30f, 1.0f},
          {3.0f, 2.9f, 1e-30f, 1e-30f, 1e-38f},
          {1.0f, 1.0f, 1.0f, 1.0f, 1e-20f}};
}

// The double estimate may turn a candidate away only when its exact force is not above the
// floor. Floors one unit either side of the exact force, and shapes whose noise is below
// the rounding of the terms, find a slack that is too small.
TEST(ResultingForceTest, ScoringAboveAFloorTurnsAwayOnlyWhatCannotExceedIt) {
  RandomSource source(17);
  for (const ForceWeights& w : AwkwardShapes()) {
    ForceTermsCache terms;
    ForceScorer scorer(w, terms);
    for (int i = 0; i < 2000; ++i) {
      const double p = (i % 101) / 100.0;
      RandomSource exactDraws = source;
      const double exact = scorer.Score(p, exactDraws);
      for (const double floor : {exact, std::nextafter(exact, -INFINITY),
                                 std::nextafter(exact, INFINITY), exact - 1e-9, exact + 1e-9}) {
        RandomSource draws = source;
        const double scored = scorer.ScoreAbove(p, draws, floor);
        if (exact > floor) {
          ASSERT_EQ(scored, exact) << "p " << p << ", A " << w.A << ", R " << w.R;
        } else {
          ASSERT_LE(scored, floor);
        }
        RandomSource after = exactDraws;
        ASSERT_EQ(draws.Random(), after.Random());
      }
      source.Random();
    }
  }
}

// Passing over a run may skip only candidates whose exact force is not above the floor,
// and must leave the source where drawing for them would have; with the floor far above
// every force it passes over whole runs.
TEST(ResultingForceTest, PassingOverARunSkipsOnlyWhatScoresNoHigher) {
  for (const ForceWeights& w : AwkwardShapes()) {
    ForceTermsCache terms;
    ForceScorer scorer(w, terms);
    RandomSource source(23);
    std::size_t passedTotal = 0;
    for (int trial = 0; trial < 400; ++trial) {
      const double p = (trial % 7) / 7.0;
      const std::size_t count = 1 + static_cast<std::size_t>(trial % 90);
      RandomSource exactDraws = source;
      std::vector<double> forces;
      for (std::size_t k = 0; k < count; ++k) {
        forces.push_back(scorer.Score(p, exactDraws));
      }
      // Far above, at a force, or one unit below the greatest force of the run.
      const double greatest = *std::max_element(forces.begin(), forces.end());
      const double floor = trial % 3 == 0   ? 10.0
                           : trial % 3 == 1 ? forces[count / 2]
                                            : std::nextafter(greatest, -INFINITY);
      RandomSource passing = source;
      std::size_t passed = 0;
      {
        RandomSource::Cursor draws(passing);
        passed = scorer.PassOver(p, count, draws, floor);
      }
      ASSERT_LE(passed, count);
      for (std::size_t k = 0; k < passed; ++k) {
        ASSERT_LE(forces[k], floor) << "A " << w.A << ", R " << w.R << ", candidate " << k;
      }
      RandomSource drawn = source;
      for (std::size_t k = 0; k < 2 * passed; ++k) {
        drawn.Random();
      }
      ASSERT_EQ(passing.Random(), drawn.Random());
      passedTotal += passed;
      source = exactDraws;
    }
    if (w.w1 != 0.0f && w.w2 != 0.0f && w.A < 10.0f && std::fabs(w.R) > 0.5f) {
      EXPECT_GT(passedTotal, 4000u) << "A " << w.A << ", R " << w.R;
    }
  }
}

TEST(ResultingForceTest, ZeroWeightsDrawNothing) {
  RandomSource a(3);
  RandomSource b(3);
  EXPECT_EQ(ResultingForce(0.4, {0.0f, 0.0f, 1.7f, 2.0f, 1.0f}, a), 0.0);
  EXPECT_EQ(a.Random(), b.Random());
}

// With one weight zero only the other term is scored and drawn for, and the candidate is
// turned away exactly when that term alone keeps it below the floor. At p = 0.4:
// (1 - e^-0.4) * 2 = 0.65935991 and (1 - e^-0.8) * 1.7f = 0.93614079; the noise adds [0, 0.5).
TEST(ResultingForceTest, EachZeroWeightSilencesOnlyItsOwnTermAndDraw) {
  const double p = 0.4;
  const ForceWeights pushOnly{0.0f, 1.0f, 1.7f, 2.0f, 0.5f};
  const ForceWeights pullOnly{2.0f, 0.0f, 1.7f, 2.0f, 0.5f};
  RandomSource a(3);
  RandomSource b(3);
  EXPECT_NEAR(ResultingForce(p, pushOnly, a), -(0.65935991 + 0.5 * b.Random()), 1e-7);
  EXPECT_NEAR(ResultingForce(p, pullOnly, a), 0.93614079 + 0.5 * b.Random(), 1e-7);
  EXPECT_EQ(a.Random(), b.Random());  // one draw each, no more

  // Floors the force can never reach give the floor back; floors it always exceeds, the force.
  const struct {
    ForceWeights weights;
    double unreachable;
    double exceeded;
  } cases[] = {{pushOnly, -0.6, -1.2}, {pullOnly, 1.5, 0.9}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.weights.w1);
    ForceTermsCache terms;
    ForceScorer scorer(c.weights, terms);
    RandomSource scored(8);
    RandomSource expected(8);
    EXPECT_EQ(scorer.ScoreAbove(p, scored, c.unreachable), c.unreachable);
    expected.Random();
    EXPECT_EQ(scorer.ScoreAbove(p, scored, c.exceeded), ResultingForce(p, c.weights, expected));
    EXPECT_EQ(scored.Random(), expected.Random());
  }
}

TEST(ShowProportionsTest, ZeroDivisorsLeaveZero) {
  testing::TestSimulation t;
  t.settings.Set(setting::kCentrifugalWeight, "0");
  NewSetup(t.sim);
  EXPECT_EQ(t.sim.labels.Get(label::kWeightRatio), "0");
  EXPECT_EQ(t.sim.labels.Get(label::kScaleRatio), "0,85");
  EXPECT_EQ(t.sim.labels.Get(label::kInverseWeightRatio), "0");
}

}  // namespace
}  // namespace veltmoor
