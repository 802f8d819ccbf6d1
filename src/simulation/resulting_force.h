// The resulting force of the centripetal and centrifugal weights that scores land for
// development, its curve over the potential range, and the proportions of the weights.
#pragma once

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
      : weights_(weights), terms_(terms) {
    terms_.UseShape(weights);
  }
  double Score(double p, RandomSource& random) {
    const ForceTermsCache::Terms& terms = terms_.At(p);
    long double centripetal = 0.0L;
    long double centrifugal = 0.0L;
    if (weights_.w1 != 0.0f) {
      centripetal = terms.pull + static_cast<long double>(random.Random()) * weights_.R;
    }
    if (weights_.w2 != 0.0f) {
      centrifugal = terms.push + static_cast<long double>(random.Random()) * weights_.R;
    }
    return static_cast<double>(centripetal - centrifugal);
  }

 private:
  ForceWeights weights_;
  ForceTermsCache& terms_;
};

// The callback of ser_custFkt: the force at potential x, with the random terms only while
// "show in plot" is ticked.
double ResultingForceCurve(Simulation& sim, double x);

// Attaches the curve to ser_custFkt (101 points from 0 in steps of 0.01) and fills it.
void ResetResultingForceCurve(Simulation& sim);

// w1/w2, A/B and w2/w1 to two decimals in lbl_rat1..3; "0" where the divisor is zero.
void ShowProportions(Simulation& sim);

}  // namespace veltmoor
