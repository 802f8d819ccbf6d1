// The map picture of a world of any size at a bounded size. It is drawn from the grids and
// the network in one pass, not from the layer images, so a large world needs none of its
// layers (12 bytes a drawing-area pixel) to be pictured: the picture's own 4 bytes a pixel
// are all it takes.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include "simulation/simulation.h"

namespace veltmoor {

// The longer side of a large world's picture unless a full-resolution one is asked for.
inline constexpr int kMapPictureSide = 4096;

// The size of the picture of a map of `width` x `height` pixels whose longer side is at
// most `longest`: the map's own size when it fits, else scaled down keeping its shape.
QSize MapPictureSize(int width, int height, int longest = kMapPictureSide);

// The map as ComposeMap shows it, scaled to `size`: each picture pixel takes the colour of
// the shown cell layer at its centre, as the layer would be painted; the streets and nodes
// are drawn over at the picture's scale, each at least a pixel; node numbers are left out.
// The PNG text "Scale" says how many map pixels a picture pixel stands for.
QImage DrawMapPicture(const Simulation& sim, QSize size);

// That picture as PNG. A picture of at most 256 colours, as flat cells almost always are, is
// turned into palette indices inside its own pixels and written with the palette: no second
// image is made, and a palette PNG encodes several times faster than one of RGB pixels.
QByteArray MapPicturePng(const Simulation& sim, QSize size);

}  // namespace veltmoor
