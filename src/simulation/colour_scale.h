// The colour scale of the node measures: the gradient bar drawn beside the map, the colour a
// measure takes on it, and the exponent that stretches the measures over it. A new world
// shows the bar and the scale, and an analysis colours its nodes from the same blend.
#pragma once

#include "display/canvas.h"

namespace veltmoor {

struct Simulation;

// Colour-gradient routine: direction 0 runs top to bottom, 1 left to right; other values
// draw nothing. Both edges are painted, the last row (or column) exactly in colour2.
void GradientFill(Canvas& canvas, Colour colour1, Colour colour2, int direction, int left, int top,
                  int right, int bottom);

// Paints the gradient bar (blue, cyan, lime, yellow, red from the top) onto ImageGradient.
void DrawGradientBar(Simulation& sim);
// Colour of the gradient bar at v in 0..1 (blue, cyan, lime, yellow, red), worked out from
// the same blend the bar is painted with. Values beyond the bar take its nearer end; NaN the
// top.
Colour GradientColourAt(double v);
// Reads TB_color and sets ColourExponent, Lbl_colScal and the top of Lbl_half.
void AdjustColourScale(Simulation& sim);

}  // namespace veltmoor
