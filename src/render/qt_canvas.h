// The canvas that paints real pixels: a QImage drawn with QPainter (QtGui only, so it works
// headless under the offscreen platform). Both front ends show and save these images.
#pragma once

#include <QColor>
#include <QImage>
#include <memory>
#include <string>

#include "display/canvas.h"

class QPainter;

namespace veltmoor {

QColor ToQColor(Colour colour);
Colour FromQRgb(QRgb rgb);

// Text needs a QGuiApplication for its fonts. Returns true when one exists, creating a
// process-wide one on first use if there is no application object at all (on the offscreen
// platform unless QT_QPA_PLATFORM names another). Call it from the main thread.
bool EnsureGuiApplication();

// Paints text with its top-left corner at (x, y) in the font's point size and colour; with
// a background colour the text's box is filled with it first. Returns the pixels it may
// have touched.
QRect PaintText(QPainter& painter, int x, int y, const std::string& text, const Font& font,
                const Colour* background);

class QtCanvas : public Canvas {
 public:
  QtCanvas(int width, int height);

  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }

  void Rectangle(int left, int top, int right, int bottom) override;
  void FillRect(int left, int top, int right, int bottom) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void Line(int x1, int y1, int x2, int y2) override;
  // Draws nothing when no QGuiApplication can be had (see EnsureGuiApplication).
  void TextOut(int x, int y, const std::string& text) override;
  Colour Pixel(int x, int y) const override;

  const QImage& Image() const { return image_; }

 private:
  // Solid fill of columns left..right-1 and rows top..bottom-1, clipped to the image.
  void FillBox(int left, int top, int right, int bottom, Colour colour);

  QImage image_;
};

class QtCanvasFactory : public CanvasFactory {
 public:
  std::unique_ptr<Canvas> Create(int width, int height) override;
};

}  // namespace veltmoor
