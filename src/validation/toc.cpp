#include "validation/toc.h"

#include <algorithm>

namespace veltmoor {

TocCurve TotalOperatingCharacteristic(std::span<const std::uint32_t> counts, std::uint32_t runs,
                                      const MaskView& original, const MaskView& reference) {
  TocCurve toc;
  std::vector<std::uint64_t> cells(static_cast<std::size_t>(runs) + 1, 0);
  std::vector<std::uint64_t> changed(static_cast<std::size_t>(runs) + 1, 0);
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (original.cells[i] != 0) {
      continue;
    }
    const std::size_t k = std::min<std::size_t>(counts[i], runs);
    ++cells[k];
    const bool change = reference.cells[i] != 0;
    changed[k] += change ? 1 : 0;
    ++toc.population;
    toc.observed += change ? 1 : 0;
  }
  toc.points.push_back({std::nullopt, 0, 0});
  long double area = 0.0L;  // twice the area under the curve, in cells squared
  for (std::size_t k = runs + 1; k-- > 0;) {
    if (cells[k] == 0) {
      continue;
    }
    const TocPoint& last = toc.points.back();
    const TocPoint next{static_cast<double>(k) / static_cast<double>(runs),
                        last.diagnosed + cells[k], last.hits + changed[k]};
    area += static_cast<long double>(next.diagnosed - last.diagnosed) *
            static_cast<long double>(last.hits + next.hits);
    toc.points.push_back(next);
  }
  const auto n = static_cast<long double>(toc.population);
  const auto o = static_cast<long double>(toc.observed);
  if (toc.observed == 0 || toc.observed == toc.population) {
    toc.area = {std::nullopt, toc.observed == 0
                                  ? "no cell free in T0 is developed in T1"
                                  : "every cell free in T0 is developed in T1: nothing to rank"};
  } else {
    // Under the parallelogram's lower edge lies a triangle of o^2 / 2 that every curve has.
    toc.area = {static_cast<double>((area / 2.0L - o * o / 2.0L) / (o * (n - o))), {}};
  }
  return toc;
}

}  // namespace veltmoor
