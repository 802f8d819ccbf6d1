#include "simulation/node_creation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "simulation/numbers.h"
#include "simulation/settings.h"

namespace veltmoor {

int PixelDistance(int x1, int y1, int x2, int y2) {
  const float dx = static_cast<float>(x1 - x2);
  const float dy = static_cast<float>(y1 - y2);
  const float sum = dx * dx + dy * dy;
  return RoundToInt(std::sqrt(static_cast<double>(sum)));
}

TAgent& CreateNode(const GrowthContext& growth, TCell& cell) {
  World& world = growth.world;
  cell.State = kStateNode;
  cell.NodeIndex = static_cast<std::int32_t>(world.NodeList.size());

  auto node = std::make_unique<TAgent>();
  node->X = world.CentreX(cell);
  node->Y = world.CentreY(cell);
  node->Column = world.ColumnOf(cell);
  node->Row = world.RowOf(cell);
  node->Color = colours::kGrey;
  node->Radius = static_cast<std::int32_t>(growth.settings.Int(setting::kNodeSize));
  world.NodeList.push_back(std::move(node));
  ++world.NodeCount;
  TAgent& created = *world.NodeList.back();
  growth.sink.NodeCreated(world, created, world.NodeList.size() - 1,
                          growth.settings.Checked(setting::kNodeNumbers));
  UpdateCandidateSitesAround(world, world.ColumnOf(cell), world.RowOf(cell));
  return created;
}

NeighbourhoodClass ClassifyNeighbourhood(const World& world, int column, int row) {
  bool nextToNode = false;
  for (int r = row - 1; r <= row + 1; ++r) {
    for (int c = column - 1; c <= column + 1; ++c) {
      if (!world.InGrid(c, r)) {
        continue;
      }
      const CellState state = world.CellGrid(c, r).State;
      if (state == kStateNode) {
        return NeighbourhoodClass::kNodeNearby;
      }
      nextToNode = nextToNode || state == kStateNextToNode;
    }
  }
  return nextToNode ? NeighbourhoodClass::kNextToNodeNearby : NeighbourhoodClass::kFarFromNodes;
}

NeighbourhoodClass MarkNeighbourhoodState(World& world, TCell& cell) {
  const NeighbourhoodClass kind =
      ClassifyNeighbourhood(world, world.ColumnOf(cell), world.RowOf(cell));
  if (kind == NeighbourhoodClass::kNodeNearby) {
    cell.State = kStateNextToNode;
  } else if (kind == NeighbourhoodClass::kNextToNodeNearby) {
    cell.State = kStateCandidate;
  }
  return kind;
}

namespace {

// Chebyshev distance from (c, r) to the nearest node cell within two cells, 3 for further.
int NearestNodeWithinTwo(const World& world, int c, int r) {
  int nearest = 3;
  for (int y = std::max(r - 2, 0); y <= std::min(r + 2, world.RowCount - 1); ++y) {
    for (int x = std::max(c - 2, 0); x <= std::min(c + 2, world.ColumnCount - 1); ++x) {
      if (world.CellGrid(x, y).State == kStateNode) {
        nearest = std::min(nearest, std::max(std::abs(x - c), std::abs(y - r)));
      }
    }
  }
  return nearest;
}

// True when every cell's State follows from the node cells alone: 2 with a node in its
// 3 x 3 block, else 3 with one in its 5 x 5 block, else 0.
bool StatesFollowFromNodes(const World& world) {
  for (int r = 0; r < world.RowCount; ++r) {
    for (int c = 0; c < world.ColumnCount; ++c) {
      const CellState state = world.CellGrid(c, r).State;
      if (state == kStateNode) {
        continue;
      }
      const int nearest = NearestNodeWithinTwo(world, c, r);
      const CellState expected = nearest == 1   ? kStateNextToNode
                                 : nearest == 2 ? kStateCandidate
                                                : kStateFree;
      if (state != expected) {
        return false;
      }
    }
  }
  return true;
}

void TrustIfStatesFollowFromNodes(World& world) {
  world.Sites.Reset();
  if (!StatesFollowFromNodes(world)) {
    return;
  }
  world.Sites.Candidates.Resize(world.ColumnCount, world.RowCount);
  for (int r = 0; r < world.RowCount; ++r) {
    for (int c = 0; c < world.ColumnCount; ++c) {
      world.Sites.Candidates.Assign(c, r, world.CellGrid(c, r).State == kStateCandidate);
    }
  }
  world.Sites.Trusted = true;
}

// The two sweeps of UpdateCandidateSites, worked out from the cells around a new node in
// (column, row) alone. With the States following from the nodes before the node came, only
// its 5 x 5 block changes; the second sweep lists every candidate site in scan order; the
// first lists the same sites except those that saw no next-to-node cell when it reached
// them: cells next to a node only through the new node, and those still ahead in the sweep.
void ReclassifyAround(World& world, int column, int row) {
  CandidateSites& sites = world.Sites;
  auto inBlock = [column, row](int c, int r, int radius) {
    return std::abs(c - column) <= radius && std::abs(r - row) <= radius;
  };
  // Which cells of the new node's 3 x 3 block were next to a node before it came.
  std::array<bool, 9> wasNextToNode{};
  auto blockSlot = [column, row](int c, int r) {
    return static_cast<std::size_t>(r - row + 1) * 3 + static_cast<std::size_t>(c - column + 1);
  };
  for (int r = row - 1; r <= row + 1; ++r) {
    for (int c = column - 1; c <= column + 1; ++c) {
      if (world.InGrid(c, r)) {
        TCell& cell = world.CellGrid(c, r);
        wasNextToNode[blockSlot(c, r)] = cell.State == kStateNextToNode;
        if (cell.State != kStateNode) {
          cell.State = kStateNextToNode;
        }
        sites.Candidates.Assign(c, r, false);
      }
    }
  }
  for (int r = row - 2; r <= row + 2; ++r) {
    for (int c = column - 2; c <= column + 2; ++c) {
      if (world.InGrid(c, r) && !inBlock(c, r, 1)) {
        TCell& cell = world.CellGrid(c, r);
        if (cell.State == kStateFree || cell.State == kStateCandidate) {
          cell.State = kStateCandidate;
          sites.Candidates.Assign(c, r, true);
        }
      }
    }
  }

  auto nextToNodeInFirstSweep = [&](int c, int r, int ownColumn, int ownRow) {
    if (world.CellGrid(c, r).State != kStateNextToNode) {
      return false;
    }
    const bool before = r < ownRow || (r == ownRow && c < ownColumn);
    return before || (inBlock(c, r, 1) ? wasNextToNode[blockSlot(c, r)] : true);
  };
  auto listedInFirstSweep = [&](int c, int r) {
    for (int y = r - 1; y <= r + 1; ++y) {
      for (int x = c - 1; x <= c + 1; ++x) {
        if (world.InGrid(x, y) && nextToNodeInFirstSweep(x, y, c, r)) {
          return true;
        }
      }
    }
    return false;
  };

  std::vector<TCell*>& list = world.CandidateList;
  list.clear();
  std::vector<TCell>& cells = world.CellGrid.Cells();
  const int columns = world.ColumnCount;
  sites.Candidates.ForEachSet([&](std::size_t index) {
    const int c = static_cast<int>(index % static_cast<std::size_t>(columns));
    const int r = static_cast<int>(index / static_cast<std::size_t>(columns));
    if (!inBlock(c, r, 2) || listedInFirstSweep(c, r)) {
      list.push_back(&cells[index]);
    }
  });
  sites.Candidates.ForEachSet([&](std::size_t index) { list.push_back(&cells[index]); });
}

}  // namespace

void UpdateCandidateSitesAround(World& world, int column, int row) {
  if (world.RescanGrids || !world.Sites.Trusted ||
      world.Sites.Candidates.Columns() != world.ColumnCount ||
      world.Sites.Candidates.Rows() != world.RowCount) {
    UpdateCandidateSites(world);
    if (!world.RescanGrids) {
      TrustIfStatesFollowFromNodes(world);
    }
    return;
  }
  ReclassifyAround(world, column, row);
}

void UpdateCandidateSites(World& world) {
  world.CandidateList.clear();
  // Two sweeps: cells next to a node found in the first one turn their outer ring into
  // candidates in the second. The list is not emptied in between, on purpose.
  for (int pass = 0; pass < 2; ++pass) {
    for (int r = 0; r < world.RowCount; ++r) {
      for (int c = 0; c < world.ColumnCount; ++c) {
        TCell& cell = world.CellGrid(c, r);
        if (cell.State == kStateNode) {
          continue;
        }
        if (MarkNeighbourhoodState(world, cell) == NeighbourhoodClass::kNextToNodeNearby) {
          world.CandidateList.push_back(&cell);
        }
      }
    }
  }
}

}  // namespace veltmoor
