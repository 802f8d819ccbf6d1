#include "display/recording_canvas.h"

#include <algorithm>
#include <utility>

namespace veltmoor {

RecordingCanvas::RecordingCanvas(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)) {}

void RecordingCanvas::Record(CanvasCallKind kind, int x1, int y1, int x2, int y2,
                             std::string text) {
  calls_.push_back(CanvasCall{kind, x1, y1, x2, y2, pen, brush, font, std::move(text)});
  Touch();
}

void RecordingCanvas::Rectangle(int left, int top, int right, int bottom) {
  Record(CanvasCallKind::Rectangle, left, top, right, bottom);
}

void RecordingCanvas::FillRect(int left, int top, int right, int bottom) {
  Record(CanvasCallKind::FillRect, left, top, right, bottom);
}

void RecordingCanvas::Ellipse(int left, int top, int right, int bottom) {
  Record(CanvasCallKind::Ellipse, left, top, right, bottom);
}

void RecordingCanvas::Line(int x1, int y1, int x2, int y2) {
  Record(CanvasCallKind::Line, x1, y1, x2, y2);
}

void RecordingCanvas::TextOut(int x, int y, const std::string& text) {
  Record(CanvasCallKind::TextOut, x, y, 0, 0, text);
}

std::unique_ptr<Canvas> RecordingCanvasFactory::Create(int width, int height) {
  return std::make_unique<RecordingCanvas>(width, height);
}

}  // namespace veltmoor
