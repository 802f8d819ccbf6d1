// Editing the world with the mouse on the drawing area, in panel pixels: a left click plants
// a node, a left drag lays a straight street, a right click develops one fine cell.
#pragma once

#include "simulation/simulation.h"

namespace veltmoor {

// Every button records the press; only left and right act on release.
enum class MouseButton { Left, Right, Other };

void Panel_PaintMouseDown(Simulation& sim, MouseButton button, int x, int y);
void Panel_PaintMouseUp(Simulation& sim, MouseButton button, int x, int y);

}  // namespace veltmoor
