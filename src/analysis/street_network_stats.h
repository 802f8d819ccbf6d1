// Street-network statistics as OSMnx's basic_stats and orientation_entropy define them
// (Boeing 2017, 2019), for a network of two-way streets, plus a detour-ratio distribution
// over a seeded sample of node pairs. The network is plain data: nodes at map coordinates
// in metres, links with their lengths.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "simulation/world.h"

namespace veltmoor {

struct StreetNode {
  double x = 0.0;  // east, metres
  double y = 0.0;  // north, metres
};

struct StreetLink {
  std::int32_t a = 0;
  std::int32_t b = 0;
  double length = 0.0;  // metres along the street
};

struct StreetNetwork {
  std::vector<StreetNode> nodes;
  std::vector<StreetLink> links;
};

// Where a world's pixels lie: map x = origin_x + px * metres_per_pixel, map y =
// origin_y - py * metres_per_pixel (north up).
struct PixelFrame {
  double origin_x = 0.0;
  double origin_y = 0.0;
  double metres_per_pixel = 1.0;
};

// A world's nodes and links. A link's length is its length along the cells it was traced
// through: the street is a four-connected staircase of fine cells from one node's cell to
// the other's, so it runs |dx| + |dy| between the node centres.
StreetNetwork NetworkOfWorld(const World& world, const PixelFrame& frame);
// The same of the nodes a saved world lists, its links by index into `nodes` (a world file's
// reader has checked that each lies within them).
StreetNetwork NetworkOfNodes(std::span<const TAgent> nodes, const PixelFrame& frame);
// That length in drawing-area pixels.
int TracedLength(const TAgent& a, const TAgent& b);

struct DetourSample {
  std::uint64_t seed = 1;
  int sources = 100;            // searches from this many nodes drawn at random
  int targets_per_source = 10;  // pairs drawn among the nodes each search reached
};

struct StreetNetworkStats {
  std::uint64_t n = 0;
  std::uint64_t m = 0;  // directed edges: every street both ways, as OSMnx models two-way streets
  std::optional<double> k_avg;
  std::optional<double> streets_per_node_avg;
  std::vector<std::uint64_t> streets_per_node_counts;  // index: streets at a node
  std::uint64_t intersection_count = 0;                // nodes with 2 streets or more
  std::uint64_t dead_end_count = 0;                    // nodes with 1 street
  double street_length_total = 0.0;
  std::optional<double> street_length_avg;
  std::uint64_t street_segment_count = 0;
  double edge_length_total = 0.0;
  std::optional<double> edge_length_avg;
  std::optional<double> circuity_avg;
  std::optional<double> self_loop_proportion;
  std::optional<double> orientation_entropy;
  // Per km² of `area_m2`; empty without an area.
  std::optional<double> node_density_km, intersection_density_km, edge_density_km,
      street_density_km, street_segment_density_km;
  // Network path length over straight-line distance for sampled pairs of distinct places.
  std::uint64_t detour_pairs = 0;
  std::optional<double> detour_mean, detour_q1, detour_median, detour_q3;
};

// The statistics of `network`; `area_m2` is the area the densities refer to (empty or not
// positive: no densities).
// Cost: O(n + m) plus sources Dijkstra searches of O((n + m) log n).
StreetNetworkStats ComputeStreetNetworkStats(const StreetNetwork& network,
                                             std::optional<double> area_m2,
                                             const DetourSample& sample = {});

// OSMnx's orientation entropy (36 bins of 10 degrees centred on north, east ...; each street
// counted in both directions; bearings rounded to 0.1 degree as add_edge_bearings does).
std::optional<double> OrientationEntropy(const StreetNetwork& network, int bins = 36);

}  // namespace veltmoor
