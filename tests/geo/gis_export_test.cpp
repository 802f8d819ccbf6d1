// The GIS files read back through GDAL hold the world's grids and network at its place.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <cpl_vsi.h>
#include <array>

#include "geo/class_maps.h"
#include "geo/gdal_support.h"
#include "geo/gis_export.h"
#include "geo/raster_overview.h"
#include "growth/run_control.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

class GisExportTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    EnsureGdal();
    t_.settings.SetChecked(setting::kBoom, true);
    t_.settings.Set(setting::kCellScale, std::to_string(GetParam()));
    NewSetup(t_.sim);
    StartRun(t_.sim);
    for (int i = 0; i < 40; ++i) {
      SimulationStep(t_.sim);
    }
  }

  // Opens one of the exported files from GDAL's memory.
  DatasetPtr Open(const std::string& name, unsigned flags) {
    for (const auto& [file, bytes] : files_) {
      if (file == name) {
        const std::string path = folder_.Path(name);
        VSILFILE* f = VSIFOpenL(path.c_str(), "wb");
        VSIFWriteL(bytes.data(), 1, bytes.size(), f);
        VSIFCloseL(f);
        return DatasetPtr(GDALDataset::Open(path.c_str(), flags));
      }
    }
    return nullptr;
  }

  template <typename Value>
  static std::vector<Value> ReadBand(GDALDataset& data, int band, GDALDataType type) {
    const int columns = data.GetRasterXSize();
    const int rows = data.GetRasterYSize();
    std::vector<Value> values(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    EXPECT_EQ(data.GetRasterBand(band)->RasterIO(GF_Read, 0, 0, columns, rows, values.data(),
                                                 columns, rows, type, 0, 0, nullptr),
              CE_None);
    return values;
  }

  testing::TestSimulation t_{300, 240};
  MemoryFolder folder_;
  std::vector<std::pair<std::string, std::string>> files_;
};

// Cell sizes that 3 does not divide, and one it does: a pixel size formed by whole-number
// division lines up at 24 and nowhere else.
INSTANTIATE_TEST_SUITE_P(CellSizes, GisExportTest, ::testing::Values(7, 10, 25));

TEST_P(GisExportTest, BothRastersLieOnTheWorldsGridAndHoldItCellByCell) {
  OGRSpatialReference utm;
  utm.importFromEPSG(32633);
  char* wkt = nullptr;
  utm.exportToWkt(&wkt);
  const Georeference real{wkt, 500000.0, 4100000.0, 10.0};
  CPLFree(wkt);
  const World& world = t_.world();
  const int cell = GetParam();
  ASSERT_EQ(world.CellSize, cell);
  struct Place {
    Georeference reference;
    double fine_pixel;  // landuse.tif's pixel in the reference's units
  };
  // A synthetic world lies in a local plane of drawing-area pixels, its corner at the
  // drawing area's height; a real one at its corner, a fine cell a pixel.
  const Place places[] = {{ReferenceOf(t_.sim, std::nullopt), cell / 3.0}, {real, 10.0}};
  for (const Place& place : places) {
    SCOPED_TRACE(place.reference.crs_wkt.empty() ? "local plane" : "UTM");
    files_ = GisFiles(t_.sim, place.reference);
    const double top = place.reference.crs_wkt.empty() ? 240.0 : 4100000.0;
    const double left = place.reference.crs_wkt.empty() ? 0.0 : 500000.0;

    DatasetPtr land = Open("landuse.tif", GDAL_OF_RASTER);
    DatasetPtr cells = Open("cells.tif", GDAL_OF_RASTER);
    ASSERT_TRUE(land);
    ASSERT_TRUE(cells);
    EXPECT_EQ(land->GetRasterXSize(), 3 * world.ColumnCount);
    EXPECT_EQ(land->GetRasterYSize(), 3 * world.RowCount);
    EXPECT_EQ(cells->GetRasterXSize(), world.ColumnCount);
    EXPECT_EQ(cells->GetRasterYSize(), world.RowCount);
    std::array<double, 6> fine{};
    std::array<double, 6> coarse{};
    land->GetGeoTransform(fine.data());
    cells->GetGeoTransform(coarse.data());
    EXPECT_DOUBLE_EQ(fine[0], left);
    EXPECT_DOUBLE_EQ(fine[3], top);
    EXPECT_DOUBLE_EQ(fine[1], place.fine_pixel);
    EXPECT_DOUBLE_EQ(fine[5], -place.fine_pixel);
    EXPECT_EQ(fine[2], 0.0);
    EXPECT_EQ(fine[4], 0.0);
    // The same corner, and three fine pixels to a cell.
    EXPECT_DOUBLE_EQ(coarse[0], fine[0]);
    EXPECT_DOUBLE_EQ(coarse[3], fine[3]);
    EXPECT_DOUBLE_EQ(coarse[1], 3 * fine[1]);
    EXPECT_DOUBLE_EQ(coarse[5], 3 * fine[5]);
    if (!place.reference.crs_wkt.empty()) {
      ASSERT_NE(land->GetSpatialRef(), nullptr);
      EXPECT_TRUE(land->GetSpatialRef()->IsSame(&utm));
    }

    const auto use = ReadBand<std::uint8_t>(*land, 1, GDT_Byte);
    const auto sub = ReadBand<std::uint8_t>(*land, 2, GDT_Byte);
    const auto potential = ReadBand<float>(*cells, 1, GDT_Float32);
    const auto developed = ReadBand<float>(*cells, 2, GDT_Float32);
    const auto state = ReadBand<float>(*cells, 4, GDT_Float32);
    const int fine_columns = 3 * world.ColumnCount;
    int developed_pixels = 0;
    for (int r = 0; r < 3 * world.RowCount; ++r) {
      for (int c = 0; c < fine_columns; ++c) {
        const std::size_t i = static_cast<std::size_t>(r) * fine_columns + c;
        ASSERT_EQ(use[i], CodeNumber(world.FineGrid(c, r).LandUse)) << c << "," << r;
        ASSERT_EQ(sub[i], CodeNumber(world.FineGrid(c, r).SubState)) << c << "," << r;
        developed_pixels += use[i] == CodeNumber(kLandDeveloped) ? 1 : 0;
      }
    }
    EXPECT_GT(developed_pixels, 0);
    for (int r = 0; r < world.RowCount; ++r) {
      for (int c = 0; c < world.ColumnCount; ++c) {
        const std::size_t i = static_cast<std::size_t>(r) * world.ColumnCount + c;
        const TCell& at = world.CellGrid(c, r);
        ASSERT_EQ(potential[i], at.Potential) << c << "," << r;
        ASSERT_EQ(state[i], static_cast<float>(CodeNumber(at.State))) << c << "," << r;
        // A cell's count is the developed pixels of its 3 x 3 block in landuse.tif.
        int block = 0;
        for (int j = 0; j < 3; ++j) {
          for (int k = 0; k < 3; ++k) {
            const std::size_t f = static_cast<std::size_t>(3 * r + j) * fine_columns + 3 * c + k;
            block += use[f] == CodeNumber(kLandDeveloped) ? 1 : 0;
          }
        }
        ASSERT_EQ(developed[i], static_cast<float>(block)) << c << "," << r;
      }
    }
  }
  DatasetPtr land = Open("landuse.tif", GDAL_OF_RASTER);
  EXPECT_STREQ(land->GetRasterBand(2)->GetDescription(), "SubState");
  ASSERT_NE(land->GetRasterBand(1)->GetColorTable(), nullptr);
  EXPECT_EQ(land->GetRasterBand(1)->GetColorTable()->GetColorEntry(1)->c3, 0);  // yellow
}

TEST_P(GisExportTest, NetworkHoldsEveryNodeAndStreetInALocalPlane) {
  files_ = GisFiles(t_.sim, ReferenceOf(t_.sim, std::nullopt));
  const World& world = t_.world();
  DatasetPtr network = Open("network.gpkg", GDAL_OF_VECTOR);
  ASSERT_TRUE(network);
  OGRLayer* nodes = network->GetLayerByName("nodes");
  OGRLayer* streets = network->GetLayerByName("streets");
  ASSERT_NE(nodes, nullptr);
  ASSERT_NE(streets, nullptr);
  EXPECT_EQ(nodes->GetFeatureCount(), static_cast<GIntBig>(world.NodeList.size()));
  EXPECT_EQ(streets->GetFeatureCount(), static_cast<GIntBig>(world.EdgeCount));
  // 1 unit = 1 pixel, y up from the drawing area's bottom edge.
  for (auto& feature : *nodes) {
    const TAgent& node = world.Node(static_cast<std::size_t>(feature->GetFieldAsInteger("NodeId")));
    const auto* point = feature->GetGeometryRef()->toPoint();
    EXPECT_EQ(point->getX(), node.X);
    EXPECT_EQ(point->getY(), 240 - node.Y);
    EXPECT_EQ(feature->GetFieldAsInteger("Degree"), static_cast<int>(node.Links.size()));
    EXPECT_FALSE(feature->IsFieldSetAndNotNull(feature->GetFieldIndex("ML")));
  }
  for (auto& feature : *streets) {
    const TAgent& from =
        world.Node(static_cast<std::size_t>(feature->GetFieldAsInteger("FromNode")));
    const auto* line = feature->GetGeometryRef()->toLineString();
    EXPECT_EQ(line->getX(0), from.X);
    EXPECT_NEAR(line->get_Length(), feature->GetFieldAsDouble("Length"), 1.0);
  }
}

// A class raster is one file: its colours and its class names travel with it, with no side
// file, and writing it raises no GDAL error.
TEST(ClassRasterTest, KeepsItsColoursAndClassNamesInsideTheFile) {
  EnsureGdal();
  OGRSpatialReference utm;
  utm.importFromEPSG(32632);
  char* wkt = nullptr;
  utm.exportToWkt(&wkt);
  const GridFrame frame = {3, 2, 400000.0, 5000000.0, 30.0, 30.0, wkt};
  CPLFree(wkt);
  const std::vector<std::uint8_t> classes = {0, 1, 2, 2, 1, 0};
  const std::vector<ClassColour> colours = {
      {255, 255, 255, "correct rejection"}, {0, 158, 115, "hit"}, {213, 94, 0, "miss"}};
  CPLErrorReset();
  const std::string bytes = ClassRasterGeoTiff(frame, classes, colours, "Outcome");
  EXPECT_EQ(CPLGetLastErrorType(), CE_None) << CPLGetLastErrorMsg();

  const MemoryFolder folder;
  const std::string path = folder.Path("copied.tif");
  VSILFILE* f = VSIFOpenL(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  VSIFWriteL(bytes.data(), 1, bytes.size(), f);
  VSIFCloseL(f);
  const DatasetPtr data(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
  ASSERT_NE(data, nullptr);
  GDALRasterBand* band = data->GetRasterBand(1);
  ASSERT_NE(band->GetColorTable(), nullptr);
  EXPECT_EQ(band->GetColorTable()->GetColorEntry(2)->c1, 213);
  const char* hit = band->GetMetadataItem(ClassNameKey(1).c_str());
  ASSERT_NE(hit, nullptr);
  EXPECT_STREQ(hit, "hit");

  const RasterOverview overview = DescribeRaster(path);
  ASSERT_EQ(overview.classes.size(), 3u);
  for (std::size_t value = 0; value < 3; ++value) {
    EXPECT_EQ(overview.classes[value].value, static_cast<double>(value));
    EXPECT_EQ(overview.classes[value].name, colours[value].name);
    EXPECT_EQ(overview.classes[value].pixels, 2);
  }
}

}  // namespace
}  // namespace veltmoor
