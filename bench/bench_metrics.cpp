// The standard measures at the sizes they are promised for: landscape metrics of 10 million
// fine cells in one labelling pass, street statistics of a 20 000-node network with its
// bounded detour sample.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "analysis/landscape_metrics.h"
#include "analysis/street_network_stats.h"

namespace veltmoor::bench {
namespace {

constexpr int kSide = 3163;  // 3163² ≈ 10 million cells
constexpr std::uint64_t kSeed = 20240601;

// Each cell developed with probability 0,4: tens of thousands of small patches, every one
// searched for its nearest neighbour.
LandscapeMask RandomMask() {
  LandscapeMask mask{kSide, kSide, {}};
  std::mt19937_64 engine(kSeed);
  mask.developed.resize(static_cast<std::size_t>(kSide) * kSide);
  for (std::uint8_t& cell : mask.developed) {
    cell = engine() % 10 < 4 ? 1 : 0;
  }
  return mask;
}

// Blobs of a few hundred metres and fewer, far-apart patches: a town-like pattern.
LandscapeMask TownMask() {
  LandscapeMask mask{kSide, kSide, {}};
  mask.developed.reserve(static_cast<std::size_t>(kSide) * kSide);
  for (int r = 0; r < kSide; ++r) {
    for (int c = 0; c < kSide; ++c) {
      const double v = std::sin(c * 0.013) * std::cos(r * 0.011) + std::sin((c + r) * 0.031) * 0.5 +
                       std::cos((c - 2 * r) * 0.07) * 0.25;
      mask.developed.push_back(v > 0.6 ? 1 : 0);
    }
  }
  return mask;
}

void Landscape(benchmark::State& state, const LandscapeMask& mask) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComputeLandscapeMetrics(mask, 10.0, {}));
  }
  const LandscapeMetrics m = ComputeLandscapeMetrics(mask, 10.0, {});
  state.counters["cells"] = static_cast<double>(mask.developed.size());
  state.counters["patches"] = static_cast<double>(m.NP);
}

void RandomLandscape(benchmark::State& state) {
  static const LandscapeMask mask = RandomMask();
  Landscape(state, mask);
}

void TownLandscape(benchmark::State& state) {
  static const LandscapeMask mask = TownMask();
  Landscape(state, mask);
}

// A 142 x 142 street grid of 100 m blocks, a tenth of its streets missing and its nodes
// shifted a little, so bearings and detours vary.
StreetNetwork GridNetwork() {
  constexpr int kGrid = 142;
  StreetNetwork network;
  std::mt19937_64 engine(kSeed);
  std::uniform_real_distribution<double> shift(-20.0, 20.0);
  for (int r = 0; r < kGrid; ++r) {
    for (int c = 0; c < kGrid; ++c) {
      network.nodes.push_back({c * 100.0 + shift(engine), r * 100.0 + shift(engine)});
    }
  }
  const auto link = [&](int a, int b) {
    const StreetNode& p = network.nodes[static_cast<std::size_t>(a)];
    const StreetNode& q = network.nodes[static_cast<std::size_t>(b)];
    if (engine() % 10 != 0) {
      network.links.push_back({a, b, std::abs(q.x - p.x) + std::abs(q.y - p.y)});
    }
  };
  for (int r = 0; r < kGrid; ++r) {
    for (int c = 0; c < kGrid; ++c) {
      if (c + 1 < kGrid) {
        link(r * kGrid + c, r * kGrid + c + 1);
      }
      if (r + 1 < kGrid) {
        link(r * kGrid + c, (r + 1) * kGrid + c);
      }
    }
  }
  return network;
}

void StreetStatistics(benchmark::State& state) {
  static const StreetNetwork network = GridNetwork();
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComputeStreetNetworkStats(network, 2e8));
  }
  state.counters["nodes"] = static_cast<double>(network.nodes.size());
  state.counters["streets"] = static_cast<double>(network.links.size());
}

BENCHMARK(RandomLandscape)
    ->Name("LandscapeMetrics/random40/fine_cells:10M")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(TownLandscape)
    ->Name("LandscapeMetrics/town/fine_cells:10M")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(StreetStatistics)
    ->Name("StreetNetworkStats/nodes:20000")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace veltmoor::bench

BENCHMARK_MAIN();
