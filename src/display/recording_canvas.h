// A canvas that keeps every drawing call with the pen, brush and font in force at the time,
// so tests can check what a layer was asked to paint without rasterising anything.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "display/canvas.h"

namespace veltmoor {

enum class CanvasCallKind { Rectangle, FillRect, Ellipse, Line, TextOut };

struct CanvasCall {
  CanvasCallKind kind = CanvasCallKind::Rectangle;
  // Box corners (left, top, right, bottom), line ends (x1, y1, x2, y2), or the text's
  // top-left corner in x1, y1.
  int x1 = 0;
  int y1 = 0;
  int x2 = 0;
  int y2 = 0;
  Pen pen;
  Colour brush = colours::kWhite;
  Font font;
  std::string text;
};

class RecordingCanvas : public Canvas {
 public:
  RecordingCanvas(int width, int height);

  int Width() const override { return width_; }
  int Height() const override { return height_; }

  void Rectangle(int left, int top, int right, int bottom) override;
  void FillRect(int left, int top, int right, int bottom) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void Line(int x1, int y1, int x2, int y2) override;
  void TextOut(int x, int y, const std::string& text) override;
  // Nothing is rasterised, so there is no pixel to read.
  Colour Pixel(int, int) const override { return 0; }

  const std::vector<CanvasCall>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

 private:
  void Record(CanvasCallKind kind, int x1, int y1, int x2, int y2, std::string text = {});

  int width_;
  int height_;
  std::vector<CanvasCall> calls_;
};

class RecordingCanvasFactory : public CanvasFactory {
 public:
  std::unique_ptr<Canvas> Create(int width, int height) override;
};

}  // namespace veltmoor
