#include "growth/potential_field.h"

#include <optional>

#include <array>
#include <cmath>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "growth/street_growth.h"
#include "simulation/node_creation.h"
#include "simulation/numbers.h"
#include "simulation/random_source.h"
#include "simulation/resulting_force.h"
#include "simulation/settings.h"

namespace veltmoor {

namespace {

// The four neighbours in the order every scan of the program takes them: below, above,
// right, left.
constexpr std::array<std::pair<int, int>, 4> kNeighbourOffsets{{{0, 1}, {0, -1}, {1, 0}, {-1, 0}}};

// True when `test` holds for one of the four fine neighbours of (column, row) that lie on
// the fine grid; stops at the first that does.
template <typename Test>
bool AnyFineNeighbour(const World& world, int column, int row, Test test) {
  for (const auto& [dc, dr] : kNeighbourOffsets) {
    const int c = column + dc;
    const int r = row + dr;
    if (world.InFineGrid(c, r) && test(world.FineGrid(c, r))) {
      return true;
    }
  }
  return false;
}

// The cell's own share of the new potential: none without developed land, otherwise the
// developed fraction raised to (1 - p), which grows towards 1 as the potential does.
// Right clicks count past nine, so n/9 may exceed 1 and the term with it.
float OwnTerm(std::int32_t developedCount, float potential) {
  if (developedCount <= 0) {
    return 0.0f;
  }
  if (developedCount == 9) {
    return 1.0f;  // 1 to any power; full cells are common in a grown town
  }
  // (n/9)^(1-p) as e^((1-p) ln(n/9)) with the common logarithms taken once: the same value
  // in extended precision as the power, at a fraction of its cost, before it is stored as
  // a 32-bit float.
  static const auto kLogFractions = [] {
    std::array<long double, 9> logs{};
    for (int n = 1; n < 9; ++n) {
      logs[static_cast<std::size_t>(n)] = std::log(static_cast<long double>(n) / 9.0L);
    }
    return logs;
  }();
  const auto n = static_cast<std::size_t>(developedCount);
  const long double logFraction =
      n < kLogFractions.size() ? kLogFractions[n] : std::log(static_cast<long double>(n) / 9.0L);
  const long double exponent = 1.0L - static_cast<long double>(potential);
  return static_cast<float>(std::exp(exponent * logFraction));
}

// The best scored so far, the earliest on ties.
struct Choice {
  double best = -999999999.0;
  TFineCell* chosen = nullptr;
};

// Scores `count` neighbouring candidates that share one potential, in order. Open land far
// from the town comes in long runs at one potential; they are passed over in bulk until one
// might beat the best so far, and that one is scored.
void ChooseAmongEqual(ForceScorer& scorer, RandomSource::Cursor& draws, TFineCell* cells,
                      std::size_t count, Choice& choice) {
  const float potential = cells[0].Potential;
  std::size_t i = 0;
  while (true) {
    i += scorer.PassOver(potential, count - i, draws, choice.best);
    if (i == count) {
      return;
    }
    const double force = scorer.ScoreAbove(potential, draws, choice.best);
    if (force > choice.best) {
      choice.best = force;
      choice.chosen = &cells[i];
    }
    ++i;
  }
}

// The fine cell of `candidates` with the strictly greatest resulting force, the earliest
// on ties; nullptr (and the step timer off) when there is none. The weights are read and
// the generator reseeded even then, so a bad setting fails before the list is looked at.
TFineCell* ChooseBestCandidate(const GrowthContext& growth, const FineCellList& candidates) {
  ForceWeights weights;
  weights.R = ReadRandomScale(growth.settings);
  growth.random.ReseedFromClock();
  ReadForceShape(growth.settings, weights);

  if (candidates.empty()) {
    growth.running = false;
    return nullptr;
  }
  Choice choice;
  ForceScorer scorer(weights, growth.forceTerms);
  RandomSource::Cursor draws(growth.random);
  candidates.ForEachRun([&](TFineCell* run, std::size_t count) {
    for (std::size_t i = 0; i < count;) {
      std::size_t end = i + 1;
      while (end < count && run[end].Potential == run[i].Potential) {
        ++end;
      }
      ChooseAmongEqual(scorer, draws, run + i, end - i, choice);
      i = end;
    }
  });
  return choice.chosen;
}

// Turns the fine cell into developed land of sub-type build and counts it in its cell.
// The cell keeps its grey until the next PaintPotential.

// The node nearest to the pixel (x, y), the earliest on equal distances; nullptr when the
// network has no node yet.
TAgent* NearestNode(World& world, int x, int y) {
  int nearestDistance = 999999999;
  TAgent* nearest = nullptr;
  for (const auto& node : world.NodeList) {
    const int distance = PixelDistance(x, y, node->X, node->Y);
    if (distance < nearestDistance) {
      nearestDistance = distance;
      nearest = node.get();
    }
  }
  return nearest;
}

// Appends every free fine cell for which `admit` holds, fine rows outer: the whole grid
// rescanned, the yardstick for the frontier.
template <typename Admit>
void CollectFreeFineCells(World& world, FineCellList& list, Admit admit) {
  list.clear();
  const int rows = 3 * world.RowCount;
  const int columns = 3 * world.ColumnCount;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      TFineCell& fine = world.FineGrid(c, r);
      if (fine.LandUse == kLandFree && admit(c, r)) {
        list.push_back(&fine);
      }
    }
  }
}

}  // namespace

void Develop(const GrowthContext& growth, TFineCell& fine) {
  World& world = growth.world;
  world.SetFineLandUse(fine, kLandDeveloped);
  fine.SubState = kSubBuild;
  fine.Color = colours::kBlue;
  growth.sink.CellChanged(world, fine);
  TCell& coarse = world.CoarseOfFine(fine);
  ++coarse.DevelopedCount;
  coarse.LandUse = kLandDeveloped;
}

namespace {

// body(first, end) over all rows, shared with the splitter's helper when there is one.
void ForRows(RowSplitter* rows, int count, int columns, const std::function<void(int, int)>& body) {
  if (rows != nullptr) {
    rows->ForRows(count, columns, body);
  } else {
    body(0, count);
  }
}

// A pass reads the potentials from the cells or from the scratch grid and writes them to
// the other.
float PotentialAt(const TCell* row, int c) {
  return row[c].Potential;
}
float PotentialAt(const float* row, int c) {
  return row[c];
}
void StorePotential(TCell* row, int c, float value) {
  row[c].Potential = value;
}
void StorePotential(float* row, int c, float value) {
  row[c] = value;
}

// One row of a pass: the own term, then the neighbours below, above, right and left, each
// partial sum kept as a 32-bit float, always a fifth of the sum, so cells on the border,
// with fewer neighbours, are damped, and at most 1. `above`/`below` are null off the grid.
template <typename From, typename To>
void NextPotentialRow(const TCell* cells, From above, From row, From below, To out, int columns) {
  for (int c = 0; c < columns; ++c) {
    float s = OwnTerm(cells[c].DevelopedCount, PotentialAt(row, c));
    if (below != nullptr) {
      s = s + PotentialAt(below, c);
    }
    if (above != nullptr) {
      s = s + PotentialAt(above, c);
    }
    if (c + 1 < columns) {
      s = s + PotentialAt(row, c + 1);
    }
    if (c > 0) {
      s = s + PotentialAt(row, c - 1);
    }
    s = s / 5.0f;
    StorePotential(out, c, s > 1.0f ? 1.0f : s);
  }
}

// Rows [first, end) of one pass from the grid `from` (cells or scratch) into `to`.
template <typename FromGrid, typename ToGrid>
void NextPotentialRows(World& world, FromGrid& from, ToGrid& to, int first, int end) {
  const int rows = world.RowCount;
  const int columns = world.ColumnCount;
  for (int r = first; r < end; ++r) {
    using From = const std::remove_reference_t<decltype(from(0, r))>*;
    const From row = &from(0, r);
    const From above = r > 0 ? &from(0, r - 1) : nullptr;
    const From below = r + 1 < rows ? &from(0, r + 1) : nullptr;
    NextPotentialRow(&world.CellGrid(0, r), above, row, below, &to(0, r), columns);
  }
}

}  // namespace

void UpdatePotential(World& world, int passes, RowSplitter* rows) {
  // Each pass is synchronous, reading only the potentials of the pass before, so its rows
  // can be shared out. The passes take turns writing the scratch grid and the cells, so
  // the values move once per pass; an odd count ends with one copy into the cells.
  Grid2D<TCell>& cells = world.CellGrid;
  Grid2D<float>& scratch = world.PotentialGrid;
  for (int pass = 0; pass < passes; ++pass) {
    const bool fromCells = pass % 2 == 0;
    ForRows(rows, world.RowCount, world.ColumnCount,
            [&world, &cells, &scratch, fromCells](int first, int end) {
              if (fromCells) {
                NextPotentialRows(world, cells, scratch, first, end);
              } else {
                NextPotentialRows(world, scratch, cells, first, end);
              }
            });
  }
  if (passes % 2 == 1) {
    ForRows(rows, world.RowCount, world.ColumnCount, [&world, &scratch](int first, int end) {
      for (int r = first; r < end; ++r) {
        for (int c = 0; c < world.ColumnCount; ++c) {
          world.CellGrid(c, r).Potential = scratch(c, r);
        }
      }
    });
  }
}

namespace {

// The nine fine cells of every cell of row r receive the cell's potential.
void SpreadPotentialRow(World& world, int r) {
  for (int c = 0; c < world.ColumnCount; ++c) {
    const float potential = world.CellGrid(c, r).Potential;
    for (int j = 0; j < 3; ++j) {
      for (int i = 0; i < 3; ++i) {
        world.FineGrid(3 * c + i, 3 * r + j).Potential = potential;
      }
    }
  }
}

}  // namespace

void SpreadPotentialToFineGrid(World& world, RowSplitter* rows) {
  // Cell rows fill fine rows of their own, so the rows can be shared out.
  ForRows(rows, world.RowCount, world.ColumnCount, [&world](int first, int end) {
    for (int r = first; r < end; ++r) {
      SpreadPotentialRow(world, r);
    }
  });
}

bool HasOccupiedNeighbour(const World& world, int column, int row) {
  return AnyFineNeighbour(world, column, row,
                          [](const TFineCell& n) { return n.LandUse != kLandFree; });
}

bool HasDevelopedNeighbour(const World& world, int column, int row) {
  return AnyFineNeighbour(world, column, row,
                          [](const TFineCell& n) { return n.LandUse == kLandDeveloped; });
}

namespace {

bool IsHwmCandidateBelow(const World& world, int column, int row, double threshold) {
  return AnyFineNeighbour(world, column, row, [threshold](const TFineCell& n) {
    return n.LandUse == kLandStreet ||
           (n.LandUse == kLandDeveloped && static_cast<double>(n.Potential) > threshold);
  });
}

}  // namespace

bool IsHwmCandidate(const GrowthContext& growth, int column, int row) {
  return IsHwmCandidateBelow(growth.world, column, row,
                             growth.settings.Float(setting::kDevelopmentThreshold));
}

void CollectHwmCandidatesByRescan(const GrowthContext& growth) {
  // The threshold cannot change during one sweep, so it is parsed when the first free cell
  // needs it and kept: a bad text still fails exactly where the test would read it.
  std::optional<double> threshold;
  CollectFreeFineCells(growth.world, growth.world.HwmCandidateList,
                       [&growth, &threshold](int c, int r) {
                         if (!threshold) {
                           threshold = growth.settings.Float(setting::kDevelopmentThreshold);
                         }
                         return IsHwmCandidateBelow(growth.world, c, r, *threshold);
                       });
}

void CollectClusterCandidatesByRescan(const GrowthContext& growth) {
  CollectFreeFineCells(growth.world, growth.world.ClusterCandidateList,
                       [](int, int) { return true; });
}

namespace {

// Appends the fine cells of the set bits in scan order that `admit` lets in.
template <typename Admit>
void CollectMarkedFineCells(World& world, const BitGrid& marked, FineCellList& list, Admit admit) {
  list.clear();
  std::vector<TFineCell>& cells = world.FineGrid.Cells();
  marked.ForEachSet([&](std::size_t index) {
    TFineCell& fine = cells[index];
    if (admit(fine)) {
      list.push_back(&fine);
    }
  });
}

}  // namespace

void CollectHwmCandidates(const GrowthContext& growth) {
  World& world = growth.world;
  if (world.RescanGrids) {
    CollectHwmCandidatesByRescan(growth);
    return;
  }
  const FineFrontier& frontier = world.KeptFrontier();
  world.HwmCandidateList.clear();
  if (frontier.FreeCount() == 0) {
    return;  // the full sweep would not have read the threshold either
  }
  // Only a free cell beside used land can pass the test; the test itself still decides,
  // as the potentials of the developed neighbours change every step.
  const double threshold = growth.settings.Float(setting::kDevelopmentThreshold);
  CollectMarkedFineCells(world, frontier.Frontier(), world.HwmCandidateList,
                         [&world, threshold](const TFineCell& fine) {
                           return IsHwmCandidateBelow(world, world.ColumnOf(fine),
                                                      world.RowOf(fine), threshold);
                         });
}

void DevelopBestHwmCandidate(const GrowthContext& growth) {
  if (TFineCell* chosen = ChooseBestCandidate(growth, growth.world.HwmCandidateList)) {
    Develop(growth, *chosen);
  }
}

void CollectClusterCandidates(const GrowthContext& growth) {
  World& world = growth.world;
  if (world.RescanGrids) {
    CollectClusterCandidatesByRescan(growth);
    return;
  }
  // Every free fine cell is a candidate: the list shows the free bits rather than copying
  // them, which in a large world would be a pointer per fine cell.
  const FineFrontier& frontier = world.KeptFrontier();
  world.ClusterCandidateList.ShowMarked(frontier.Free(), frontier.FreeCount(),
                                        world.FineGrid.Cells());
}

void DevelopBestClusterCandidate(const GrowthContext& growth) {
  TFineCell* chosen = ChooseBestCandidate(growth, growth.world.ClusterCandidateList);
  if (chosen == nullptr) {
    return;
  }
  Develop(growth, *chosen);
  // Only land that touches nothing and lies outside the reach of a node needs a street of
  // its own; next to a node the network will grow to it anyway.
  const CellState state = growth.world.CoarseOfFine(*chosen).State;
  if (!HasOccupiedNeighbour(growth.world, growth.world.ColumnOf(*chosen),
                            growth.world.RowOf(*chosen)) &&
      (state == kStateFree || state == kStateCandidate)) {
    ConnectToNearestNode(growth, *chosen);
  }
}

void ConnectToNearestNode(const GrowthContext& growth, TFineCell& fine) {
  World& world = growth.world;
  TAgent* nearest = NearestNode(world, world.CentreX(fine), world.CentreY(fine));
  TCell& cell = world.CoarseOfFine(fine);
  TAgent& created = CreateNode(growth, cell);
  if (nearest == nullptr) {
    // The first node of the network: there is nothing to run a street from.
    return;
  }
  BuildStraightStreet(growth, world.CellGrid(nearest->Column, nearest->Row), cell);
  // The network now holds at least the nearest node and the new one.
  std::vector<TAgent*> nearby;
  CollectNearbyNodes(world, world.ColumnOf(cell), world.RowOf(cell), nearby);
  InterlinkNodes(growth, created, nearby);
}

}  // namespace veltmoor
