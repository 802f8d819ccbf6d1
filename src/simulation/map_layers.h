// What the map panel shows of the world: the three picture layers, the node-number labels,
// the cells a mouse drag started and ended on, the drawing area's size and which layers
// show. It sits beside the World: NewSetup makes the layers with the world and ClearWorld
// frees them with it, so a world built without pictures (headless, in tests) still steps.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/canvas.h"
#include "simulation/cell.h"

namespace veltmoor {

struct World;

// A node-number label: drawn onto AgentImage at creation and kept here so a view can show
// the numbers above the node layer, the way separate label controls would sit.
struct NodeLabel {
  int Left = 0;
  int Top = 0;
  std::string Caption;
};

// Which layers the map panel shows. "show cell layer" governs MapImage and FineImage
// together; the view buttons show or hide FineImage, which covers MapImage while shown.
struct LayerVisibility {
  bool CellLayers = true;
  bool Fine = true;
  bool Agent = true;
};

// The grey a cell of this potential is shaded in.
Colour PotentialShade(float potential);
// Shades every coarse cell grey by its potential. The shade is the cell's Color, kept with
// the world, so a world without pictures takes the same colours; `changed` is told of each
// cell whose Color it altered.
void ShadeByPotential(World& world, const std::function<void(const TCell&)>& changed);

struct MapLayers {
  std::unique_ptr<Canvas> MapImage;
  std::unique_ptr<Canvas> FineImage;
  std::unique_ptr<Canvas> AgentImage;

  std::vector<NodeLabel> NodeLabelList;

  TCell* DragStartCell = nullptr;
  TCell* DragEndCell = nullptr;

  // Size of the drawing area Panel_Paint, which the front end keeps up to date.
  int PanelWidth = 611;
  int PanelHeight = 689;

  LayerVisibility Visible;

  // The map's size: MapImage's while there is one, else the drawing area's.
  int Width() const { return MapImage ? MapImage->Width() : PanelWidth; }
  int Height() const { return MapImage ? MapImage->Height() : PanelHeight; }

  // Paints a cell onto MapImage, or a fine cell onto FineImage, where that layer exists.
  void Draw(const World& world, const TCell& cell) const;
  void Draw(const World& world, const TFineCell& fine) const;

  // Makes MapImage and FineImage (white) and AgentImage (black, shown transparent) of the
  // drawing area's size, with the fine layer in sight.
  void CreateLayerImages(CanvasFactory& canvases);
  // Blacks out AgentImage, the streets and nodes drawn on it.
  void ClearAgentLayer() const;
  // Draws every street of the world onto AgentImage.
  void DrawAllEdges(const World& world) const;
  // Paints every cell, fine cell, node and street in the colours the world holds, as a
  // world read from a file is shown.
  void DrawWorld(const World& world) const;
  // Shades every coarse cell grey by its potential; the shade is the cell's Color, kept
  // with the world, so a world without pictures takes the same colours.
  void PaintPotential(World& world) const;

  // Frees the pictures and the labels, and lets go of the drag cells, which point into the
  // grids freed with them. The drawing area and what shows stay.
  void Clear();
};

}  // namespace veltmoor
