// The resulting force of the centripetal and centrifugal weights that scores land for
// development, its curve over the potential range, and the proportions of the weights.
#pragma once

#include <unordered_map>

#include "simulation/random_source.h"
#include "simulation/simulation.h"

namespace veltmoor {

// Weights and scales as the development reads them: held as 32-bit floats.
struct ForceWeights {
  float w1 = 0.0f;  // centripetal weight
  float w2 = 0.0f;  // centrifugal weight
  float A = 0.0f;   // centripetal scale
  float B = 0.0f;   // centrifugal scale
  float R = 0.0f;   // random scale
};

// Reads w1, w2, A and B (R is read separately by the callers, which read it first).
void ReadForceShape(const SettingsSource& settings, ForceWeights& weights);
float ReadRandomScale(const SettingsSource& settings);

// Centripetal minus centrifugal term at potential p, each with its random term; a zero
// weight drops its term and draws no random number.
double ResultingForce(double p, const ForceWeights& weights, RandomSource& random);

// Scores many candidates with one set of weights. The terms without noise depend only on the
// potential, which the nine fine cells of a cell share, so they are computed once per
// potential value; the random draws and the result are exactly ResultingForce's.
class ForceScorer {
 public:
  explicit ForceScorer(const ForceWeights& weights) : weights_(weights) {}
  double Score(double p, RandomSource& random);

 private:
  struct Terms {
    long double pull;  // (1 - e^(-w1 p)) A
    long double push;  // (1 - e^(-w2 p)) B
  };
  const Terms& TermsAt(double p);

  ForceWeights weights_;
  std::unordered_map<double, Terms> terms_;
  const Terms* last_ = nullptr;  // node addresses of the map stay put as it grows
  double last_p_ = 0.0;
};

// The callback of ser_custFkt: the force at potential x, with the random terms only while
// "show in plot" is ticked.
double ResultingForceCurve(Simulation& sim, double x);

// Attaches the curve to ser_custFkt (101 points from 0 in steps of 0.01) and fills it.
void ResetResultingForceCurve(Simulation& sim);

// w1/w2, A/B and w2/w1 to two decimals in lbl_rat1..3; "0" where the divisor is zero.
void ShowProportions(Simulation& sim);

}  // namespace veltmoor
