// The picture of the map panel as the user sees it: the visible layers stacked in order and
// the node numbers on top. Both front ends show and save the map through this one function.
#pragma once

#include <QImage>
#include <QRect>

#include "simulation/simulation.h"

namespace veltmoor {

// A white image of the panel's size; the cell layer, the fine layer while shown, the node
// layer with its black left see-through, then the node-number labels. Layers that are not
// Qt canvases (a null canvas in a fast run) contribute nothing.
QImage ComposeMap(const Simulation& sim);
// The part of that picture inside region (panel pixels, clipped to the panel), so a view
// of a large map repaints only what changed or scrolled into sight.
QImage ComposeMap(const Simulation& sim, const QRect& region);

}  // namespace veltmoor
