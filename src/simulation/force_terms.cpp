#include "simulation/force_terms.h"

#include <bit>
#include <cmath>

namespace veltmoor {

namespace {

// Spreads the bits of a double, whose low bits are often zero, over the table's index.
std::size_t Mix(std::uint64_t key) {
  key ^= key >> 33;
  key *= 0xff51afd7ed558ccdULL;
  key ^= key >> 33;
  return static_cast<std::size_t>(key);
}

}  // namespace

ForceTermsCache::Terms ForceTermsCache::Compute(double p) const {
  const long double lp = p;
  Terms terms{};
  terms.pull = (1.0L - std::exp(-static_cast<long double>(shape_.w1) * lp)) * shape_.A;
  terms.push = (1.0L - std::exp(-static_cast<long double>(shape_.w2) * lp)) * shape_.B;
  const long double pull = shape_.w1 != 0.0f ? terms.pull : 0.0L;
  const long double push = shape_.w2 != 0.0f ? terms.push : 0.0L;
  terms.lead = static_cast<double>(pull - push);
  terms.slack = kSlackPerMagnitude *
                    (std::fabs(static_cast<double>(pull)) + std::fabs(static_cast<double>(push))) +
                kSlackFloor;
  return terms;
}

void ForceTermsCache::UseShape(const ForceWeights& weights) {
  if (weights.w1 == shape_.w1 && weights.w2 == shape_.w2 && weights.A == shape_.A &&
      weights.B == shape_.B) {
    return;
  }
  shape_ = weights;
  slots_.assign(kFirstSlots, Slot{});
  used_ = 0;
  last_ = nullptr;
}

void ForceTermsCache::Grow() {
  std::vector<Slot> old;
  old.swap(slots_);
  last_ = nullptr;
  used_ = 0;
  if (old.size() >= kMaxSlots) {
    slots_.assign(kFirstSlots, Slot{});
    return;
  }
  slots_.assign(old.size() * 2, Slot{});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.used) {
      std::size_t i = Mix(slot.key) & mask;
      while (slots_[i].used) {
        i = (i + 1) & mask;
      }
      slots_[i] = slot;
      ++used_;
    }
  }
}

const ForceTermsCache::Terms& ForceTermsCache::Lookup(double p) {
  const auto key = std::bit_cast<std::uint64_t>(p);
  std::size_t mask = slots_.size() - 1;
  std::size_t i = Mix(key) & mask;
  while (slots_[i].used && slots_[i].key != key) {
    i = (i + 1) & mask;
  }
  if (!slots_[i].used) {
    if (2 * (used_ + 1) > slots_.size()) {
      Grow();
      mask = slots_.size() - 1;
      i = Mix(key) & mask;
      while (slots_[i].used) {
        i = (i + 1) & mask;
      }
    }
    slots_[i].key = key;
    slots_[i].used = true;
    slots_[i].terms = Compute(p);
    ++used_;
  }
  last_p_ = p;
  last_ = &slots_[i].terms;
  return *last_;
}

}  // namespace veltmoor
