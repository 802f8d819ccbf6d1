#include "views/layers.h"

#include <algorithm>
#include <cmath>

#include "simulation/node_creation.h"
#include "simulation/numbers.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

template <typename Cell, typename Paint>
void ForEachCell(Grid2D<Cell>& grid, Paint paint) {
  // Cells() runs row by row, columns inner: the program's scan order.
  for (Cell& cell : grid.Cells()) {
    paint(cell);
  }
}

void RedrawNodes(Simulation& sim, bool grey) {
  World& world = sim.world;
  if (!sim.map.AgentImage) {
    return;
  }
  Canvas& canvas = *sim.map.AgentImage;
  const auto radius = static_cast<std::int32_t>(sim.settings.Int(setting::kNodeSize));
  canvas.pen.width = 1;
  for (auto& node : world.NodeList) {
    node->Radius = radius;
    if (grey) {
      node->Color = colours::kGrey;
    }
    node->DrawNode(canvas);
  }
}

}  // namespace

void DrawAllNodes(Simulation& sim) {
  RedrawNodes(sim, false);
}

void GreyAllNodes(Simulation& sim) {
  RedrawNodes(sim, true);
}

void ClearCellLayer(Simulation& sim) {
  World& world = sim.world;
  if (!sim.map.MapImage) {
    return;
  }
  Canvas& layer = *sim.map.MapImage;
  ForEachCell(world.CellGrid, [&world, &layer](TCell& cell) {
    cell.Color = colours::kWhite;
    world.DrawCell(layer, cell);
  });
}

void ShowLandUse(Simulation& sim) {
  World& world = sim.world;
  if (!sim.map.FineImage) {
    return;
  }
  Canvas& layer = *sim.map.FineImage;
  ForEachCell(world.FineGrid, [&world, &layer](TFineCell& cell) {
    switch (cell.LandUse) {
      case kLandDeveloped:
        cell.Color = colours::kBlue;
        break;
      case kLandStreet:
        cell.Color = colours::kYellow;
        break;
      case kLandFree:
        cell.Color = colours::kWhite;
        break;
      default:
        break;
    }
    world.DrawCell(layer, cell);
  });
}

void ShowSubStates(Simulation& sim) {
  World& world = sim.world;
  if (!sim.map.FineImage) {
    return;
  }
  Canvas& layer = *sim.map.FineImage;
  ForEachCell(world.FineGrid, [&world, &layer](TFineCell& cell) {
    switch (cell.SubState) {
      case kSubOpen:
        cell.Color = colours::kLime;
        break;
      case kSubBuild:
        cell.Color = colours::kBlue;
        break;
      case kSubNone:
        cell.Color = colours::kWhite;
        break;
      default:
        break;
    }
    // Streets show as streets whatever the building rules wrote into SubState.
    if (cell.LandUse == kLandStreet) {
      cell.Color = colours::kYellow;
    }
    world.DrawCell(layer, cell);
  });
}

void ShowCandidateSites(Simulation& sim) {
  World& world = sim.world;
  if (!sim.map.MapImage) {
    return;
  }
  // States are written as the sweep goes, so cells later in the sweep see the State 2
  // written before them; pressing the button again can therefore find more candidates.
  for (int r = 0; r < world.RowCount; ++r) {
    for (int c = 0; c < world.ColumnCount; ++c) {
      TCell& cell = world.CellGrid(c, r);
      if (cell.State == kStateNode) {
        continue;
      }
      const NeighbourhoodClass kind = MarkNeighbourhoodState(world, cell);
      if (kind == NeighbourhoodClass::kNodeNearby) {
        cell.Color = colours::kLightGrey;
      } else if (kind == NeighbourhoodClass::kNextToNodeNearby) {
        cell.Color = colours::kRedOrange;
      }
      world.DrawCell(*sim.map.MapImage, cell);
    }
  }
}

void ShowDevelopedMask(Simulation& sim) {
  World& world = sim.world;
  if (!sim.map.FineImage) {
    return;
  }
  Canvas& layer = *sim.map.FineImage;
  ForEachCell(world.FineGrid, [&world, &layer](TFineCell& cell) {
    cell.Color = cell.IsDeveloped ? colours::kBlack : colours::kWhite;
    world.DrawCell(layer, cell);
  });
}

void RepaintNodes(Simulation& sim) {
  sim.map.ClearAgentLayer();
  sim.map.DrawAllEdges(sim.world);
  DrawAllNodes(sim);
}

void ShowStatesView(Simulation& sim) {
  sim.map.Visible.Fine = true;
  ShowLandUse(sim);
}

void ShowSubStatesView(Simulation& sim) {
  sim.map.Visible.Fine = true;
  ShowSubStates(sim);
}

void ShowPotentialView(Simulation& sim) {
  sim.map.Visible.Fine = false;
  sim.map.PaintPotential(sim.world);
}

void ShowCandidateSitesView(Simulation& sim) {
  sim.map.Visible.Fine = false;
  ShowCandidateSites(sim);
}

}  // namespace veltmoor
