#include "simulation/node_creation.h"

#include <cmath>
#include <string>

#include "simulation/numbers.h"

namespace veltmoor {

int PixelDistance(int x1, int y1, int x2, int y2) {
  const float dx = static_cast<float>(x1 - x2);
  const float dy = static_cast<float>(y1 - y2);
  const float sum = dx * dx + dy * dy;
  return RoundToInt(std::sqrt(static_cast<double>(sum)));
}

namespace {

void LabelNode(Simulation& sim, const TAgent& node, std::size_t index) {
  NodeLabel label{node.X - 5, node.Y - 13, std::to_string(index)};
  if (Canvas* agents = sim.world.AgentImage.get()) {
    // Drawn on a black box so the number sits on the transparent layer without a frame.
    agents->brush = colours::kBlack;
    agents->font = Font{6, colours::kNavy};
    agents->TextOut(label.Left, label.Top, label.Caption);
  }
  sim.world.NodeLabelList.push_back(std::move(label));
}

}  // namespace

TAgent& CreateNode(Simulation& sim, TCell& cell) {
  World& world = sim.world;
  cell.State = kStateNode;
  cell.NodeIndex = static_cast<std::int32_t>(world.NodeList.size());

  auto node = std::make_unique<TAgent>();
  node->X = world.CentreX(cell);
  node->Y = world.CentreY(cell);
  node->Column = world.ColumnOf(cell);
  node->Row = world.RowOf(cell);
  node->Color = colours::kGrey;
  node->Radius = static_cast<std::int32_t>(sim.settings.Int("SE_nSz"));
  if (world.AgentImage) {
    node->DrawNode(*world.AgentImage);
  }
  world.NodeList.push_back(std::move(node));
  ++world.NodeCount;
  TAgent& created = *world.NodeList.back();

  if (sim.settings.Checked("CB_nodeLbl")) {
    LabelNode(sim, created, world.NodeList.size() - 1);
  }
  UpdateCandidateSites(world);
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
