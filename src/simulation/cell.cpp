#include "simulation/cell.h"

namespace veltmoor {

void TCell::DrawCell(Canvas& canvas) const {
  canvas.pen.width = 0;
  canvas.pen.colour = Color;
  canvas.brush = Color;
  canvas.Rectangle(X - Size, Y - Size, X + Size, Y + Size);
}

}  // namespace veltmoor
