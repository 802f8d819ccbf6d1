#include "growth/internal/calc_AStern.h"

#include <algorithm>

#include "simulation/node_creation.h"

namespace veltmoor {

namespace {

struct PathEstimate {
  std::int32_t Cost;
  std::int32_t Heuristic;
  std::int32_t Estimate;
};

PathEstimate EstimateVia(const TAgent& r, const TAgent& p, const TAgent& goal) {
  PathEstimate e{};
  e.Cost = PixelDistance(r.X, r.Y, p.X, p.Y) + r.Cost;
  e.Heuristic = PixelDistance(goal.X, goal.Y, p.X, p.Y);
  e.Estimate = e.Cost + e.Heuristic;
  return e;
}

void Apply(TAgent& node, const PathEstimate& e) {
  node.Cost = e.Cost;
  node.Heuristic = e.Heuristic;
  node.Estimate = e.Estimate;
}

void ResetSearchFields(World& world) {
  // Parent is deliberately left alone: only nodes reached in this search are ever walked.
  for (auto& node : world.NodeList) {
    node->Estimate = 0;
    node->Cost = 0;
    node->Heuristic = 0;
    node->Closed = false;
  }
}

bool Contains(const std::vector<TAgent*>& list, const TAgent* node) {
  return std::find(list.begin(), list.end(), node) != list.end();
}

// Expands r: every unclosed neighbour is opened or, if a cheaper way to it shows up, moved
// under r. Returns whether the goal was opened.
bool Expand(World& world, TAgent& r, TAgent& goal, std::vector<TAgent*>& open) {
  bool goalReached = false;
  for (const LinkEntry& link : r.Links) {
    TAgent& p = world.Node(static_cast<std::size_t>(link.OtherNode));
    if (p.Closed) {
      continue;
    }
    const PathEstimate candidate = EstimateVia(r, p, goal);
    if (Contains(open, &p)) {
      if (candidate.Cost <= p.Cost) {
        Apply(p, candidate);
        p.Parent = &r;
      }
    } else {
      Apply(p, candidate);
      p.Parent = &r;
      open.push_back(&p);
      goalReached = goalReached || &p == &goal;
    }
  }
  return goalReached;
}

}  // namespace

void FindNetworkPath(World& world, std::vector<TAgent*>& result, TAgent& start, TAgent& goal) {
  bool pathFound = false;
  result.clear();
  std::vector<TAgent*> openList;
  ResetSearchFields(world);
  openList.push_back(&start);

  while (!openList.empty() && !pathFound) {
    TAgent& r = *openList.back();
    r.Closed = true;
    pathFound = Expand(world, r, goal, openList);
    // Stable, so among equal estimates the node opened last stays last and is expanded next.
    std::stable_sort(openList.begin(), openList.end(),
                     [](const TAgent* a, const TAgent* b) { return a->Estimate > b->Estimate; });
    openList.erase(std::find(openList.begin(), openList.end(), &r));
  }

  if (!pathFound) {
    return;
  }
  // Every Parent on this chain was set in this search and points at a node closed earlier,
  // so the walk ends at the start; the null test only guards against a broken network.
  for (TAgent* node = &goal; node != &start && node != nullptr; node = node->Parent) {
    result.push_back(node);
  }
}

}  // namespace veltmoor
