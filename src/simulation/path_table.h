// The all-pairs shortest-path table of the street network: for every ordered pair of nodes
// the hop distance and the node from which the search out of the first node reached the
// second. Any path list is rebuilt from those parents on demand, so the table needs
// memory in the square of the node count, not its cube.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltmoor {

class PathTable {
 public:
  static constexpr std::int32_t kNoParent = -1;

  // Makes the table node_count x node_count with every pair unreachable (hop count 0).
  void Reset(int node_count);
  void Clear();

  int NodeCount() const { return node_count_; }
  bool Empty() const { return node_count_ == 0; }

  // Segments on the path from `from` to `to`: 0 for from == to, for an unreachable pair and
  // for indices outside the table.
  int HopCount(int from, int to) const;
  // The node that reached `to` first in the search from `from`, or kNoParent.
  int Parent(int from, int to) const;
  // The nodes of the path from `from` to `to` after `from`, ending with `to`; empty when
  // the hop count is 0.
  std::vector<int> PathList(int from, int to) const;

  // Row `from` as one contiguous block, for the search that fills it.
  std::int32_t* HopRow(int from) { return hops_.data() + Offset(from, 0); }
  std::int32_t* ParentRow(int from) { return parents_.data() + Offset(from, 0); }
  const std::int32_t* HopRow(int from) const { return hops_.data() + Offset(from, 0); }

 private:
  bool Holds(int from, int to) const {
    return from >= 0 && to >= 0 && from < node_count_ && to < node_count_;
  }
  std::size_t Offset(int from, int to) const {
    return static_cast<std::size_t>(from) * static_cast<std::size_t>(node_count_) +
           static_cast<std::size_t>(to);
  }

  int node_count_ = 0;
  std::vector<std::int32_t> hops_;
  std::vector<std::int32_t> parents_;
};

}  // namespace veltmoor
