// The analyses on big worlds: all-pairs paths on grown street networks of about 1 000, 3 000,
// 6 000 and 20 000 nodes (a 3.2 GB table), beside igraph's all-pairs breadth-first distances on the
// same graphs, and cluster labelling and box counting on a million fine cells.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "analysis/cluster.h"
#include "analysis/dijkstra.h"
#include "analysis/fractal.h"
#include "analysis/segregation.h"
#include "bench_world.h"
#include "simulation/cell.h"

#ifdef VELTMOOR_BENCH_IGRAPH
#include <igraph.h>
#endif

namespace veltmoor::bench {

namespace {

constexpr int kNetworkSizes[] = {1000, 3000, 6000, 20000};
// Coarse cells per node of the world a network grows in: enough room for the target count
// before the candidate sites run out, little enough to keep the growing quick.
constexpr double kCellsPerNode = 5.5;
constexpr int kNetworkCellSize = 6;

// The hop count and the parent of one ordered pair.
// Hop count and parent of a pair: 16 bits each up to 65 535 nodes.
constexpr std::size_t kPathEntryBytes = 2 * sizeof(std::uint16_t);

// A street network grown by network-only steps from a fixed seed until it has `nodes` nodes
// (or its candidate sites run out just short of them). Grown once per size, on first use.
BenchSimulation& GrownNetwork(int nodes) {
  static std::map<int, std::unique_ptr<BenchSimulation>> networks;
  auto& network = networks[nodes];
  if (!network) {
    const int side = static_cast<int>(std::ceil(std::sqrt(kCellsPerNode * nodes)));
    const int pixels = side * kNetworkCellSize;
    network = std::make_unique<BenchSimulation>(WorldSize{pixels, pixels, kNetworkCellSize},
                                                CanvasKind::Null);
    network->settings.Set(setting::kStopAt, std::to_string(nodes));
    network->Start("network");
    network->Run(4LL * nodes);
  }
  return *network;
}

int NodeCount(const Simulation& sim) {
  return static_cast<int>(sim.world.NodeList.size());
}

void SetNetworkCounters(benchmark::State& state, int nodes, double entryBytes) {
  state.counters["nodes"] = nodes;
  state.counters["table_bytes"] = static_cast<double>(nodes) * nodes * entryBytes;
}

void AllPaths(benchmark::State& state, int targetNodes, unsigned threads) {
  Simulation& sim = GrownNetwork(targetNodes).sim;
  for (auto _ : state) {
    ComputeAllPaths(sim, threads);
  }
  SetNetworkCounters(state, NodeCount(sim), kPathEntryBytes);
  state.counters["threads"] = threads;
  sim.world.PathMatrix.Clear();
}

#ifdef VELTMOOR_BENCH_IGRAPH

// The street network as an undirected igraph graph with the same node numbers.
class IgraphNetwork {
 public:
  explicit IgraphNetwork(const World& world) {
    igraph_vector_int_t edges;
    igraph_vector_int_init(&edges, 0);
    for (std::size_t a = 0; a < world.NodeList.size(); ++a) {
      for (const LinkEntry& link : world.Node(a).Links) {
        if (static_cast<std::size_t>(link.OtherNode) > a) {
          igraph_vector_int_push_back(&edges, static_cast<igraph_integer_t>(a));
          igraph_vector_int_push_back(&edges, link.OtherNode);
        }
      }
    }
    igraph_create(&graph_, &edges, static_cast<igraph_integer_t>(world.NodeList.size()),
                  IGRAPH_UNDIRECTED);
    igraph_vector_int_destroy(&edges);
  }
  ~IgraphNetwork() { igraph_destroy(&graph_); }
  IgraphNetwork(const IgraphNetwork&) = delete;
  IgraphNetwork& operator=(const IgraphNetwork&) = delete;

  void Distances(igraph_matrix_t& result) const {
    igraph_distances(&graph_, &result, igraph_vss_all(), igraph_vss_all(), IGRAPH_ALL);
  }

 private:
  igraph_t graph_;
};

// Whether igraph's distances are the hop counts of the path table: the proof that both
// sides measured the same graph. Unreachable pairs are infinite there and 0 here.
bool SameDistances(const igraph_matrix_t& distances, const PathTable& paths) {
  const int n = paths.NodeCount();
  for (int from = 0; from < n; ++from) {
    for (int to = 0; to < n; ++to) {
      const double d = MATRIX(distances, from, to);
      const int expected = std::isfinite(d) ? static_cast<int>(d) : 0;
      if (paths.HopCount(from, to) != expected) {
        return false;
      }
    }
  }
  return true;
}

void IgraphDistances(benchmark::State& state, int targetNodes) {
  Simulation& sim = GrownNetwork(targetNodes).sim;
  const IgraphNetwork graph(sim.world);
  igraph_matrix_t distances;
  igraph_matrix_init(&distances, 0, 0);
  for (auto _ : state) {
    graph.Distances(distances);
  }
  ComputeAllPaths(sim, 1);
  if (!SameDistances(distances, sim.world.PathMatrix)) {
    state.SkipWithError("igraph's distances differ from ComputeAllPaths");
  }
  sim.world.PathMatrix.Clear();
  igraph_matrix_destroy(&distances);
  SetNetworkCounters(state, NodeCount(sim), sizeof(igraph_real_t));
}

#endif

// A world of 333 x 333 cells (998 001 fine cells) with 40% of its fine cells developed at
// random: a pattern just below the percolation threshold, so many clusters of all sizes.
BenchSimulation& MillionCellWorld() {
  static std::unique_ptr<BenchSimulation> world;
  if (!world) {
    world = std::make_unique<BenchSimulation>(WorldSize{2000, 2000, 6}, CanvasKind::Null);
    world->Start("cluster");
    for (TFineCell& fine : world->sim.world.FineGrid.Cells()) {
      if (world->random.Random() < 0.4) {
        fine.LandUse = kLandDeveloped;
      }
    }
    ClassifyDevelopedCells(world->sim.world);
  }
  return *world;
}

void Clusters(benchmark::State& state) {
  BenchSimulation& world = MillionCellWorld();
  for (auto _ : state) {
    LabelClusters(world.sim);
  }
  state.counters["fine_cells"] = world.FineCellCount();
  state.counters["clusters"] = static_cast<double>(world.sim.world.ClusterSizes.size());
}

void BoxCounting(benchmark::State& state) {
  BenchSimulation& world = MillionCellWorld();
  for (auto _ : state) {
    GridAnalysis(world.sim);
  }
  state.counters["fine_cells"] = world.FineCellCount();
}

void RegisterPathBenchmarks() {
  for (int nodes : kNetworkSizes) {
    const std::string size = "/nodes:" + std::to_string(nodes);
    for (unsigned threads : {1u, 2u}) {
      const std::string name = "ComputeAllPaths" + size + "/threads:" + std::to_string(threads);
      benchmark::RegisterBenchmark(name.c_str(), AllPaths, nodes, threads)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->MinTime(1.0);
    }
#ifdef VELTMOOR_BENCH_IGRAPH
    benchmark::RegisterBenchmark(("IgraphDistances" + size).c_str(), IgraphDistances, nodes)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(1.0);
#endif
  }
}

void RegisterGridBenchmarks() {
  benchmark::RegisterBenchmark("LabelClusters/fine_cells:1M", Clusters)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(3);
  benchmark::RegisterBenchmark("GridAnalysis/fine_cells:1M", BoxCounting)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(1);
}

}  // namespace

}  // namespace veltmoor::bench

int main(int argc, char** argv) {
#ifdef VELTMOOR_BENCH_IGRAPH
  benchmark::AddCustomContext("igraph", IGRAPH_VERSION);
#else
  benchmark::AddCustomContext("igraph", "missing");
  std::cout << "igraph was not found when this benchmark was built (pkg-config igraph): "
               "ComputeAllPaths runs without the comparison.\n";
#endif
  veltmoor::bench::RegisterPathBenchmarks();
  veltmoor::bench::RegisterGridBenchmarks();
  return veltmoor::bench::RunBenchmarks(argc, argv);
}
