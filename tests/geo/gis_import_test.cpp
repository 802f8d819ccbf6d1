// Towns made in the test through GDAL come in as the expected land, nodes and streets.
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cpl_vsi.h>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <numbers>
#include <set>

#include "geo/gdal_support.h"
#include "geo/gis_export.h"
#include "geo/gis_import.h"
#include "simulation/setup.h"
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

  // A 30 x 30 GeoTIFF whose pixels hold `value(column, row)`; 255 is nodata. Its top-left
  // corner lies `shift` metres east and south of (kLeft, kTop).
  std::string Raster(const std::function<int(int, int)>& value, double shift = 0.0) {
    const std::string path = folder_.Path("land.tif");
    GDALDriver* tiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    DatasetPtr raster(tiff->Create(path.c_str(), kSide, kSide, 1, GDT_Byte, nullptr));
    double transform[6] = {kLeft + shift, 10.0, 0.0, kTop - shift, 0.0, -10.0};
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

  ImportCounts Import(ImportOptions options) { return ImportInto(std::move(options), t_); }

  static ImportCounts ImportInto(ImportOptions options, testing::TestSimulation& t) {
    TownImport town(std::move(options));
    t.settings.Set(setting::kCellScale, std::to_string(town.CellSize()));
    t.settings.Set(setting::kCenterNode, "0");
    return town.BuildInto(t.sim);
  }

  // The message of the ImportError that importing with `options` raises.
  static std::string Refusal(const ImportOptions& options) {
    try {
      TownImport town(options);
      testing::TestSimulation t;
      ImportInto(options, t);
    } catch (const ImportError& e) {
      return e.what();
    }
    return "(accepted)";
  }

  OGRSpatialReference utm_;
  MemoryFolder folder_;
  testing::TestSimulation t_;
};

// A pattern with no structure the averaging could hide: pixel (c, r) is developed (7) or not.
bool Scattered(int c, int r) {
  return (c * 7 + r * 3) % 5 < 2;
}
int ScatteredValue(int c, int r) {
  return Scattered(c, r) ? 7 : 0;
}

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

TEST_F(GisImportTest, OriginAHairOffThePixelGridSnapsToIt) {
  // The raster's corner lies a micrometre off the round coordinates the box is given in, as
  // real files' corners do: the box's edges are the edges of pixels 10 and 25 all the same.
  ImportOptions options;
  options.landuse = Raster(ScatteredValue, 1e-6);
  options.developed_values = {7};
  options.bbox = std::array<double, 4>{kLeft + 100, kTop - 250, kLeft + 250, kTop - 100};
  Import(options);
  const World& world = t_.world();
  ASSERT_EQ(world.ColumnCount, 5);
  ASSERT_EQ(world.RowCount, 5);
  for (int r = 0; r < 15; ++r) {
    for (int c = 0; c < 15; ++c) {
      EXPECT_EQ(world.FineGrid(c, r).LandUse == kLandDeveloped, Scattered(c + 10, r + 10))
          << c << "," << r;
    }
  }
}

// The world's corner is the box's north-west corner, whatever the box cuts off in the east
// and south to make whole cells; exported again, its land lies on the source pixels.
TEST_F(GisImportTest, ReferenceIsTheBoxsNorthWestCornerAndExportsOntoTheSourcePixels) {
  ImportOptions options;
  options.landuse = Raster(ScatteredValue);
  options.developed_values = {7};
  // 17 x 16 pixels: 15 x 15 fine cells stay, two columns and a row are cut.
  options.bbox = std::array<double, 4>{kLeft + 100, kTop - 250, kLeft + 270, kTop - 90};
  options.cell_size = 7;
  TownImport town(options);
  EXPECT_DOUBLE_EQ(town.Reference().origin_x, kLeft + 100);
  EXPECT_DOUBLE_EQ(town.Reference().origin_y, kTop - 90);
  EXPECT_DOUBLE_EQ(town.Reference().fine_cell_size, 10.0);
  EXPECT_TRUE(OGRSpatialReference(town.Reference().crs_wkt.c_str()).IsSame(&utm_));
  t_.settings.Set(setting::kCellScale, std::to_string(town.CellSize()));
  t_.settings.Set(setting::kCenterNode, "0");
  town.BuildInto(t_.sim);

  const auto files = GisFiles(t_.sim, town.Reference());
  const auto land = std::find_if(files.begin(), files.end(),
                                 [](const auto& file) { return file.first == "landuse.tif"; });
  ASSERT_NE(land, files.end());
  const std::string path = folder_.Path("exported.tif");
  VSILFILE* f = VSIFOpenL(path.c_str(), "wb");
  VSIFWriteL(land->second.data(), 1, land->second.size(), f);
  VSIFCloseL(f);
  DatasetPtr exported(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(exported);
  std::array<double, 6> transform{};
  exported->GetGeoTransform(transform.data());
  EXPECT_DOUBLE_EQ(transform[0], kLeft + 100);
  EXPECT_DOUBLE_EQ(transform[3], kTop - 90);
  EXPECT_DOUBLE_EQ(transform[1], 10.0);
  EXPECT_DOUBLE_EQ(transform[5], -10.0);
  ASSERT_EQ(exported->GetRasterXSize(), 15);
  ASSERT_EQ(exported->GetRasterYSize(), 15);
  std::vector<std::uint8_t> use(15 * 15);
  ASSERT_EQ(exported->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, 15, 15, use.data(), 15, 15,
                                                 GDT_Byte, 0, 0, nullptr),
            CE_None);
  for (int r = 0; r < 15; ++r) {
    for (int c = 0; c < 15; ++c) {
      EXPECT_EQ(use[static_cast<std::size_t>(r * 15 + c)] == CodeNumber(kLandDeveloped),
                Scattered(c + 10, r + 9))
          << c << "," << r;
    }
  }

  // Coarser fine cells: the corner stays, the cell size follows.
  options.fine_cell = 20.0;
  const TownImport coarse(options);
  EXPECT_DOUBLE_EQ(coarse.Reference().origin_x, kLeft + 100);
  EXPECT_DOUBLE_EQ(coarse.Reference().origin_y, kTop - 90);
  EXPECT_DOUBLE_EQ(coarse.Reference().fine_cell_size, 20.0);
}

TEST_F(GisImportTest, FractionalBoxIsAveragedWhereItLies) {
  // The box starts three quarters of a pixel into pixel (0, 0): each fine cell of a pixel's
  // size takes 1/16, 3/16, 3/16 and 9/16 of four pixels.
  ImportOptions options;
  options.landuse = Raster(ScatteredValue);
  options.developed_values = {7};
  options.bbox = std::array<double, 4>{kLeft + 7.5, kTop - 127.5, kLeft + 127.5, kTop - 7.5};
  Import(options);
  const World& world = t_.world();
  ASSERT_EQ(world.ColumnCount, 4);
  ASSERT_EQ(world.RowCount, 4);
  for (int r = 0; r < 12; ++r) {
    for (int c = 0; c < 12; ++c) {
      const int sixteenths = Scattered(c, r) + 3 * Scattered(c + 1, r) + 3 * Scattered(c, r + 1) +
                             9 * Scattered(c + 1, r + 1);
      EXPECT_EQ(world.FineGrid(c, r).LandUse == kLandDeveloped, sixteenths >= 8) << c << "," << r;
    }
  }
}

TEST_F(GisImportTest, ImportsWithAndWithoutBoxAgreeWhereTheyOverlap) {
  for (const double fine : {10.0, 20.0}) {
    SCOPED_TRACE(fine);
    ImportOptions whole;
    whole.landuse = Raster(ScatteredValue, 1e-6);
    whole.developed_values = {7};
    whole.fine_cell = fine;
    testing::TestSimulation all;
    ImportInto(whole, all);
    // A box one coarse cell in from the corner, three cells wide.
    ImportOptions part = whole;
    const double coarse = 3 * fine;
    part.bbox =
        std::array<double, 4>{kLeft + coarse, kTop - 4 * coarse, kLeft + 4 * coarse, kTop - coarse};
    testing::TestSimulation box;
    ImportInto(part, box);
    ASSERT_EQ(box.world().ColumnCount, 3);
    for (int r = 0; r < 9; ++r) {
      for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(box.world().FineGrid(c, r).LandUse, all.world().FineGrid(c + 3, r + 3).LandUse)
            << c << "," << r;
      }
    }
  }
}

TEST_F(GisImportTest, StreetEdgesOfRealData) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  ImportOptions options;
  options.landuse = Raster([](int c, int) { return c < 15 ? 7 : 0; });
  options.developed_values = {7};
  // Vertices at NaN and infinity are dropped, the rest of the line kept.
  // GeoPackage cannot record an infinite extent and says so; the lines are written all the same.
  CPLPushErrorHandler(CPLQuietErrorHandler);
  options.streets = Streets({{Centre(1, 5), {nan, nan}, Centre(8, 5), {inf, -inf}}});
  CPLPopErrorHandler();
  ImportCounts counts = Import(options);
  EXPECT_EQ(counts.vertices_dropped, 2);
  EXPECT_EQ(counts.nodes_made, 2);
  EXPECT_EQ(t_.world().EdgeCount, 1u);
  // The developed count is what the streets left: 15 of 30 fine columns, less the street's
  // fine cells in the developed half.
  EXPECT_EQ(counts.developed_cells, 15 * 30 - (15 - 4));

  // Streets wholly outside the world: the network starts from the middle as promised.
  options.streets = Streets({{{kLeft - 500, kTop}, {kLeft - 400, kTop - 100}}});
  counts = Import(options);
  EXPECT_TRUE(counts.centre_node_planted);
  ASSERT_EQ(t_.world().NodeList.size(), 1u);
  EXPECT_EQ(t_.world().NodeList[0]->Column, 5);
  EXPECT_EQ(t_.world().NodeList[0]->Row, 5);

  options.layer = "streets";
  const std::string wrong = Refusal(options);
  EXPECT_NE(wrong.find("no layer 'streets'"), std::string::npos) << wrong;
  EXPECT_NE(wrong.find("'roads'"), std::string::npos) << wrong;
}

TEST_F(GisImportTest, SummarySaysWhatBecameOfTheBoxAndTheGrid) {
  ImportOptions options;
  options.landuse = Raster([](int, int) { return 7; });
  options.developed_values = {7};
  // Reaches 50 m past the raster's east edge; 26 pixels leave 8 cells and 2 fine columns.
  options.bbox = std::array<double, 4>{kLeft + 40, kTop - 300, kLeft + 350, kTop};
  TownImport town(options);
  const ImportCounts counts = Import(options);
  std::string summary;
  for (const std::string& line : town.Summary(counts)) {
    summary += line + "\n";
  }
  EXPECT_NE(summary.find("--bbox clipped to the raster: 500040,4100000,500300,4100300"),
            std::string::npos)
      << summary;
  EXPECT_NE(summary.find("2 fine cells left out on the east, 0 on the south"), std::string::npos)
      << summary;
  EXPECT_NE(summary.find(std::to_string(24 * 30) + " developed fine cells"), std::string::npos)
      << summary;
}

TEST_F(GisImportTest, HostileInputsAreRefusedWithTheirReason) {
  ImportOptions options;
  options.landuse = Raster(ScatteredValue);
  options.developed_values = {7};

  ImportOptions tiny = options;
  tiny.fine_cell = 1e-300;
  EXPECT_NE(Refusal(tiny).find("--fine-cell 1e-300"), std::string::npos) << Refusal(tiny);

  ImportOptions outside = options;
  outside.bbox = std::array<double, 4>{0, 0, 10, 10};
  const std::string message = Refusal(outside);
  EXPECT_NE(message.find("500000,4100000,500300,4100300"), std::string::npos) << message;
  EXPECT_NE(message.find("UTM zone 33N"), std::string::npos) << message;

  // A pipe and an endless device would block the reader forever.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("veltmoor-import-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string fifo = (folder / "land.tif").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", folder / "zero.tif");
  for (const std::string& path : {fifo, (folder / "zero.tif").string()}) {
    ImportOptions special = options;
    special.landuse = path;
    EXPECT_NE(Refusal(special).find("not a regular file"), std::string::npos) << path;
    ImportOptions streets = options;
    streets.streets = path;
    EXPECT_NE(Refusal(streets).find("not a regular file"), std::string::npos) << path;
  }
  std::filesystem::remove_all(folder);
}

TEST(ImportCellSizeTest, FollowsTheDrawingAreaAndTheMemoryEstimate) {
  constexpr std::uint64_t kPlenty = 1ULL << 40;
  EXPECT_EQ(ImportCellSize(300, 300, 10.0, std::nullopt, kPlenty), 24);
  EXPECT_EQ(ImportCellSize(300, 300, 10.0, 9, kPlenty), 9);
  // 3 000 cells across leave 6 drawing-area pixels a cell.
  EXPECT_EQ(ImportCellSize(9000, 6000, 10.0, std::nullopt, kPlenty), 6);
  try {
    ImportCellSize(9000, 6000, 10.0, 24, kPlenty);
    ADD_FAILURE() << "a drawing area of 72 000 pixels accepted";
  } catch (const ImportError& e) {
    EXPECT_NE(std::string(e.what()).find("at most 6 fits"), std::string::npos) << e.what();
  }
  // With too little memory even at cell size 3, the message names the need and a box that
  // fits, and that box does fit.
  const std::uint64_t budget = WorldBytes(3000, 3000, 3);
  try {
    ImportCellSize(6000, 6000, 10.0, std::nullopt, budget);
    ADD_FAILURE() << "a world larger than memory accepted";
  } catch (const ImportError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("largest box that fits is about 3000 x 3000 fine cells (30000 x 30000 "
                           "CRS units)"),
              std::string::npos)
        << message;
  }
  EXPECT_EQ(ImportCellSize(3000, 3000, 10.0, std::nullopt, budget), 3);
}

}  // namespace
}  // namespace veltmoor
