#include "render/map_picture.h"

#include <gtest/gtest.h>

#include "growth/potential_field.h"
#include "growth/street_growth.h"
#include "render/composite.h"
#include "render/qt_canvas.h"
#include "simulation/node_creation.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

// A new world on Qt canvases with developed fine cells in its left half and one cell of the
// coarse layer coloured, without a network.
void BuildTown(testing::TestSimulation& t, int cell_size) {
  t.settings.Set(setting::kCellScale, std::to_string(cell_size));
  t.settings.Set(setting::kCenterNode, "0");
  NewSetup(t.sim);
  World& world = t.world();
  for (int r = 0; r < 3 * world.RowCount; ++r) {
    for (int c = 0; c < 3 * world.ColumnCount / 2; ++c) {
      if ((c + r) % 4 != 0) {
        Develop(t.sim.Growth(), world.FineGrid(c, r));
      }
    }
  }
  world.CellGrid(1, 2).Color = colours::kRedOrange;
  t.sim.map.Draw(world, world.CellGrid(1, 2));
}

TEST(MapPictureTest, AtFullSizeTheCellLayersAreComposeMapsPixels) {
  // Odd cell sizes leave gaps between the painted squares; those must stay white too.
  for (const int cell_size : {24, 9, 7, 3}) {
    SCOPED_TRACE(cell_size);
    testing::TestSimulation t(101, 80, std::make_unique<QtCanvasFactory>());
    BuildTown(t, cell_size);
    for (const bool fine : {true, false}) {
      t.sim.map.Visible.Fine = fine;
      const QImage drawn = DrawMapPicture(t.sim, QSize(101, 80));
      EXPECT_TRUE(drawn == ComposeMap(t.sim)) << "fine layer shown: " << fine;
    }
  }
}

TEST(MapPictureTest, LargeWorldIsBoundedAndKeepsItsShapeAndStreets) {
  EXPECT_EQ(MapPictureSize(611, 689), QSize(611, 689));
  EXPECT_EQ(MapPictureSize(48000, 36000), QSize(4096, 3072));
  EXPECT_EQ(MapPictureSize(20000, 3), QSize(4096, 1));

  // No layer images: the picture comes from the grids alone.
  testing::TestSimulation t(1200, 600);
  BuildTown(t, 6);
  World& world = t.world();
  TAgent& a = CreateNode(t.sim.Growth(), world.CellGrid(150, 50));
  TAgent& b = CreateNode(t.sim.Growth(), world.CellGrid(190, 50));
  LinkNodes(t.sim.Growth(), a, b);
  const QSize size = MapPictureSize(1200, 600, 120);
  const QImage picture = DrawMapPicture(t.sim, size);
  ASSERT_EQ(picture.size(), QSize(120, 60));
  EXPECT_EQ(picture.sizeInBytes(), 4 * 120 * 60);
  EXPECT_FALSE(picture.text(QStringLiteral("Scale")).isEmpty());
  int blueLeft = 0;
  int blueRight = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const bool blue = FromQRgb(picture.pixel(x, y)) == colours::kBlue;
      (x < 60 ? blueLeft : blueRight) += blue ? 1 : 0;
    }
  }
  // Three of four fine cells developed in the left half, none in the right.
  EXPECT_NEAR(blueLeft, 0.75 * 60 * 60, 0.1 * 60 * 60);
  EXPECT_EQ(blueRight, 0);
  // The street between the two nodes, 15 to 19 cells of 6 px, at a tenth of the size.
  EXPECT_EQ(FromQRgb(picture.pixel(95, 30)), colours::kOlive);
  EXPECT_EQ(FromQRgb(picture.pixel(90, 30)), colours::kGrey);

  // Its PNG, written with a palette, holds the same pixels.
  QImage png;
  ASSERT_TRUE(png.loadFromData(MapPicturePng(t.sim, size), "PNG"));
  EXPECT_EQ(png.format(), QImage::Format_Indexed8);
  EXPECT_TRUE(png.convertToFormat(QImage::Format_RGB32) == picture);
}

TEST(MapPictureTest, PictureOfManyColoursIsWrittenInThem) {
  // 300 shades on the coarse layer: more than a palette holds.
  testing::TestSimulation t(600, 6);
  t.settings.Set(setting::kCellScale, "2");
  t.settings.Set(setting::kCenterNode, "0");
  NewSetup(t.sim);
  t.sim.map.Visible.Fine = false;
  for (int c = 0; c < t.world().ColumnCount; ++c) {
    for (int r = 0; r < t.world().RowCount; ++r) {
      t.world().CellGrid(c, r).Color = MakeColour(c % 256, c / 256, 7);
    }
  }
  const QImage picture = DrawMapPicture(t.sim, QSize(600, 6));
  ASSERT_EQ(FromQRgb(picture.pixel(599, 0)), MakeColour(299 % 256, 1, 7));
  QImage png;
  ASSERT_TRUE(png.loadFromData(MapPicturePng(t.sim, QSize(600, 6)), "PNG"));
  EXPECT_TRUE(png.convertToFormat(QImage::Format_RGB32) == picture);
}

}  // namespace
}  // namespace veltmoor
