#include "simulation/force_terms.h"

#include <bit>
#include <cmath>

namespace veltmoor {

void ForceTermsCache::UseShape(const ForceWeights& weights) {
  if (weights.w1 == shape_.w1 && weights.w2 == shape_.w2 && weights.A == shape_.A &&
      weights.B == shape_.B) {
    return;
  }
  shape_ = weights;
  terms_.clear();
  last_ = nullptr;
}

const ForceTermsCache::Terms& ForceTermsCache::Lookup(double p) {
  const auto key = std::bit_cast<std::uint64_t>(p);
  auto found = terms_.find(key);
  if (found == terms_.end()) {
    if (terms_.size() >= kMaxValues) {
      terms_.clear();
    }
    const long double lp = p;
    const Terms terms{(1.0L - std::exp(-static_cast<long double>(shape_.w1) * lp)) * shape_.A,
                      (1.0L - std::exp(-static_cast<long double>(shape_.w2) * lp)) * shape_.B};
    found = terms_.emplace(key, terms).first;
  }
  last_p_ = p;
  last_ = &found->second;
  return *last_;
}

}  // namespace veltmoor
