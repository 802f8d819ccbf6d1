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
  // Up to this many nodes a hop count (below the node count) and a parent (a node index, or
  // none) fit 16 bits, so the table takes 4 bytes per pair instead of 8 and holds the same
  // values: 1.6 GB instead of 3.2 GB at 20 000 nodes.
  static constexpr int kNarrowNodeLimit = 65535;

  enum class Width { Narrowest, Wide };

  // Makes the table node_count x node_count with every pair unreachable (hop count 0), in
  // 16-bit entries where the node count allows unless `width` asks for 32 bits.
  void Reset(int node_count, Width width = Width::Narrowest);
  void Clear();

  int NodeCount() const { return node_count_; }
  bool Empty() const { return node_count_ == 0; }
  bool Narrow() const { return narrow_; }

  // Segments on the path from `from` to `to`: 0 for from == to, for an unreachable pair and
  // for indices outside the table.
  int HopCount(int from, int to) const;
  // The node that reached `to` first in the search from `from`, or kNoParent.
  int Parent(int from, int to) const;
  // The nodes of the path from `from` to `to` after `from`, ending with `to`; empty when
  // the hop count is 0.
  std::vector<int> PathList(int from, int to) const;

  // Row `from` as the search out of `from` left it, one entry per node.
  void SetRow(int from, const std::vector<std::int32_t>& hops,
              const std::vector<std::int32_t>& parents);
  // One hop count; throws std::out_of_range for a pair outside the table or a count its
  // entries cannot hold.
  void SetHopCount(int from, int to, std::int64_t hops);

 private:
  bool Holds(int from, int to) const {
    return from >= 0 && to >= 0 && from < node_count_ && to < node_count_;
  }
  std::size_t Offset(int from, int to) const {
    return static_cast<std::size_t>(from) * static_cast<std::size_t>(node_count_) +
           static_cast<std::size_t>(to);
  }

  static constexpr std::uint16_t kNoNarrowParent = 0xFFFF;

  int node_count_ = 0;
  bool narrow_ = true;
  std::vector<std::uint16_t> narrowHops_;
  std::vector<std::uint16_t> narrowParents_;
  std::vector<std::int32_t> hops_;
  std::vector<std::int32_t> parents_;
};

}  // namespace veltmoor
