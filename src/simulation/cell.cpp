#include "simulation/cell.h"

namespace veltmoor {

void DrawCellSquare(Canvas& canvas, Colour colour, int x, int y, int size) {
  canvas.pen.width = 0;
  canvas.pen.colour = colour;
  canvas.brush = colour;
  canvas.Rectangle(x - size, y - size, x + size, y + size);
}

}  // namespace veltmoor
