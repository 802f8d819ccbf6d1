// A canvas that has a size and draws nothing: fast headless runs need the layers' geometry
// but no pictures.
#pragma once

#include <memory>

#include "display/canvas.h"

namespace veltmoor {

class NullCanvas : public Canvas {
 public:
  NullCanvas(int width, int height);

  int Width() const override { return width_; }
  int Height() const override { return height_; }

  void Rectangle(int, int, int, int) override {}
  void FillRect(int, int, int, int) override {}
  void Ellipse(int, int, int, int) override {}
  void Line(int, int, int, int) override {}
  void TextOut(int, int, const std::string&) override {}
  Colour Pixel(int, int) const override { return 0; }

 private:
  int width_;
  int height_;
};

class NullCanvasFactory : public CanvasFactory {
 public:
  std::unique_ptr<Canvas> Create(int width, int height) override;
};

}  // namespace veltmoor
