// The drawing surface the map layers paint on. The core draws through this interface only;
// the Qt canvas paints real pixels, the null canvas skips drawing, the recording canvas
// keeps the calls for tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace veltmoor {

// Colours are 0x00BBGGRR: blue in the high byte of the three.
using Colour = std::uint32_t;

namespace colours {
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;
inline constexpr Colour kBlue = 0xFF0000;
inline constexpr Colour kYellow = 0x00FFFF;
inline constexpr Colour kLime = 0x00FF00;
inline constexpr Colour kRed = 0x0000FF;
inline constexpr Colour kCyan = 0xFFFF00;
inline constexpr Colour kGrey = 0x808080;
inline constexpr Colour kGreen = 0x008000;
inline constexpr Colour kOlive = 0x008080;
inline constexpr Colour kNavy = 0x800000;
inline constexpr Colour kLightGrey = 0xE5E5E5;
inline constexpr Colour kRedOrange = 0x4763FF;
}  // namespace colours

inline constexpr int RedOf(Colour c) {
  return static_cast<int>(c & 0xFF);
}
inline constexpr int GreenOf(Colour c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
inline constexpr int BlueOf(Colour c) {
  return static_cast<int>((c >> 16) & 0xFF);
}
inline constexpr Colour MakeColour(int red, int green, int blue) {
  return static_cast<Colour>(red) | (static_cast<Colour>(green) << 8) |
         (static_cast<Colour>(blue) << 16);
}

enum class PenStyle { Solid, InsideFrame, Clear };

struct Pen {
  Colour colour = colours::kBlack;
  int width = 1;  // 0 draws one pixel wide, like width 1
  PenStyle style = PenStyle::Solid;
};

struct Font {
  int size = 8;  // points
  Colour colour = colours::kBlack;
};

// A box of pixels, right and bottom exclusive; empty when it covers no pixel.
struct PixelBox {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  bool Empty() const { return left >= right || top >= bottom; }
  // The smallest box holding both; an empty box adds nothing.
  PixelBox United(const PixelBox& other) const;
};

class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  Pen pen;
  Colour brush = colours::kWhite;
  Font font;

  // Filled with the brush and outlined with the pen; right and bottom edges exclusive, so
  // Rectangle(0, 0, 24, 24) covers 24 x 24 pixels.
  virtual void Rectangle(int left, int top, int right, int bottom) = 0;
  // Filled with the brush only, right and bottom edges exclusive.
  virtual void FillRect(int left, int top, int right, int bottom) = 0;
  // Ellipse inside the box (right and bottom exclusive), filled with the brush, pen outline.
  virtual void Ellipse(int left, int top, int right, int bottom) = 0;
  // Line with the pen from (x1, y1) to (x2, y2).
  virtual void Line(int x1, int y1, int x2, int y2) = 0;
  // Text in the font's size and colour, its top-left corner at (x, y), on a brush-coloured box.
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  // The colour at a pixel; 0 outside the canvas or where nothing is stored.
  virtual Colour Pixel(int x, int y) const = 0;

  // Counts drawing calls so a view repaints a layer only when it changed.
  std::uint64_t ChangeCount() const { return changes_; }
  // The pixels drawn on since the last call, so a view of a large map repaints what
  // changed instead of the whole picture. Only the one view that shows the layer asks.
  PixelBox TakeChangedBox();

 protected:
  // A drawing call whose extent is unknown: the whole canvas counts as changed.
  void Touch();
  void Touch(const PixelBox& drawn);

 private:
  std::uint64_t changes_ = 0;
  PixelBox changed_;
};

class CanvasFactory {
 public:
  virtual ~CanvasFactory() = default;
  virtual std::unique_ptr<Canvas> Create(int width, int height) = 0;
};

}  // namespace veltmoor
