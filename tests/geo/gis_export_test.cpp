// The GIS files read back through GDAL hold the world's grids and network at its place.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <cpl_vsi.h>
#include <array>

#include "geo/gdal_support.h"
#include "geo/gis_export.h"
#include "growth/run_control.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

class GisExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGdal();
    t_.settings.SetChecked(setting::kBoom, true);
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

  testing::TestSimulation t_{300, 240};
  MemoryFolder folder_;
  std::vector<std::pair<std::string, std::string>> files_;
};

TEST_F(GisExportTest, RastersHoldTheGridsAtTheWorldsPlace) {
  OGRSpatialReference utm;
  utm.importFromEPSG(32633);
  char* wkt = nullptr;
  utm.exportToWkt(&wkt);
  const Georeference g{wkt, 500000.0, 4100000.0, 10.0};
  CPLFree(wkt);
  files_ = GisFiles(t_.sim, g);
  const World& world = t_.world();

  DatasetPtr land = Open("landuse.tif", GDAL_OF_RASTER);
  ASSERT_TRUE(land);
  EXPECT_EQ(land->GetRasterXSize(), 3 * world.ColumnCount);
  EXPECT_EQ(land->GetRasterYSize(), 3 * world.RowCount);
  std::array<double, 6> transform{};
  land->GetGeoTransform(transform.data());
  EXPECT_EQ(transform, (std::array<double, 6>{500000.0, 10.0, 0.0, 4100000.0, 0.0, -10.0}));
  ASSERT_NE(land->GetSpatialRef(), nullptr);
  EXPECT_TRUE(land->GetSpatialRef()->IsSame(&utm));
  EXPECT_STREQ(land->GetRasterBand(2)->GetDescription(), "SubState");
  ASSERT_NE(land->GetRasterBand(1)->GetColorTable(), nullptr);
  EXPECT_EQ(land->GetRasterBand(1)->GetColorTable()->GetColorEntry(1)->c3, 0);  // yellow

  std::vector<std::uint8_t> use(world.FineGrid.Cells().size());
  ASSERT_EQ(land->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, 3 * world.ColumnCount,
                                             3 * world.RowCount, use.data(), 3 * world.ColumnCount,
                                             3 * world.RowCount, GDT_Byte, 0, 0, nullptr),
            CE_None);
  int developed = 0;
  for (std::size_t i = 0; i < use.size(); ++i) {
    ASSERT_EQ(use[i], CodeNumber(world.FineGrid.Cells()[i].LandUse)) << i;
    developed += use[i] == CodeNumber(kLandDeveloped) ? 1 : 0;
  }
  EXPECT_GT(developed, 0);

  DatasetPtr cells = Open("cells.tif", GDAL_OF_RASTER);
  ASSERT_TRUE(cells);
  cells->GetGeoTransform(transform.data());
  EXPECT_DOUBLE_EQ(transform[1], 30.0);
  std::vector<float> potential(world.CellGrid.Cells().size());
  std::vector<float> state(potential.size());
  ASSERT_EQ(cells->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, world.ColumnCount, world.RowCount,
                                              potential.data(), world.ColumnCount, world.RowCount,
                                              GDT_Float32, 0, 0, nullptr),
            CE_None);
  ASSERT_EQ(cells->GetRasterBand(4)->RasterIO(GF_Read, 0, 0, world.ColumnCount, world.RowCount,
                                              state.data(), world.ColumnCount, world.RowCount,
                                              GDT_Float32, 0, 0, nullptr),
            CE_None);
  for (std::size_t i = 0; i < potential.size(); ++i) {
    ASSERT_EQ(potential[i], world.CellGrid.Cells()[i].Potential);
    ASSERT_EQ(state[i], static_cast<float>(CodeNumber(world.CellGrid.Cells()[i].State)));
  }
}

TEST_F(GisExportTest, NetworkHoldsEveryNodeAndStreetInALocalPlane) {
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

}  // namespace
}  // namespace veltmoor
