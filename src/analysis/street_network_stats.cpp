#include "analysis/street_network_stats.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <queue>
#include <random>
#include <utility>

namespace veltmoor {

namespace {

constexpr double kSquareMetresPerKm2 = 1'000'000.0;

double StraightDistance(const StreetNetwork& network, const StreetLink& link) {
  const StreetNode& a = network.nodes[static_cast<std::size_t>(link.a)];
  const StreetNode& b = network.nodes[static_cast<std::size_t>(link.b)];
  return std::hypot(b.x - a.x, b.y - a.y);
}

// numpy's `%` on floats: the remainder takes the divisor's sign.
double PositiveModulo(double value, double divisor) {
  double mod = std::fmod(value, divisor);
  if (mod != 0.0 && mod < 0.0) {
    mod += divisor;
  }
  return mod;
}

// Compass bearing from a to b in degrees, rounded to 0.1 as OSMnx's add_edge_bearings does.
double Bearing(const StreetNode& a, const StreetNode& b) {
  const double degrees = std::atan2(b.x - a.x, b.y - a.y) * (180.0 / std::numbers::pi);
  return std::nearbyint(PositiveModulo(degrees, 360.0) * 10.0) / 10.0;
}

// The bin of numpy.histogram over `halves` equal bins of [0, 360], the last one closed.
std::size_t HalfBin(double bearing, int halves) {
  const double width = 360.0 / halves;
  auto k = static_cast<int>(bearing / width);
  k = std::clamp(k, 0, halves - 1);
  if (bearing < k * width && k > 0) {
    --k;
  } else if (k + 1 < halves && bearing >= (k + 1) * width) {
    ++k;
  }
  return static_cast<std::size_t>(k);
}

struct Adjacency {
  std::vector<std::size_t> start;
  std::vector<std::pair<std::int32_t, double>> ends;  // neighbour, length
};

Adjacency AdjacencyOf(const StreetNetwork& network) {
  Adjacency adjacency;
  adjacency.start.assign(network.nodes.size() + 1, 0);
  for (const StreetLink& link : network.links) {
    ++adjacency.start[static_cast<std::size_t>(link.a) + 1];
    ++adjacency.start[static_cast<std::size_t>(link.b) + 1];
  }
  for (std::size_t i = 0; i < network.nodes.size(); ++i) {
    adjacency.start[i + 1] += adjacency.start[i];
  }
  adjacency.ends.resize(adjacency.start.back());
  std::vector<std::size_t> next(adjacency.start.begin(), adjacency.start.end() - 1);
  for (const StreetLink& link : network.links) {
    adjacency.ends[next[static_cast<std::size_t>(link.a)]++] = {link.b, link.length};
    adjacency.ends[next[static_cast<std::size_t>(link.b)]++] = {link.a, link.length};
  }
  return adjacency;
}

// Network distances from `source` (infinity where it does not reach).
void Dijkstra(const Adjacency& adjacency, std::int32_t source, std::vector<double>& distance) {
  distance.assign(adjacency.start.size() - 1, std::numeric_limits<double>::infinity());
  using Entry = std::pair<double, std::int32_t>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
  distance[static_cast<std::size_t>(source)] = 0.0;
  queue.emplace(0.0, source);
  while (!queue.empty()) {
    const auto [d, node] = queue.top();
    queue.pop();
    const auto u = static_cast<std::size_t>(node);
    if (d > distance[u]) {
      continue;
    }
    for (std::size_t k = adjacency.start[u]; k < adjacency.start[u + 1]; ++k) {
      const auto [other, length] = adjacency.ends[k];
      const double through = d + length;
      if (through < distance[static_cast<std::size_t>(other)]) {
        distance[static_cast<std::size_t>(other)] = through;
        queue.emplace(through, other);
      }
    }
  }
}

// A whole number in [0, bound), the same on every platform (the standard distributions are
// not).
std::uint64_t Draw(std::mt19937_64& engine, std::uint64_t bound) {
  const std::uint64_t limit =
      std::numeric_limits<std::uint64_t>::max() - std::numeric_limits<std::uint64_t>::max() % bound;
  std::uint64_t value = engine();
  while (value >= limit) {
    value = engine();
  }
  return value % bound;
}

// numpy's default (linear) quantile of sorted values.
double Quantile(const std::vector<double>& sorted, double q) {
  const double h = static_cast<double>(sorted.size() - 1) * q;
  const auto low = static_cast<std::size_t>(std::floor(h));
  const std::size_t high = std::min(low + 1, sorted.size() - 1);
  return sorted[low] + (h - static_cast<double>(low)) * (sorted[high] - sorted[low]);
}

std::vector<double> DetourRatios(const StreetNetwork& network, const DetourSample& sample) {
  std::vector<double> ratios;
  const std::size_t n = network.nodes.size();
  if (n < 2 || network.links.empty() || sample.sources <= 0 || sample.targets_per_source <= 0) {
    return ratios;
  }
  const Adjacency adjacency = AdjacencyOf(network);
  std::mt19937_64 engine(sample.seed);
  std::vector<double> distance;
  std::vector<std::int32_t> reached;
  for (int s = 0; s < sample.sources; ++s) {
    const auto source = static_cast<std::int32_t>(Draw(engine, n));
    Dijkstra(adjacency, source, distance);
    const StreetNode& from = network.nodes[static_cast<std::size_t>(source)];
    reached.clear();
    for (std::size_t i = 0; i < n; ++i) {
      const StreetNode& to = network.nodes[i];
      if (std::isfinite(distance[i]) && (to.x != from.x || to.y != from.y)) {
        reached.push_back(static_cast<std::int32_t>(i));
      }
    }
    for (int t = 0; t < sample.targets_per_source && !reached.empty(); ++t) {
      const auto target = static_cast<std::size_t>(reached[Draw(engine, reached.size())]);
      const StreetNode& to = network.nodes[target];
      ratios.push_back(distance[target] / std::hypot(to.x - from.x, to.y - from.y));
    }
  }
  return ratios;
}

void DetourStatistics(const StreetNetwork& network, const DetourSample& sample,
                      StreetNetworkStats& out) {
  std::vector<double> ratios = DetourRatios(network, sample);
  out.detour_pairs = ratios.size();
  if (ratios.empty()) {
    return;
  }
  double sum = 0.0;
  for (const double r : ratios) {
    sum += r;
  }
  out.detour_mean = sum / static_cast<double>(ratios.size());
  std::sort(ratios.begin(), ratios.end());
  out.detour_q1 = Quantile(ratios, 0.25);
  out.detour_median = Quantile(ratios, 0.5);
  out.detour_q3 = Quantile(ratios, 0.75);
}

void NodeStatistics(const StreetNetwork& network, StreetNetworkStats& out) {
  std::vector<std::uint64_t> streets(network.nodes.size(), 0);
  for (const StreetLink& link : network.links) {
    ++streets[static_cast<std::size_t>(link.a)];
    ++streets[static_cast<std::size_t>(link.b)];  // a self-loop counts twice, as in OSMnx
  }
  std::uint64_t total = 0;
  for (const std::uint64_t s : streets) {
    if (s >= out.streets_per_node_counts.size()) {
      out.streets_per_node_counts.resize(s + 1, 0);
    }
    ++out.streets_per_node_counts[s];
    total += s;
    out.intersection_count += s >= 2 ? 1 : 0;
    out.dead_end_count += s == 1 ? 1 : 0;
  }
  if (out.n > 0) {
    out.streets_per_node_avg = static_cast<double>(total) / static_cast<double>(out.n);
  }
}

void LengthStatistics(const StreetNetwork& network, StreetNetworkStats& out) {
  double straight = 0.0;
  std::uint64_t loops = 0;
  for (const StreetLink& link : network.links) {
    out.street_length_total += link.length;
    straight += StraightDistance(network, link);
    loops += link.a == link.b ? 1 : 0;
  }
  out.edge_length_total = 2.0 * out.street_length_total;
  if (out.street_segment_count == 0) {
    return;
  }
  const auto segments = static_cast<double>(out.street_segment_count);
  out.street_length_avg = out.street_length_total / segments;
  out.edge_length_avg = out.edge_length_total / static_cast<double>(out.m);
  if (straight > 0.0) {
    out.circuity_avg = out.street_length_total / straight;
  }
  out.self_loop_proportion = static_cast<double>(loops) / segments;
}

void Densities(std::optional<double> area_m2, StreetNetworkStats& out) {
  if (!area_m2 || !(*area_m2 > 0.0) || !std::isfinite(*area_m2)) {
    return;
  }
  const double km2 = *area_m2 / kSquareMetresPerKm2;
  out.node_density_km = static_cast<double>(out.n) / km2;
  out.intersection_density_km = static_cast<double>(out.intersection_count) / km2;
  out.edge_density_km = out.edge_length_total / km2;
  out.street_density_km = out.street_length_total / km2;
  out.street_segment_density_km = static_cast<double>(out.street_segment_count) / km2;
}

}  // namespace

namespace {

// The network of nodes handed out by index, whether a world owns them or a saved world lists
// them.
template <typename NodeAt>
StreetNetwork NetworkOf(std::size_t count, NodeAt node_at, const PixelFrame& frame) {
  StreetNetwork network;
  network.nodes.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const TAgent& node = node_at(i);
    network.nodes.push_back({frame.origin_x + node.X * frame.metres_per_pixel,
                             frame.origin_y - node.Y * frame.metres_per_pixel});
  }
  for (std::size_t i = 0; i < count; ++i) {
    const TAgent& node = node_at(i);
    for (const LinkEntry& link : node.Links) {
      if (link.OtherNode < static_cast<std::int32_t>(i)) {
        continue;  // each street once, from its lower node
      }
      const TAgent& other = node_at(static_cast<std::size_t>(link.OtherNode));
      network.links.push_back(
          {static_cast<std::int32_t>(i), link.OtherNode,
           static_cast<double>(TracedLength(node, other)) * frame.metres_per_pixel});
    }
  }
  return network;
}

}  // namespace

StreetNetwork NetworkOfWorld(const World& world, const PixelFrame& frame) {
  return NetworkOf(
      world.NodeList.size(),
      [&world](std::size_t i) -> const TAgent& { return *world.NodeList[i]; }, frame);
}

StreetNetwork NetworkOfNodes(std::span<const TAgent> nodes, const PixelFrame& frame) {
  return NetworkOf(
      nodes.size(), [nodes](std::size_t i) -> const TAgent& { return nodes[i]; }, frame);
}

int TracedLength(const TAgent& a, const TAgent& b) {
  return std::abs(b.X - a.X) + std::abs(b.Y - a.Y);
}

std::optional<double> OrientationEntropy(const StreetNetwork& network, int bins) {
  if (bins < 1) {
    return std::nullopt;
  }
  const int halves = 2 * bins;
  std::vector<std::uint64_t> half(static_cast<std::size_t>(halves), 0);
  std::uint64_t counted = 0;
  for (const StreetLink& link : network.links) {
    if (link.a == link.b) {
      continue;  // a loop has no bearing
    }
    const double bearing = Bearing(network.nodes[static_cast<std::size_t>(link.a)],
                                   network.nodes[static_cast<std::size_t>(link.b)]);
    ++half[HalfBin(bearing, halves)];
    ++half[HalfBin(PositiveModulo(bearing - 180.0, 360.0), halves)];
    counted += 2;
  }
  if (counted == 0) {
    return std::nullopt;
  }
  // Bins of twice the width, the first centred on north: each joins a half bin to the one
  // before it.
  double entropy = 0.0;
  for (int k = 0; k < bins; ++k) {
    const int before = (2 * k + halves - 1) % halves;
    const int at = 2 * k;
    const std::uint64_t count =
        half[static_cast<std::size_t>(before)] + half[static_cast<std::size_t>(at)];
    const double p = static_cast<double>(count) / static_cast<double>(counted);
    entropy -= p > 0.0 ? p * std::log(p) : 0.0;
  }
  return entropy;
}

StreetNetworkStats ComputeStreetNetworkStats(const StreetNetwork& network,
                                             std::optional<double> area_m2,
                                             const DetourSample& sample) {
  StreetNetworkStats out;
  out.n = network.nodes.size();
  out.street_segment_count = network.links.size();
  out.m = 2 * out.street_segment_count;
  if (out.n > 0) {
    out.k_avg = 2.0 * static_cast<double>(out.m) / static_cast<double>(out.n);
  }
  NodeStatistics(network, out);
  LengthStatistics(network, out);
  out.orientation_entropy = OrientationEntropy(network);
  Densities(area_m2, out);
  DetourStatistics(network, sample, out);
  return out;
}

}  // namespace veltmoor
