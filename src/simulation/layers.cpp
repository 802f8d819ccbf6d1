#include "simulation/layers.h"

#include <algorithm>
#include <cmath>

#include "simulation/node_creation.h"
#include "simulation/numbers.h"
#include "simulation/potential_field.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

// The gradient bar: four 40-row blends between five stops, value 0 at the top.
constexpr Colour kGradientStops[] = {colours::kBlue, colours::kCyan, colours::kLime,
                                     colours::kYellow, colours::kRed};
constexpr int kGradientSegments = 4;
constexpr int kGradientSegmentRows = 40;
constexpr int kGradientBarWidth = 35;
constexpr int kGradientLastRow = kGradientSegments * kGradientSegmentRows;

int BlendChannel(int from, int to, int step, int steps) {
  return RoundToInt(from + static_cast<double>(step) * (to - from) / steps);
}

// Colour of step `step` of `steps` on the way from colour1 to colour2, each channel rounded
// half to even; step == steps gives colour2 exactly.
Colour BlendColour(Colour colour1, Colour colour2, int step, int steps) {
  return MakeColour(BlendChannel(RedOf(colour1), RedOf(colour2), step, steps),
                    BlendChannel(GreenOf(colour1), GreenOf(colour2), step, steps),
                    BlendChannel(BlueOf(colour1), BlueOf(colour2), step, steps));
}

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

void GradientFill(Canvas& canvas, Colour colour1, Colour colour2, int direction, int left, int top,
                  int right, int bottom) {
  const int savedWidth = canvas.pen.width;
  const PenStyle savedStyle = canvas.pen.style;
  canvas.pen.width = 1;
  canvas.pen.style = PenStyle::InsideFrame;
  const int steps = direction == 0 ? bottom - top : right - left;
  if ((direction == 0 || direction == 1) && steps > 0) {
    // steps + 1 lines, so the far edge is painted too.
    for (int d = 0; d <= steps; ++d) {
      const Colour colour = BlendColour(colour1, colour2, d, steps);
      canvas.pen.colour = colour;
      canvas.brush = colour;
      if (direction == 0) {
        canvas.Rectangle(left, top + d, right, top + d + 1);
      } else {
        canvas.Rectangle(left + d, top, left + d + 1, bottom);
      }
    }
  }
  canvas.pen.width = savedWidth;
  canvas.pen.style = savedStyle;
}

void CreateLayerImages(Simulation& sim) {
  MapLayers& map = sim.map;
  const int width = map.PanelWidth;
  const int height = map.PanelHeight;
  auto whiteLayer = [&sim, width, height] {
    std::unique_ptr<Canvas> layer = sim.canvases.Create(width, height);
    layer->pen = Pen{colours::kWhite, 1, PenStyle::Solid};
    layer->brush = colours::kWhite;
    layer->Rectangle(0, 0, layer->Width(), layer->Height());
    return layer;
  };
  map.MapImage = whiteLayer();
  map.FineImage = whiteLayer();
  map.AgentImage = sim.canvases.Create(map.MapImage->Width(), map.MapImage->Height());
  map.AgentImage->brush = colours::kBlack;
  map.AgentImage->FillRect(0, 0, map.AgentImage->Width(), map.AgentImage->Height());
  // A view that hid the fine layer ("pot. field", "cand. sites") painted the old world; the
  // new one starts with its streets and land in sight.
  map.Visible.Fine = true;
}

void DrawGradientBar(Simulation& sim) {
  if (!sim.ImageGradient) {
    return;
  }
  for (int s = 0; s < kGradientSegments; ++s) {
    const int top = s * kGradientSegmentRows;
    GradientFill(*sim.ImageGradient, kGradientStops[s], kGradientStops[s + 1], 0, 0, top,
                 kGradientBarWidth, top + kGradientSegmentRows);
  }
}

Colour GradientColourAt(double v) {
  // A value outside 0..1 (or not a number, from a measure with no spread) takes the nearer
  // end of the bar instead of a pixel beyond it.
  int row = 0;
  if (v >= 1.0) {
    row = kGradientLastRow;
  } else if (v > 0.0) {
    row = RoundToInt(kGradientLastRow * v);
  }
  // Rows 40, 80 and 120 end one fill and start the next with the same colour; the bottom
  // row belongs to the last fill.
  const int segment = std::min(row / kGradientSegmentRows, kGradientSegments - 1);
  return BlendColour(kGradientStops[segment], kGradientStops[segment + 1],
                     row - segment * kGradientSegmentRows, kGradientSegmentRows);
}

void AdjustColourScale(Simulation& sim) {
  const double p = static_cast<double>(sim.settings.Int(setting::kColorAdjust));
  const double k = p <= 5 ? p * 0.1 + 0.5 : (p - 5) / 2.0 + 1.0;
  sim.world.ColourExponent = k;
  sim.labels.Set(label::kColourScale, FormatNumber(k));
  sim.labels.SetTop(label::kColourHalf, RoundToInt(170.0 - 155.0 * std::pow(0.5, k)));
}

void ClearAgentLayer(Simulation& sim) {
  if (!sim.map.AgentImage || !sim.map.MapImage) {
    return;
  }
  Canvas& canvas = *sim.map.AgentImage;
  canvas.brush = colours::kBlack;
  canvas.pen.colour = colours::kBlack;
  canvas.pen.width = 1;
  canvas.FillRect(0, 0, sim.map.MapImage->Width(), sim.map.MapImage->Height());
}

void DrawAllEdges(Simulation& sim) {
  World& world = sim.world;
  if (!sim.map.AgentImage) {
    return;
  }
  Canvas& canvas = *sim.map.AgentImage;
  canvas.pen = Pen{colours::kOlive, 2, PenStyle::Solid};
  for (const auto& node : world.NodeList) {
    for (const LinkEntry& link : node->Links) {
      const TAgent& other = world.Node(static_cast<std::size_t>(link.OtherNode));
      canvas.Line(node->X, node->Y, other.X, other.Y);
    }
  }
}

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
  ClearAgentLayer(sim);
  DrawAllEdges(sim);
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
  PaintPotential(sim);
}

void ShowCandidateSitesView(Simulation& sim) {
  sim.map.Visible.Fine = false;
  ShowCandidateSites(sim);
}

}  // namespace veltmoor
