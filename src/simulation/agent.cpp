#include "simulation/agent.h"

namespace veltmoor {

void TAgent::DrawNode(Canvas& canvas) const {
  canvas.pen.colour = colours::kGreen;
  canvas.pen.style = PenStyle::Solid;
  canvas.brush = Color;
  canvas.Ellipse(X - Radius, Y - Radius, X + Radius, Y + Radius);
}

}  // namespace veltmoor
