#include "display/null_canvas.h"

#include <algorithm>

namespace veltmoor {

NullCanvas::NullCanvas(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)) {}

std::unique_ptr<Canvas> NullCanvasFactory::Create(int width, int height) {
  return std::make_unique<NullCanvas>(width, height);
}

}  // namespace veltmoor
