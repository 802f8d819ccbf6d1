#include "simulation/path_table.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace veltmoor {

namespace {

template <typename T>
void Release(std::vector<T>& values) {
  values.clear();
  values.shrink_to_fit();
}

}  // namespace

void PathTable::Reset(int node_count, Width width) {
  Clear();
  node_count_ = std::max(node_count, 0);
  narrow_ = width == Width::Narrowest && node_count_ <= kNarrowNodeLimit;
  const std::size_t cells = Offset(node_count_, 0);
  if (narrow_) {
    narrowHops_.assign(cells, 0);
    narrowParents_.assign(cells, kNoNarrowParent);
  } else {
    hops_.assign(cells, 0);
    parents_.assign(cells, kNoParent);
  }
}

void PathTable::Clear() {
  node_count_ = 0;
  narrow_ = true;
  Release(narrowHops_);
  Release(narrowParents_);
  Release(hops_);
  Release(parents_);
}

int PathTable::HopCount(int from, int to) const {
  if (!Holds(from, to)) {
    return 0;
  }
  const std::size_t at = Offset(from, to);
  return narrow_ ? narrowHops_[at] : hops_[at];
}

int PathTable::Parent(int from, int to) const {
  if (!Holds(from, to)) {
    return kNoParent;
  }
  const std::size_t at = Offset(from, to);
  if (narrow_) {
    return narrowParents_[at] == kNoNarrowParent ? kNoParent : narrowParents_[at];
  }
  return parents_[at];
}

std::vector<int> PathTable::PathList(int from, int to) const {
  const int hops = HopCount(from, to);
  std::vector<int> path(static_cast<std::size_t>(hops));
  // Walk back from the target; every parent on the way was reached one hop earlier.
  int node = to;
  for (int k = hops - 1; k >= 0; --k) {
    path[static_cast<std::size_t>(k)] = node;
    node = Parent(from, node);
  }
  return path;
}

void PathTable::SetRow(int from, const std::vector<std::int32_t>& hops,
                       const std::vector<std::int32_t>& parents) {
  const std::size_t row = Offset(from, 0);
  const std::size_t count = static_cast<std::size_t>(node_count_);
  if (!narrow_) {
    std::copy_n(hops.begin(), count, hops_.begin() + static_cast<std::ptrdiff_t>(row));
    std::copy_n(parents.begin(), count, parents_.begin() + static_cast<std::ptrdiff_t>(row));
    return;
  }
  // Hop counts stay below the node count and parents are node indices, so both fit.
  for (std::size_t k = 0; k < count; ++k) {
    narrowHops_[row + k] = static_cast<std::uint16_t>(hops[k]);
    narrowParents_[row + k] =
        parents[k] == kNoParent ? kNoNarrowParent : static_cast<std::uint16_t>(parents[k]);
  }
}

void PathTable::SetHopCount(int from, int to, std::int64_t hops) {
  const std::int64_t largest = narrow_ ? std::numeric_limits<std::uint16_t>::max()
                                       : std::numeric_limits<std::int32_t>::max();
  if (!Holds(from, to) || hops < 0 || hops > largest) {
    throw std::out_of_range("a hop count the path table cannot hold");
  }
  const std::size_t at = Offset(from, to);
  if (narrow_) {
    narrowHops_[at] = static_cast<std::uint16_t>(hops);
  } else {
    hops_[at] = static_cast<std::int32_t>(hops);
  }
}

}  // namespace veltmoor
