#include "render/qt_canvas.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "simulation/numbers.h"
#include "support/test_world.h"
#include "views/layers.h"

namespace veltmoor {
namespace {

struct Bounds {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
};

Bounds PaintedBounds(const QtCanvas& canvas, Colour background) {
  Bounds b;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      if (canvas.Pixel(x, y) != background) {
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x);
        b.bottom = std::max(b.bottom, y);
      }
    }
  }
  return b;
}

TEST(QtCanvasTest, ColoursKeepRedInTheLowByte) {
  QtCanvas canvas(4, 4);
  canvas.brush = colours::kRed;
  canvas.FillRect(0, 0, 2, 2);
  EXPECT_EQ(canvas.Image().pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(canvas.Pixel(1, 1), colours::kRed);
  EXPECT_EQ(canvas.Pixel(2, 2), colours::kWhite);
  EXPECT_EQ(canvas.Pixel(4, 0), 0u);
  EXPECT_EQ(canvas.Pixel(-1, 0), 0u);
  EXPECT_EQ(FromQRgb(ToQColor(colours::kRedOrange).rgb()), colours::kRedOrange);
}

TEST(QtCanvasTest, RectangleCoversRightAndBottomExclusive) {
  QtCanvas canvas(40, 40);
  canvas.pen = Pen{colours::kBlue, 0, PenStyle::Solid};
  canvas.brush = colours::kBlue;
  canvas.Rectangle(2, 3, 26, 27);
  const Bounds b = PaintedBounds(canvas, colours::kWhite);
  EXPECT_EQ(b.left, 2);
  EXPECT_EQ(b.top, 3);
  EXPECT_EQ(b.right, 25);
  EXPECT_EQ(b.bottom, 26);

  // A pen of another colour frames the box from inside.
  canvas.pen = Pen{colours::kGreen, 2, PenStyle::Solid};
  canvas.brush = colours::kYellow;
  canvas.Rectangle(30, 30, 38, 38);
  EXPECT_EQ(canvas.Pixel(30, 30), colours::kGreen);
  EXPECT_EQ(canvas.Pixel(31, 34), colours::kGreen);
  EXPECT_EQ(canvas.Pixel(37, 37), colours::kGreen);
  EXPECT_EQ(canvas.Pixel(32, 32), colours::kYellow);
  EXPECT_EQ(canvas.Pixel(38, 34), colours::kWhite);
  EXPECT_EQ(canvas.Pixel(29, 34), colours::kWhite);
}

TEST(QtCanvasTest, EllipseStaysInsideItsBox) {
  for (int penWidth : {0, 1, 2, 3}) {
    QtCanvas canvas(30, 30);
    canvas.pen = Pen{colours::kGreen, penWidth, PenStyle::Solid};
    canvas.brush = colours::kGrey;
    canvas.Ellipse(5, 6, 15, 16);
    const Bounds b = PaintedBounds(canvas, colours::kWhite);
    EXPECT_EQ(b.left, 5) << penWidth;
    EXPECT_EQ(b.top, 6) << penWidth;
    EXPECT_EQ(b.right, 14) << penWidth;
    EXPECT_EQ(b.bottom, 15) << penWidth;
    EXPECT_EQ(canvas.Pixel(10, 11), colours::kGrey);
    EXPECT_EQ(canvas.Pixel(5, 11), colours::kGreen);
  }
}

TEST(QtCanvasTest, LinesAndTextUseThePenAndFont) {
  QtCanvas canvas(60, 40);
  canvas.pen = Pen{colours::kOlive, 2, PenStyle::Solid};
  canvas.Line(2, 5, 40, 5);
  EXPECT_EQ(canvas.Pixel(20, 5), colours::kOlive);
  EXPECT_EQ(canvas.Pixel(20, 9), colours::kWhite);

  canvas.brush = colours::kBlack;
  canvas.font = Font{6, colours::kNavy};
  canvas.TextOut(10, 20, "12");
  int navy = 0;
  int black = 0;
  for (int y = 20; y < 40; ++y) {
    for (int x = 10; x < 60; ++x) {
      navy += canvas.Pixel(x, y) == colours::kNavy;
      black += canvas.Pixel(x, y) == colours::kBlack;
    }
  }
  EXPECT_GT(navy, 0);
  EXPECT_GT(black, 0);
  EXPECT_EQ(canvas.Pixel(9, 25), colours::kWhite);
  EXPECT_GT(canvas.ChangeCount(), 0u);
}

// Every pixel a drawing call changed lies in the box the canvas reports, and taking the
// box clears it: a map view that repaints only that box never misses a change.
TEST(QtCanvasTest, ChangedBoxHoldsEveryChangedPixel) {
  QtCanvas canvas(80, 60);
  canvas.font = Font{6, colours::kNavy};
  canvas.brush = colours::kYellow;
  const std::vector<std::function<void()>> calls = {
      [&] { canvas.Rectangle(3, 4, 20, 9); },
      [&] { canvas.Ellipse(30, 30, 42, 41); },
      [&] {
        canvas.pen = Pen{colours::kOlive, 3, PenStyle::Solid};
        canvas.Line(70, 5, 50, 50);
      },
      [&] { canvas.TextOut(55, 44, "1234"); },
      [&] { canvas.FillRect(-5, -5, 2, 2); },
  };
  for (std::size_t i = 0; i < calls.size(); ++i) {
    canvas.TakeChangedBox();
    const QImage before = canvas.Image();
    calls[i]();
    const PixelBox box = canvas.TakeChangedBox();
    int changed = 0;
    for (int y = 0; y < canvas.Height(); ++y) {
      for (int x = 0; x < canvas.Width(); ++x) {
        if (canvas.Image().pixel(x, y) != before.pixel(x, y)) {
          ++changed;
          EXPECT_TRUE(x >= box.left && x < box.right && y >= box.top && y < box.bottom)
              << "call " << i << " changed " << x << "," << y << " outside its box";
        }
      }
    }
    EXPECT_GT(changed, 0) << i;
    EXPECT_GE(box.left, 0) << i;  // clipped to the canvas
    EXPECT_TRUE(canvas.TakeChangedBox().Empty()) << i;
  }
}

class QtLayersTest : public ::testing::Test {
 protected:
  testing::TestSimulation t{std::make_unique<QtCanvasFactory>()};
  Simulation& sim = t.sim;

  const QtCanvas& Fine() const { return dynamic_cast<const QtCanvas&>(*sim.map.FineImage); }
  void DevelopEverything(int cellSize, int columns, int rows) {
    sim.map.PanelWidth = columns * cellSize + 4;
    sim.map.PanelHeight = rows * cellSize + 4;
    sim.map.CreateLayerImages(sim.canvases);
    testing::BuildGrids(sim.world, cellSize, columns, rows);
    for (TFineCell& fine : sim.world.FineGrid.Cells()) {
      fine.LandUse = kLandDeveloped;
    }
    ShowLandUse(sim);
  }
};

TEST_F(QtLayersTest, FineCellsTileSize24AndLeaveGapsAtSize20) {
  DevelopEverything(24, 3, 2);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 72; ++x) {
      ASSERT_EQ(Fine().Pixel(x, y), colours::kBlue) << x << "," << y;
    }
  }
  EXPECT_EQ(Fine().Pixel(72, 10), colours::kWhite);  // margin right of the last cell

  DevelopEverything(20, 2, 1);
  for (int x : {6, 13, 20 + 6, 20 + 13}) {
    EXPECT_EQ(Fine().Pixel(x, 2), colours::kWhite) << x;
  }
  for (int x : {0, 5, 7, 12, 14, 19, 20}) {
    EXPECT_EQ(Fine().Pixel(x, 2), colours::kBlue) << x;
  }
}

TEST_F(QtLayersTest, GradientColourAtMatchesThePaintedBar) {
  DrawGradientBar(sim);
  const Canvas& bar = *sim.ImageGradient;
  EXPECT_EQ(bar.Pixel(1, 160), colours::kRed);
  EXPECT_EQ(bar.Pixel(34, 0), colours::kBlue);
  for (int i = 0; i <= 1000; ++i) {
    const double v = i / 1000.0;
    const int row = RoundToInt(160 * v);
    ASSERT_EQ(GradientColourAt(v), bar.Pixel(1, row)) << v;
  }
}

}  // namespace
}  // namespace veltmoor
