// The resulting force of the centripetal and centrifugal weights that scores land for
// development, its curve over the potential range, and the proportions of the weights.
#pragma once

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

// The callback of ser_custFkt: the force at potential x, with the random terms only while
// "show in plot" is ticked.
double ResultingForceCurve(Simulation& sim, double x);

// Attaches the curve to ser_custFkt (101 points from 0 in steps of 0.01) and fills it.
void ResetResultingForceCurve(Simulation& sim);

// w1/w2, A/B and w2/w1 to two decimals in lbl_rat1..3; "0" where the divisor is zero.
void ShowProportions(Simulation& sim);

}  // namespace veltmoor
