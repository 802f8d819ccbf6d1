#include "simulation/resulting_force.h"

#include <cmath>

#include "simulation/numbers.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

void ReadForceShape(const SettingsSource& settings, ForceWeights& weights) {
  weights.w1 = static_cast<float>(settings.Float(setting::kCentripetalWeight));
  weights.w2 = static_cast<float>(settings.Float(setting::kCentrifugalWeight));
  weights.A = static_cast<float>(settings.Float(setting::kCentripetalScale));
  weights.B = static_cast<float>(settings.Float(setting::kCentrifugalScale));
}

float ReadRandomScale(const SettingsSource& settings) {
  return static_cast<float>(settings.Float(setting::kRandomScale));
}

double ResultingForce(double p, const ForceWeights& weights, RandomSource& random) {
  ForceTermsCache terms;
  return ForceScorer(weights, terms).Score(p, random);
}

double ResultingForceCurve(Simulation& sim, double x) {
  sim.random.ReseedFromClock();
  ForceWeights weights;
  ReadForceShape(sim.settings, weights);
  weights.R = ReadRandomScale(sim.settings);
  const long double lx = x;
  const long double pull =
      (1.0L - std::exp(-static_cast<long double>(weights.w1) * lx)) * weights.A;
  const long double push =
      (1.0L - std::exp(-static_cast<long double>(weights.w2) * lx)) * weights.B;
  if (!sim.settings.Checked(setting::kPlotRandom)) {
    return static_cast<double>(pull - push);
  }
  const long double u1 = sim.random.Random();
  const long double u2 = sim.random.Random();
  return static_cast<double>((pull + u1 * weights.R) - (push + u2 * weights.R));
}

void ResetResultingForceCurve(Simulation& sim) {
  chart::Series& curve = sim.charts.GetSeries(series_name::kResultingForce);
  curve.Clear();
  curve.SetFunction([&sim](double x) { return ResultingForceCurve(sim, x); }, 0.0, 0.01, 101);
  curve.Recompute();
}

namespace {
std::string Ratio(double numerator, double divisor) {
  if (std::fabs(divisor) <= 1e-16) {
    return "0";
  }
  // Unlike the analysis values, the ratio is held as a double before it is rounded.
  const double ratio = numerator / divisor;
  return FormatNumber(RoundTo2(ratio));
}
}  // namespace

void ShowProportions(Simulation& sim) {
  sim.labels.Set(label::kWeightRatio, "0");
  sim.labels.Set(label::kScaleRatio, "0");
  sim.labels.Set(label::kInverseWeightRatio, "0");
  ForceWeights weights;
  ReadForceShape(sim.settings, weights);
  sim.labels.Set(label::kWeightRatio, Ratio(weights.w1, weights.w2));
  sim.labels.Set(label::kScaleRatio, Ratio(weights.A, weights.B));
  sim.labels.Set(label::kInverseWeightRatio, Ratio(weights.w2, weights.w1));
}

}  // namespace veltmoor
