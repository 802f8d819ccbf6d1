// The resulting force of the centripetal and centrifugal weights that scores land for
// development, its curve over the potential range, and the proportions of the weights.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "simulation/force_terms.h"
#include "simulation/random_source.h"
#include "simulation/simulation.h"

namespace veltmoor {

// Reads w1, w2, A and B (R is read separately by the callers, which read it first).
void ReadForceShape(const SettingsSource& settings, ForceWeights& weights);
float ReadRandomScale(const SettingsSource& settings);

// Centripetal minus centrifugal term at potential p, each with its random term; a zero
// weight drops its term and draws no random number.
double ResultingForce(double p, const ForceWeights& weights, RandomSource& random);

// Scores many candidates with one set of weights; the random draws and the result are
// exactly ResultingForce's.
class ForceScorer {
 public:
  // Uses `terms` for the noise-free part, which may keep values from earlier scorings.
  ForceScorer(const ForceWeights& weights, ForceTermsCache& terms)
      : weights_(weights),
        terms_(terms),
        randomSlack_(ForceTermsCache::kSlackPerMagnitude * 2.0 *
                     std::fabs(static_cast<double>(weights.R))),
        drawsBoth_(weights.w1 != 0.0f && weights.w2 != 0.0f) {
    terms_.UseShape(weights);
  }
  double Score(double p, RandomSource& random) {
    return ScoreAbove(p, random, -std::numeric_limits<double>::infinity());
  }
  // The force, as Score, when it may exceed `floor`; `floor` itself when it certainly does
  // not. Draws the same numbers either way. A choice among millions of candidates keeps
  // only the greatest, so most are turned away without the extended-precision sum, by a
  // double estimate whose error bound is below the distance to the best so far. `Draws` is
  // a RandomSource or its Cursor.
  template <typename Draws>
  double ScoreAbove(double p, Draws& random, double floor) {
    const ForceTermsCache::Terms& terms = terms_.At(p);
    const double u1 = weights_.w1 != 0.0f ? random.Random() : 0.0;
    const double u2 = weights_.w2 != 0.0f ? random.Random() : 0.0;
    // u1 - u2 is exact: both lie on the 2^-53 lattice in [0, 1).
    if (TurnedAway(terms, static_cast<double>(weights_.R) * (u1 - u2), floor)) {
      return floor;
    }
    long double centripetal = 0.0L;
    long double centrifugal = 0.0L;
    if (weights_.w1 != 0.0f) {
      centripetal = terms.pull + static_cast<long double>(u1) * weights_.R;
    }
    if (weights_.w2 != 0.0f) {
      centrifugal = terms.push + static_cast<long double>(u2) * weights_.R;
    }
    return static_cast<double>(centripetal - centrifugal);
  }

  // How many of the next `count` candidates, all at potential p, ScoreAbove would turn
  // away against `floor` by its double estimate, stopping before the first it would not;
  // their draws are passed over. Reads the draws in place, eight candidates at a time, so
  // the millions of free fine cells of a cluster round cost little more than their
  // numbers. Only the common shape with both weights is taken this way; 0 otherwise.
  std::size_t PassOver(double p, std::size_t count, RandomSource::Cursor& draws, double floor) {
    if (!drawsBoth_) {
      return 0;
    }
    const ForceTermsCache::Terms& terms = terms_.At(p);
    const double scale = std::fabs(static_cast<double>(weights_.R));
    // R (u1 - u2) is |R| (u2 - u1) for a negative R; both round alike.
    const std::int64_t sign = weights_.R < 0.0f ? -1 : 1;
    const std::size_t n = std::min(count, draws.Available() / 2);
    const auto spread = [&draws, sign](std::size_t k) {
      return sign * (draws.Lattice(2 * k) - draws.Lattice(2 * k + 1));
    };
    // The estimate rises with the spread, so the greatest of eight stands for all eight.
    // u1 - u2 is the spread times the lattice step, exactly.
    const auto turnedAway = [&](std::int64_t lattice) {
      return TurnedAway(terms, scale * (static_cast<double>(lattice) * RandomSource::kLatticeStep),
                        floor);
    };
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
      std::int64_t greatest = spread(k);
      for (std::size_t j = 1; j < 8; ++j) {
        greatest = std::max(greatest, spread(k + j));
      }
      if (!turnedAway(greatest)) {
        break;
      }
    }
    while (k < n && turnedAway(spread(k))) {
      ++k;
    }
    draws.Skip(2 * k);
    return k;
  }

 private:
  // Whether the double estimate lead + R (u1 - u2), given the noise term R (u1 - u2), is
  // far enough below `floor` that the exact force cannot exceed it. NaN or infinite terms
  // fail the comparison and take the exact way.
  bool TurnedAway(const ForceTermsCache::Terms& terms, double noise, double floor) const {
    return terms.lead + noise + (terms.slack + randomSlack_) < floor;
  }

  ForceWeights weights_;
  ForceTermsCache& terms_;
  double randomSlack_;
  bool drawsBoth_;  // both weights non-zero: two draws per candidate
};

// The callback of ser_custFkt: the force at potential x, with the random terms only while
// "show in plot" is ticked.
double ResultingForceCurve(Simulation& sim, double x);

// Attaches the curve to ser_custFkt (101 points from 0 in steps of 0.01) and fills it.
void ResetResultingForceCurve(Simulation& sim);

// w1/w2, A/B and w2/w1 to two decimals in lbl_rat1..3; "0" where the divisor is zero.
void ShowProportions(Simulation& sim);

}  // namespace veltmoor
