#include "growth/street_growth.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "growth/internal/calc_AStern.h"
#include "simulation/node_creation.h"
#include "simulation/numbers.h"
#include "simulation/random_source.h"
#include "simulation/settings.h"

namespace veltmoor {

namespace {

std::int32_t NodeIndexOf(const World& world, const TAgent& node) {
  const auto it = std::find_if(world.NodeList.begin(), world.NodeList.end(),
                               [&node](const auto& listed) { return listed.get() == &node; });
  return static_cast<std::int32_t>(it - world.NodeList.begin());
}

TAgent& NodeOfCell(World& world, const TCell& cell) {
  return world.Node(static_cast<std::size_t>(cell.NodeIndex));
}

// The candidate site with the best potential plus noise; the noise is drawn only for cells
// still in State 3, and an equal score never displaces an earlier entry.
TCell* ChooseCandidateSite(const GrowthContext& growth, double noiseWeight) {
  float best = -999999999.0f;
  TCell* chosen = nullptr;
  for (TCell* cell : growth.world.CandidateList) {
    if (cell->State != kStateCandidate) {
      continue;
    }
    const long double noise = static_cast<long double>(growth.random.Random()) * noiseWeight;
    const float score = static_cast<float>(noise + cell->Potential);
    if (score > best) {
      best = score;
      chosen = cell;
    }
  }
  return chosen;
}

void PlaceNode(const GrowthContext& growth, TCell& cell) {
  World& world = growth.world;
  CreateNode(growth, cell);
  cell.Color = colours::kLightGrey;
  growth.sink.CellChanged(world, cell);
  if (world.NodeList.size() > 1) {
    std::vector<TAgent*> nearby;
    CollectNearbyNodes(world, world.ColumnOf(cell), world.RowOf(cell), nearby);
    LinkNewNode(growth, cell, nearby);
  }
}

// First node of the list with the smallest Manhattan pixel distance to n.
std::vector<TAgent*>::iterator NearestByManhattan(std::vector<TAgent*>& list, const TAgent& n) {
  int smallest = 9999999;
  auto nearest = list.end();
  for (auto it = list.begin(); it != list.end(); ++it) {
    const int d = std::abs((*it)->X - n.X) + std::abs((*it)->Y - n.Y);
    if (d < smallest) {
      smallest = d;
      nearest = it;
    }
  }
  return nearest;
}

void MarkStreet(const GrowthContext& growth, TFineCell& fine) {
  // A street replaces whatever the fine cell held, so its coarse cell's tallies follow.
  TCell& coarse = growth.world.CoarseOfFine(fine);
  if (fine.LandUse == kLandStreet) {
    --coarse.StreetCount;
  } else if (fine.LandUse == kLandDeveloped) {
    --coarse.DevelopedCount;
  }
  ++coarse.StreetCount;

  fine.Color = colours::kYellow;
  growth.world.SetFineLandUse(fine, kLandStreet);
  fine.SubState = kSubStreet;
  growth.sink.CellChanged(growth.world, fine);
}

// Bearings compared exactly. Every angle a street compares is atan2 of a difference of
// fine-cell indices, and on a 45-degree street two candidate bearings lie exactly equally far
// from the street's angle; doubles from atan2 would decide such a tie by rounding noise, so
// the comparisons are made on the integer vectors themselves.
__extension__ using Wide = __int128;  // products of products of grid indices overflow 64 bits

struct GridVector {
  Wide x = 0;
  Wide y = 0;
};

// atan2(0, 0) is 0, the bearing of (1, 0).
GridVector Normalised(GridVector v) {
  return v.x == 0 && v.y == 0 ? GridVector{1, 0} : v;
}

// True for bearings in (0, pi], false for (-pi, 0]; atan2 of a zero y and negative x is pi.
bool UpperHalf(const GridVector& v) {
  return v.y > 0 || (v.y == 0 && v.x < 0);
}

// Sign of atan2(a) - atan2(b).
int CompareBearings(GridVector a, GridVector b) {
  a = Normalised(a);
  b = Normalised(b);
  if (UpperHalf(a) != UpperHalf(b)) {
    return UpperHalf(a) ? 1 : -1;
  }
  // Within one half the two bearings differ by less than pi, so the cross product orders them.
  const Wide cross = a.x * b.y - a.y * b.x;
  return cross > 0 ? -1 : cross < 0 ? 1 : 0;
}

// The counter-clockwise turn from `from` to `to`, as a vector whose bearing is that turn
// (taken into (-pi, pi]).
GridVector Turn(GridVector from, GridVector to) {
  from = Normalised(from);
  to = Normalised(to);
  return {to.x * from.x + to.y * from.y, to.y * from.x - to.x * from.y};
}

// Sign of |atan2(u) - atan2(v1)| - |atan2(u) - atan2(v2)|: the plain difference of the
// radian values, not the shorter way round the circle.
int CompareDeviations(GridVector u, GridVector v1, GridVector v2) {
  const int side1 = CompareBearings(v1, u);
  const int side2 = CompareBearings(v2, u);
  if (side1 == 0 || side2 == 0) {
    return (side1 != 0 ? 1 : 0) - (side2 != 0 ? 1 : 0);
  }
  if (side1 == side2) {
    // Both on one side of u: the bearing nearer to u deviates less.
    return side1 > 0 ? CompareBearings(v1, v2) : CompareBearings(v2, v1);
  }
  // One below u, one above: the two turns lie in (0, 2 pi) and add up to less than 2 pi. A
  // turn above pi shows as a bearing in the lower half and is the larger one; two turns of
  // at most pi compare by their bearings.
  const GridVector& below = side1 < 0 ? v1 : v2;
  const GridVector& above = side1 < 0 ? v2 : v1;
  const GridVector turnBelow = Turn(below, u);
  const GridVector turnAbove = Turn(u, above);
  int belowMinusAbove = 0;
  if (UpperHalf(turnBelow) != UpperHalf(turnAbove)) {
    belowMinusAbove = UpperHalf(turnBelow) ? -1 : 1;
  } else {
    belowMinusAbove = CompareBearings(turnBelow, turnAbove);
  }
  return side1 < 0 ? belowMinusAbove : -belowMinusAbove;
}

// The neighbour that moves one fine cell closer to the goal and whose own bearing to the
// goal deviates least from the street's direction; the earlier neighbour wins a tie. Null
// only when current is the goal.
TFineCell* NextStreetCell(World& world, const TFineCell& current, const TFineCell& goal,
                          const StreetDirection& direction) {
  static constexpr int kOffsets[4][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};
  const GridVector street{direction.columns, direction.rows};
  const int column = world.ColumnOf(current);
  const int row = world.RowOf(current);
  const int goalColumn = world.ColumnOf(goal);
  const int goalRow = world.RowOf(goal);
  GridVector best;
  TFineCell* next = nullptr;
  for (const auto& offset : kOffsets) {
    const int c = column + offset[0];
    const int r = row + offset[1];
    if (!world.InFineGrid(c, r)) {
      continue;
    }
    const bool closer = std::abs(goalRow - r) <= std::abs(goalRow - row) &&
                        std::abs(goalColumn - c) <= std::abs(goalColumn - column);
    if (!closer) {
      continue;
    }
    const GridVector toGoal{goalColumn - c, goalRow - r};
    if (next == nullptr || CompareDeviations(street, toGoal, best) < 0) {
      best = toGoal;
      next = &world.FineGrid(c, r);
    }
  }
  return next;
}

// The cell g steps of `stepX`, `stepY` pixels back from cell a towards b. The rounding
// cannot leave the rectangle spanned by a and b, but the index is kept on the grid anyway.
TCell& IntermediateCell(World& world, const TCell& a, int g, float stepX, float stepY) {
  const int column =
      world.ColumnOf(a) - RoundToInt(g * static_cast<double>(stepX) / world.CellSize);
  const int row = world.RowOf(a) - RoundToInt(g * static_cast<double>(stepY) / world.CellSize);
  return world.CellGrid(std::clamp(column, 0, world.ColumnCount - 1),
                        std::clamp(row, 0, world.RowCount - 1));
}

}  // namespace

void GrowNetwork(const GrowthContext& growth) {
  const double noiseWeight = growth.settings.Float(setting::kNoiseWeight);
  const double threshold = growth.settings.Float(setting::kGrowThreshold);
  if (growth.world.CandidateList.empty()) {
    growth.running = false;
    return;
  }
  TCell* chosen = ChooseCandidateSite(growth, noiseWeight);
  if (chosen == nullptr) {
    return;
  }
  if (growth.world.FieldType <= kFieldNetworkOnly || chosen->Potential > threshold) {
    PlaceNode(growth, *chosen);
  }
}

void CollectNearbyNodes(const World& world, int column, int row, std::vector<TAgent*>& list) {
  list.clear();
  for (int dc = -2; dc <= 2; ++dc) {
    for (int dr = -2; dr <= 2; ++dr) {
      const int c = column + dc;
      const int r = row + dr;
      if ((dc == 0 && dr == 0) || !world.InGrid(c, r)) {
        continue;
      }
      const TCell& cell = world.CellGrid(c, r);
      if (cell.State == kStateNode) {
        list.push_back(world.NodeList[static_cast<std::size_t>(cell.NodeIndex)].get());
      }
    }
  }
}

void LinkNewNode(const GrowthContext& growth, TCell& cell, std::vector<TAgent*>& list) {
  TAgent& n = NodeOfCell(growth.world, cell);
  if (list.size() == 1) {
    LinkNodes(growth, n, *list.front());
  } else if (!list.empty()) {
    const auto nearest = NearestByManhattan(list, n);
    TAgent& m = **nearest;
    LinkNodes(growth, n, m);
    list.erase(nearest);
    if (growth.world.FieldType == kFieldNetworkOnly || growth.world.FieldType == kFieldInterlink) {
      InterlinkNodes(growth, n, list);
    }
  }
  growth.sink.StreetsChanged(growth.world);
}

void InterlinkNodes(const GrowthContext& growth, TAgent& n, const std::vector<TAgent*>& list) {
  std::vector<TAgent*> path;
  for (TAgent* q : list) {
    FindNetworkPath(growth.world, path, n, *q);
    const long long minDist = growth.settings.Int(setting::kMinDistance);
    if (path.empty() || static_cast<long long>(path.size()) > minDist) {
      LinkNodes(growth, n, *q);
    }
  }
}

void LinkNodes(const GrowthContext& growth, TAgent& a, TAgent& b) {
  // A straight street can round an intermediate node onto its end cell; that node is then
  // the end node, and a segment from a node to itself would be a street of length zero.
  if (&a == &b) {
    return;
  }
  World& world = growth.world;
  const std::int32_t length = PixelDistance(a.X, a.Y, b.X, b.Y);
  a.Links.push_back(LinkEntry{NodeIndexOf(world, b), length});
  b.Links.push_back(LinkEntry{NodeIndexOf(world, a), length});
  ++world.EdgeCount;

  TFineCell& fa = world.FineOfNode(a);
  TFineCell& fb = world.FineOfNode(b);
  TraceStreet(
      growth, fb, fa,
      StreetDirection{world.ColumnOf(fa) - world.ColumnOf(fb), world.RowOf(fa) - world.RowOf(fb)});
}

void TraceStreet(const GrowthContext& growth, TFineCell& current, TFineCell& goal,
                 StreetDirection direction) {
  // Each move shortens the four-connected distance by one, so the walk is bounded.
  for (TFineCell* cell = &current; cell != nullptr;) {
    MarkStreet(growth, *cell);
    if (cell == &goal) {
      return;
    }
    cell = NextStreetCell(growth.world, *cell, goal, direction);
  }
}

void BuildStraightStreet(const GrowthContext& growth, TCell& a, TCell& b) {
  World& world = growth.world;
  const double angle =
      std::atan2(world.RowOf(a) - world.RowOf(b), world.ColumnOf(a) - world.ColumnOf(b));
  const int dist =
      PixelDistance(world.CentreX(a), world.CentreY(a), world.CentreX(b), world.CentreY(b));
  const int step = static_cast<int>(growth.settings.Int(setting::kStreetStep)) * world.CellSize;
  const int n = RoundToInt(static_cast<double>(dist) / step);
  const float ex = static_cast<float>(step * std::cos(angle));
  const float ey = static_cast<float>(step * std::sin(angle));

  if (a.State != kStateNode) {
    CreateNode(growth, a);
  }
  TAgent* prev = &NodeOfCell(world, a);
  for (int g = 1; g <= n - 1; ++g) {
    TCell& c = IntermediateCell(world, a, g, ex, ey);
    CreateNode(growth, c);
    TAgent& cur = NodeOfCell(world, c);
    LinkNodes(growth, cur, *prev);
    prev = &cur;
  }
  if (b.State != kStateNode) {
    CreateNode(growth, b);
  }
  LinkNodes(growth, NodeOfCell(world, b), *prev);
}

}  // namespace veltmoor
