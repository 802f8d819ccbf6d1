#include "analysis/dijkstra.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "analysis/ConnTable.h"
#include "analysis/structure_analysis.h"
#include "simulation/numbers.h"
#include "views/layers.h"

namespace veltmoor {

namespace {

void ReportProgress(const PathProgressReport& progress, int source, int node_count) {
  if (progress) {
    progress(RoundToInt(static_cast<long double>(source) / node_count * 100));
  }
}

void SearchAllSequentially(const World& world, PathTable& paths, const PathProgressReport& progress,
                           int node_count) {
  PathSearch search(node_count);
  for (int s = 0; s < node_count; ++s) {
    ShortestPathsFrom(world, s, search);
    CopyPathRow(search, s, paths);
    ReportProgress(progress, s, node_count);
  }
}

// Workers take sources in turn and write their own rows of the table; the calling thread
// only waits for the sources in order, so progress is reported in order and on its thread.
class ParallelSearch {
 public:
  ParallelSearch(const World& world, PathTable& paths, const PathProgressReport& progress,
                 int node_count)
      : world_(world),
        paths_(paths),
        progress_(progress),
        node_count_(node_count),
        done_(static_cast<std::size_t>(node_count), 0) {}

  void Run(unsigned thread_count) {
    {
      std::vector<std::jthread> workers;
      // Declared after the workers so it stops them before they are joined, whichever way
      // this scope is left.
      struct StopOnExit {
        std::atomic<bool>& stop;
        ~StopOnExit() { stop = true; }
      } stop_on_exit{stop_};
      for (unsigned t = 0; t < thread_count; ++t) {
        workers.emplace_back([this] { Work(); });
      }
      ReportInOrder();
    }
    if (failure_) {
      std::rethrow_exception(failure_);
    }
  }

 private:
  void Work() {
    try {
      PathSearch search(node_count_);
      for (int s = next_++; s < node_count_ && !stop_; s = next_++) {
        ShortestPathsFrom(world_, s, search);
        CopyPathRow(search, s, paths_);
        std::lock_guard lock(mutex_);
        done_[static_cast<std::size_t>(s)] = 1;
        finished_.notify_one();
      }
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!failure_) {
        failure_ = std::current_exception();
      }
      stop_ = true;
      finished_.notify_one();
    }
  }

  void ReportInOrder() {
    for (int s = 0; s < node_count_; ++s) {
      {
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return done_[static_cast<std::size_t>(s)] != 0 || failure_; });
        if (failure_) {
          return;
        }
      }
      ReportProgress(progress_, s, node_count_);
    }
  }

  const World& world_;
  PathTable& paths_;
  const PathProgressReport& progress_;
  const int node_count_;
  std::atomic<int> next_{0};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable finished_;
  std::vector<std::uint8_t> done_;
  std::exception_ptr failure_;
};

// The work fields end as the search from the last node leaves them: reached nodes done
// with their hop count, the rest unseen.
void LeaveSearchFields(World& world, int node_count) {
  const int last = node_count - 1;
  for (int x = 0; x < node_count; ++x) {
    TAgent& node = world.Node(static_cast<std::size_t>(x));
    node.HopCount = world.PathMatrix.HopCount(last, x);
    node.SearchState = (x == last || node.HopCount > 0) ? 2 : 0;
  }
}

}  // namespace

PathSearch::PathSearch(int node_count)
    : hops(static_cast<std::size_t>(node_count)),
      parents(static_cast<std::size_t>(node_count)),
      reached(static_cast<std::size_t>(node_count)) {
  queue.reserve(static_cast<std::size_t>(node_count));
}

void ResetPathLists(Simulation& sim) {
  sim.StringGrid1.ClearHopCells();
  sim.world.PathMatrix.Reset(static_cast<int>(sim.world.NodeList.size()));
}

void ShortestPathsFrom(const World& world, int source, PathSearch& search) {
  std::fill(search.hops.begin(), search.hops.end(), 0);
  std::fill(search.parents.begin(), search.parents.end(), PathTable::kNoParent);
  std::fill(search.reached.begin(), search.reached.end(), std::uint8_t{0});
  search.queue.clear();

  // With every segment weighing one, taking the open node with the fewest hops (the
  // earliest reached among equals) is taking the oldest one: a plain queue.
  search.reached[static_cast<std::size_t>(source)] = 1;
  search.queue.push_back(source);
  for (std::size_t head = 0; head < search.queue.size(); ++head) {
    const std::int32_t q = search.queue[head];
    const std::int32_t next_hops = search.hops[static_cast<std::size_t>(q)] + 1;
    for (const LinkEntry& link : world.Node(static_cast<std::size_t>(q)).Links) {
      const auto x = static_cast<std::size_t>(link.OtherNode);
      // A later route is never shorter, so the first discoverer keeps the node.
      if (search.reached[x] != 0) {
        continue;
      }
      search.reached[x] = 1;
      search.hops[x] = next_hops;
      search.parents[x] = q;
      search.queue.push_back(link.OtherNode);
    }
  }
}

void CopyPathRow(const PathSearch& search, int source, PathTable& paths) {
  paths.SetRow(source, search.hops, search.parents);
}

PathTable ComputePathTable(const World& world, const PathProgressReport& progress,
                           unsigned thread_count) {
  const int node_count = static_cast<int>(world.NodeList.size());
  PathTable paths;
  paths.Reset(node_count);
  if (node_count == 0) {
    return paths;
  }
  if (thread_count == 0) {
    thread_count = std::max(1u, std::thread::hardware_concurrency());
  }
  thread_count = std::min(thread_count, static_cast<unsigned>(node_count));
  if (thread_count == 1) {
    SearchAllSequentially(world, paths, progress, node_count);
  } else {
    ParallelSearch(world, paths, progress, node_count).Run(thread_count);
  }
  return paths;
}

void ComputeAllPaths(Simulation& sim, unsigned thread_count) {
  sim.StringGrid1.ClearHopCells();
  sim.world.PathMatrix = ComputePathTable(sim.world, sim.PathProgress, thread_count);
  if (!sim.world.NodeList.empty()) {
    LeaveSearchFields(sim.world, static_cast<int>(sim.world.NodeList.size()));
  }
}

void B_CalcPathesClick(Simulation& sim) {
  ClearCellLayer(sim);
  ComputeAllPaths(sim);
  FillConnectivityTable(sim);
  ShowDegreeHistogram(sim);
  if (sim.world.FieldType > kFieldNetworkOnly) {
    StructureAnalysis(sim);
  }
}

}  // namespace veltmoor
