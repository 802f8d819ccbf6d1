#include "simulation/map_layers.h"

#include "simulation/numbers.h"
#include "simulation/world.h"

namespace veltmoor {

void MapLayers::Draw(const World& world, const TCell& cell) const {
  if (MapImage) {
    world.DrawCell(*MapImage, cell);
  }
}

void MapLayers::Draw(const World& world, const TFineCell& fine) const {
  if (FineImage) {
    world.DrawCell(*FineImage, fine);
  }
}

Colour PotentialShade(float potential) {
  // 85 for no potential up to 255 for full potential.
  const int grey = RoundToInt((static_cast<double>(potential) + 0.5) * 170.0) % 256;
  return static_cast<Colour>(grey) * 0x010101u;
}

void MapLayers::CreateLayerImages(CanvasFactory& canvases) {
  const int width = PanelWidth;
  const int height = PanelHeight;
  auto whiteLayer = [&canvases, width, height] {
    std::unique_ptr<Canvas> layer = canvases.Create(width, height);
    layer->pen = Pen{colours::kWhite, 1, PenStyle::Solid};
    layer->brush = colours::kWhite;
    layer->Rectangle(0, 0, layer->Width(), layer->Height());
    return layer;
  };
  MapImage = whiteLayer();
  FineImage = whiteLayer();
  AgentImage = canvases.Create(MapImage->Width(), MapImage->Height());
  AgentImage->brush = colours::kBlack;
  AgentImage->FillRect(0, 0, AgentImage->Width(), AgentImage->Height());
  // A view that hid the fine layer ("pot. field", "cand. sites") painted the old world; the
  // new one starts with its streets and land in sight.
  Visible.Fine = true;
}

void MapLayers::ClearAgentLayer() const {
  if (!AgentImage || !MapImage) {
    return;
  }
  Canvas& canvas = *AgentImage;
  canvas.brush = colours::kBlack;
  canvas.pen.colour = colours::kBlack;
  canvas.pen.width = 1;
  canvas.FillRect(0, 0, MapImage->Width(), MapImage->Height());
}

void MapLayers::DrawAllEdges(const World& world) const {
  if (!AgentImage) {
    return;
  }
  Canvas& canvas = *AgentImage;
  canvas.pen = Pen{colours::kOlive, 2, PenStyle::Solid};
  for (const auto& node : world.NodeList) {
    for (const LinkEntry& link : node->Links) {
      const TAgent& other = world.Node(static_cast<std::size_t>(link.OtherNode));
      canvas.Line(node->X, node->Y, other.X, other.Y);
    }
  }
}

void MapLayers::DrawWorld(const World& world) const {
  if (MapImage) {
    for (const TCell& cell : world.CellGrid.Cells()) {
      world.DrawCell(*MapImage, cell);
    }
  }
  if (FineImage) {
    for (const TFineCell& cell : world.FineGrid.Cells()) {
      world.DrawCell(*FineImage, cell);
    }
  }
  ClearAgentLayer();
  if (AgentImage) {
    AgentImage->pen.width = 1;
    for (const auto& node : world.NodeList) {
      node->DrawNode(*AgentImage);
    }
  }
  DrawAllEdges(world);
}

void ShadeByPotential(World& world, const std::function<void(const TCell&)>& changed) {
  for (int r = 0; r < world.RowCount; ++r) {
    for (int c = 0; c < world.ColumnCount; ++c) {
      TCell& cell = world.CellGrid(c, r);
      const Colour shade = PotentialShade(cell.Potential);
      // Every change of a cell's Color is drawn at once, so a cell already in its shade
      // shows it on MapImage; the step paints g times with mostly unchanged potentials.
      if (cell.Color == shade) {
        continue;
      }
      cell.Color = shade;
      changed(cell);
    }
  }
}

void MapLayers::PaintPotential(World& world) const {
  ShadeByPotential(world, [this, &world](const TCell& cell) { Draw(world, cell); });
}

void MapLayers::Clear() {
  NodeLabelList.clear();
  MapImage.reset();
  AgentImage.reset();
  FineImage.reset();
  DragStartCell = nullptr;
  DragEndCell = nullptr;
}

}  // namespace veltmoor
