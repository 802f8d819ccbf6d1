// Towns made in the test through GDAL come in as the expected land, nodes and streets.
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <numbers>
#include <set>

#include "geo/gdal_support.h"
#include "geo/gis_import.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

constexpr double kLeft = 500000.0;
constexpr double kTop = 4100300.0;
constexpr int kSide = 30;  // pixels of 10 m: 10 x 10 coarse cells of 30 m

class GisImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGdal();
    utm_.importFromEPSG(32633);
    utm_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  }

  // A 30 x 30 GeoTIFF whose pixels hold `value(column, row)`; 255 is nodata.
  std::string Raster(const std::function<int(int, int)>& value) {
    const std::string path = folder_.Path("land.tif");
    GDALDriver* tiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    DatasetPtr raster(tiff->Create(path.c_str(), kSide, kSide, 1, GDT_Byte, nullptr));
    double transform[6] = {kLeft, 10.0, 0.0, kTop, 0.0, -10.0};
    raster->SetGeoTransform(transform);
    raster->SetSpatialRef(&utm_);
    raster->GetRasterBand(1)->SetNoDataValue(255);
    std::vector<std::uint8_t> pixels;
    for (int r = 0; r < kSide; ++r) {
      for (int c = 0; c < kSide; ++c) {
        pixels.push_back(static_cast<std::uint8_t>(value(c, r)));
      }
    }
    EXPECT_EQ(raster->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, kSide, kSide, pixels.data(), kSide,
                                                 kSide, GDT_Byte, 0, 0, nullptr),
              CE_None);
    return path;
  }

  // A GeoPackage with one line layer; each line is a list of map points.
  std::string Streets(const std::vector<std::vector<std::pair<double, double>>>& lines) {
    const std::string path = folder_.Path("streets.gpkg");
    GDALDriver* gpkg = GetGDALDriverManager()->GetDriverByName("GPKG");
    DatasetPtr vector(gpkg->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* layer = vector->CreateLayer("roads", &utm_, wkbLineString, nullptr);
    for (const auto& points : lines) {
      OGRFeature feature(layer->GetLayerDefn());
      OGRLineString line;
      for (const auto& [x, y] : points) {
        line.addPoint(x, y);
      }
      feature.SetGeometry(&line);
      EXPECT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
    return path;
  }

  // The map point at the centre of coarse cell (column, row).
  static std::pair<double, double> Centre(double column, double row) {
    return {kLeft + 30.0 * column + 15.0, kTop - 30.0 * row - 15.0};
  }

  ImportCounts Import(ImportOptions options) {
    TownImport town(std::move(options));
    t_.settings.Set(setting::kCellScale, "24");
    t_.settings.Set(setting::kCenterNode, "0");
    return town.BuildInto(t_.sim);
  }

  OGRSpatialReference utm_;
  MemoryFolder folder_;
  testing::TestSimulation t_;
};

TEST_F(GisImportTest, KnownMaskGivesExactDevelopedCounts) {
  // Developed (7) in the left half of every row divisible by 3, nodata in the last column.
  const auto value = [](int c, int r) {
    return c == kSide - 1 ? 255 : (r % 3 == 0 && c < 15 ? 7 : 1);
  };
  ImportOptions options;
  options.landuse = Raster(value);
  options.developed_values = {7, 255};  // nodata is free land even when listed
  const ImportCounts counts = Import(options);
  const World& world = t_.world();
  ASSERT_EQ(world.ColumnCount, 10);
  ASSERT_EQ(world.RowCount, 10);
  EXPECT_EQ(counts.developed_cells, 10 * 15);
  for (int c = 0; c < 10; ++c) {
    for (int r = 0; r < 10; ++r) {
      EXPECT_EQ(world.CellGrid(c, r).DevelopedCount, c < 5 ? 3 : 0) << c << "," << r;
    }
  }
  EXPECT_EQ(world.FineGrid(3, 3).LandUse, kLandDeveloped);
  EXPECT_EQ(world.FineGrid(3, 4).LandUse, kLandFree);
}

TEST_F(GisImportTest, CoarserFineCellsAreDevelopedFromHalfTheirArea) {
  // 20 m fine cells average 2 x 2 pixels: columns 0-1 fully, 2-3 half, 4-5 a quarter.
  const auto value = [](int c, int r) {
    return c < 2 || (c < 4 && c % 2 == 0) || (c < 6 && c % 2 == 0 && r % 2 == 0) ? 7 : 0;
  };
  ImportOptions options;
  options.landuse = Raster(value);
  options.developed_above = 5;
  options.fine_cell = 20.0;
  Import(options);
  const World& world = t_.world();
  ASSERT_EQ(world.ColumnCount, 5);
  for (int r = 0; r < 15; ++r) {
    EXPECT_EQ(world.FineGrid(0, r).LandUse, kLandDeveloped);
    EXPECT_EQ(world.FineGrid(1, r).LandUse, kLandDeveloped);
    EXPECT_EQ(world.FineGrid(2, r).LandUse, kLandFree);
  }
}

TEST_F(GisImportTest, TJunctionBecomesFourNodesThreeStreets) {
  ImportOptions options;
  options.landuse = Raster([](int c, int) { return c == 0 ? 7 : 0; });
  options.developed_values = {7};
  options.streets = Streets({{Centre(1, 5), Centre(8, 5)}, {Centre(5, 5), Centre(5, 9)}});
  const ImportCounts counts = Import(options);
  const World& world = t_.world();
  EXPECT_EQ(counts.lines_read, 2);
  EXPECT_EQ(counts.lines_clipped, 0);
  EXPECT_EQ(counts.nodes_made, 4);
  std::set<std::pair<int, int>> cells;
  for (const auto& node : world.NodeList) {
    cells.insert({node->Column, node->Row});
  }
  EXPECT_EQ(cells, (std::set<std::pair<int, int>>{{1, 5}, {5, 5}, {8, 5}, {5, 9}}));
  EXPECT_EQ(world.EdgeCount, 3u);
  EXPECT_EQ(world.Node(static_cast<std::size_t>(world.CellGrid(5, 5).NodeIndex)).Links.size(), 3u);
  int streets = 0;
  for (const TFineCell& fine : world.FineGrid.Cells()) {
    streets += fine.LandUse == kLandStreet ? 1 : 0;
  }
  EXPECT_EQ(streets, (25 - 4 + 1) + (28 - 16 + 1) - 1);
  for (int c = 4; c <= 25; ++c) {
    EXPECT_EQ(world.FineGrid(c, 16).LandUse, kLandStreet) << c;
  }
}

TEST_F(GisImportTest, CurvedRoadKeepsItsShapeAndIsClipped) {
  // A quarter circle of radius 6 cells around cell (1, 8), running out of the box.
  std::vector<std::pair<double, double>> arc;
  for (int i = 0; i <= 60; ++i) {
    const double a = std::numbers::pi / 2 * i / 60.0;
    arc.push_back(Centre(1 + 6 * std::cos(a), 8 - 6 * std::sin(a)));
  }
  arc.push_back(Centre(1, -5));
  ImportOptions options;
  options.landuse = Raster([](int c, int) { return c == 0 ? 7 : 0; });
  options.developed_values = {7};
  options.streets = Streets({arc});
  const ImportCounts counts = Import(options);
  const World& world = t_.world();
  EXPECT_EQ(counts.lines_clipped, 1);
  EXPECT_GE(counts.nodes_made, 4);
  EXPECT_LE(counts.nodes_made, 8);
  EXPECT_EQ(world.EdgeCount, static_cast<std::uint32_t>(counts.nodes_made - 1));
  for (const auto& node : world.NodeList) {
    const double d = std::hypot(node->Column - 1.0, node->Row - 8.0);
    EXPECT_TRUE(std::abs(d - 6.0) < 1.5 || node->Column == 1) << node->Column << "," << node->Row;
  }
  EXPECT_EQ(world.CellGrid(7, 8).State, kStateNode);
}

TEST_F(GisImportTest, BadInputsAreRefused) {
  const std::string land = Raster([](int, int) { return 0; });
  ImportOptions missing;
  missing.landuse = folder_.Path("nothing.tif");
  missing.developed_values = {7};
  EXPECT_THROW(TownImport{missing}, ImportError);
  ImportOptions band = missing;
  band.landuse = land;
  band.band = 2;
  EXPECT_THROW(TownImport{band}, ImportError);
  ImportOptions box = band;
  box.band = 1;
  box.bbox = std::array<double, 4>{0, 0, 10, 10};
  EXPECT_THROW(TownImport{box}, ImportError);
  ImportOptions huge = band;
  huge.band = 1;
  huge.fine_cell = 0.001;
  EXPECT_THROW(TownImport{huge}, ImportError);
  ImportOptions empty = huge;
  empty.fine_cell.reset();
  EXPECT_THROW(Import(empty), ImportError);  // no developed pixel
}

}  // namespace
}  // namespace veltmoor
