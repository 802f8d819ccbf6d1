// Shortest paths through the street network, counted in segments, for every ordered pair
// of nodes: breadth-first searches from every node, run on all cores.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "simulation/path_table.h"
#include "simulation/simulation.h"

namespace veltmoor {

// What one single-source search leaves: per target the hop count and the node that reached
// it first. Each thread keeps its own, so the searches never share work fields.
struct PathSearch {
  explicit PathSearch(int node_count);

  std::vector<std::int32_t> hops;
  std::vector<std::int32_t> parents;
  std::vector<std::int32_t> queue;
  std::vector<std::uint8_t> reached;
};

// Blanks the distance cells of the table and sizes PathMatrix to the current node count
// with every pair unreachable.
void ResetPathLists(Simulation& sim);

// Breadth-first from `source`: nodes are expanded in the order they were reached, their
// neighbours taken in Links order, and the first node to reach another fixes its path.
void ShortestPathsFrom(const World& world, int source, PathSearch& search);

// Copies the result of the search from `source` into row `source` of `paths`.
void CopyPathRow(const PathSearch& search, int source, PathTable& paths);

using PathProgressReport = std::function<void(int)>;

// The hop table of every ordered pair of the world's nodes. Reports progress (0..99) after
// each source, in source order, on the calling thread. thread_count 0 uses every core; the
// result does not depend on it.
// Cost: O(N (N + E)) time over the threads; O(N²) memory for the table, O(N) per thread.
PathTable ComputePathTable(const World& world, const PathProgressReport& progress,
                           unsigned thread_count = 0);

// Blanks the table's hop cells, fills PathMatrix through ComputePathTable reporting to
// sim.PathProgress, and leaves the nodes' SearchState and HopCount as the search from the
// last node leaves them. Cost: that of ComputePathTable, O(N (N + E)) time, O(N²) memory.
void ComputeAllPaths(Simulation& sim, unsigned thread_count = 0);

// "calcPathes": blank cell layer, all paths, connectivity table with node colours, degree
// histogram, and the structure analysis when a development field type is active.
void B_CalcPathesClick(Simulation& sim);

}  // namespace veltmoor
