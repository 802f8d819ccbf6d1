#include "simulation/path_table.h"

#include <algorithm>

namespace veltmoor {

void PathTable::Reset(int node_count) {
  node_count_ = std::max(node_count, 0);
  const std::size_t cells = Offset(node_count_, 0);
  hops_.assign(cells, 0);
  parents_.assign(cells, kNoParent);
}

void PathTable::Clear() {
  node_count_ = 0;
  hops_.clear();
  hops_.shrink_to_fit();
  parents_.clear();
  parents_.shrink_to_fit();
}

int PathTable::HopCount(int from, int to) const {
  return Holds(from, to) ? hops_[Offset(from, to)] : 0;
}

int PathTable::Parent(int from, int to) const {
  return Holds(from, to) ? parents_[Offset(from, to)] : kNoParent;
}

std::vector<int> PathTable::PathList(int from, int to) const {
  const int hops = HopCount(from, to);
  std::vector<int> path(static_cast<std::size_t>(hops));
  // Walk back from the target; every parent on the way was reached one hop earlier.
  int node = to;
  for (int k = hops - 1; k >= 0; --k) {
    path[static_cast<std::size_t>(k)] = node;
    node = parents_[Offset(from, node)];
  }
  return path;
}

}  // namespace veltmoor
