#include "display/canvas.h"

#include <algorithm>
#include <limits>

namespace veltmoor {

PixelBox PixelBox::United(const PixelBox& other) const {
  if (other.Empty()) {
    return *this;
  }
  if (Empty()) {
    return other;
  }
  return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
          std::max(bottom, other.bottom)};
}

PixelBox Canvas::TakeChangedBox() {
  const PixelBox canvas{0, 0, Width(), Height()};
  PixelBox taken = changed_;
  changed_ = {};
  // Clipped to the canvas: drawing calls may reach past its edges.
  taken.left = std::max(taken.left, canvas.left);
  taken.top = std::max(taken.top, canvas.top);
  taken.right = std::min(taken.right, canvas.right);
  taken.bottom = std::min(taken.bottom, canvas.bottom);
  return taken.Empty() ? PixelBox{} : taken;
}

void Canvas::Touch() {
  Touch({std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::min() / 2,
         std::numeric_limits<int>::max() / 2, std::numeric_limits<int>::max() / 2});
}

void Canvas::Touch(const PixelBox& drawn) {
  ++changes_;
  changed_ = changed_.United(drawn);
}

}  // namespace veltmoor
