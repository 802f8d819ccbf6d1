// The standard measures through veltmoor-batch: the landscape command on rasters of every
// kind of reference, and the Landscape and StreetNetwork objects analysed runs write.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "studies/calibration.h"
#include "support/batch_process.h"
#include "support/scratch_folder.h"

namespace veltmoor {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;

class LandscapeCliTest : public ::testing::Test {
 protected:
  void SetUp() override { GDALAllRegister(); }

  int Run(const std::string& args) {
    const std::string command = std::string(VELTMOOR_BATCH_PATH) + " " + args + " > " +
                                (dir_ / "out.txt").string() + " 2> " + (dir_ / "err.txt").string();
    const int status = std::system(command.c_str());
    out_ = ReadFile(dir_ / "out.txt");
    err_ = ReadFile(dir_ / "err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // A 6 x 4 Byte raster, 1 in a 2 x 2 block, with cells `width` x `height` map units.
  fs::path Raster(const std::string& name, int epsg, double width, double height) {
    const fs::path path = dir_ / name;
    GDALDataset* raster = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.c_str(), 6, 4, 1, GDT_Byte, nullptr);
    std::vector<std::uint8_t> pixels(24, 0);
    for (const int i : {7, 8, 13, 14}) {
      pixels[static_cast<std::size_t>(i)] = 1;
    }
    EXPECT_EQ(raster->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 6, 4, pixels.data(), 6, 4,
                                                 GDT_Byte, 0, 0, nullptr),
              CE_None);
    std::array<double, 6> transform = {500000.0, width, 0.0, 4100000.0, 0.0, -height};
    raster->SetGeoTransform(transform.data());
    OGRSpatialReference reference;
    reference.importFromEPSG(epsg);
    raster->SetSpatialRef(&reference);
    GDALClose(raster);
    return path;
  }

  // The CSV row printed as name -> text.
  std::map<std::string, std::string> Row() const {
    std::map<std::string, std::string> row;
    const std::size_t end = out_.find('\n');
    std::stringstream header(out_.substr(0, end));
    std::stringstream values(out_.substr(end + 1));
    std::string name;
    std::string value;
    while (std::getline(header, name, ',')) {
      std::getline(values, value, ',');
      row[name] = value.substr(0, value.find('\n'));
    }
    return row;
  }

  veltmoor::testing::ScratchFolder scratch_{"landscape"};
  fs::path dir_ = scratch_.path();
  std::string out_;
  std::string err_;
};

TEST_F(LandscapeCliTest, RasterInMetresPrintsOneCsvRow) {
  const fs::path land = Raster("utm.tif", 32633, 30.0, 30.0);
  ASSERT_EQ(Run("landscape " + land.string() + " --developed 1"), 0) << err_;
  auto row = Row();
  EXPECT_EQ(row["NP"], "1");
  EXPECT_EQ(row["cell_metres"], "30");
  EXPECT_NEAR(std::stod(row["PLAND"]), 4.0 / 24.0 * 100.0, 1e-12);
  EXPECT_NEAR(std::stod(row["ED"]), 8 * 30.0 / (24 * 900.0 / 10000.0), 1e-9);
  EXPECT_EQ(row["ENN_MN"], "");  // one patch
  // The 4 rule and the border as edge are honoured and reported.
  ASSERT_EQ(Run("landscape " + land.string() +
                " --developed-above 0 --patch-rule 4 "
                "--boundary-edge"),
            0)
      << err_;
  row = Row();
  EXPECT_EQ(row["patch_rule"], "4");
  EXPECT_EQ(row["boundary_edge"], "1");
}

TEST_F(LandscapeCliTest, GeographicRasterMeasuresNoAreasOrDistances) {
  const fs::path land = Raster("degrees.tif", 4326, 0.001, 0.001);
  ASSERT_EQ(Run("landscape " + land.string() + " --developed 1"), 0) << err_;
  EXPECT_NE(err_.find("geographic"), std::string::npos) << err_;
  auto row = Row();
  EXPECT_EQ(row["NP"], "1");
  EXPECT_EQ(row["ED"], "");
  EXPECT_EQ(row["AREA_MN"], "");
  EXPECT_EQ(out_.find("nan"), std::string::npos);
}

TEST_F(LandscapeCliTest, NoDevelopedValueIsSaidAndUndefined) {
  const fs::path land = Raster("utm.tif", 32633, 30.0, 30.0);
  ASSERT_EQ(Run("landscape " + land.string() + " --developed 7"), 0) << err_;
  EXPECT_NE(err_.find("is developed land"), std::string::npos) << err_;
  auto row = Row();
  EXPECT_EQ(row["NP"], "0");
  EXPECT_EQ(row["AI"], "");
}

TEST_F(LandscapeCliTest, BadInputIsRefusedWithExitCode2) {
  const fs::path land = Raster("utm.tif", 32633, 30.0, 30.0);
  const fs::path oblong = Raster("oblong.tif", 32633, 30.0, 20.0);
  const std::pair<std::string, std::string> bad[] = {
      {"landscape " + land.string(), "--developed"},
      {"landscape " + oblong.string() + " --developed 1", "square cells"},
      {"landscape " + land.string() + " --developed 1 --band 2", "no band 2"},
      {"landscape " + land.string() + " --developed 1 --patch-rule 6", "patch-rule"},
      {"landscape " + (dir_ / "none.tif").string() + " --developed 1", "none.tif"},
      {"landscape " + (dir_ / "err.txt").string() + " --developed 1", "cannot read"},
  };
  for (const auto& [args, message] : bad) {
    SCOPED_TRACE(args);
    EXPECT_EQ(Run(args), 2);
    EXPECT_NE(err_.find(message), std::string::npos) << err_;
  }
}

TEST_F(LandscapeCliTest, AnalysedRunWritesTheStandardMeasuresWithTheirRules) {
  const fs::path out = dir_ / "run";
  ASSERT_EQ(Run("run --field-type boom --steps 60 --seed 3 --no-picture --analyse --patch-rule 4 "
                "--out " +
                out.string()),
            0)
      << err_;
  const nlohmann::json measures = nlohmann::json::parse(ReadFile(out / "measures.json"));
  EXPECT_EQ(measures["Landscape"]["Rules"]["PatchRule"], 4);
  EXPECT_NE(measures["Landscape"]["Units"].get<std::string>().find("1 pixel counts as 1 metre"),
            std::string::npos);
  EXPECT_EQ(measures["StreetNetwork"]["n"], measures["NodeCount"]);
  EXPECT_EQ(measures["StreetNetwork"]["street_segment_count"], measures["EdgeCount"]);
  const std::string csv = ReadFile(out / "network_stats.csv");
  EXPECT_EQ(csv.rfind("measure,value\nn,", 0), 0u) << csv;
  EXPECT_NE(csv.find("\ncircuity_avg,1."), std::string::npos) << csv;
  // A calibration reads the same number from the file at full precision.
  EXPECT_EQ(MeasureFromJson(measures, "Landscape.ED"), measures["Landscape"]["ED"].get<double>());
  EXPECT_EQ(CanonicalMeasureName("StreetNetwork.circuity_avg"), "StreetNetwork.circuity_avg");
  EXPECT_EQ(CanonicalMeasureName("StreetNetwork.streets_per_node_counts.3"),
            "StreetNetwork.streets_per_node_counts.3");
  EXPECT_FALSE(CanonicalMeasureName("Landscape.../x"));
  EXPECT_EQ(measures["StreetNetwork"]["DetourSample"],
            nlohmann::json::parse(R"({"Seed": 1, "Sources": 100, "TargetsPerSource": 10})"));
  // The detour sample as the user sets it, written beside the ratios it gave.
  const fs::path analysed = dir_ / "analysed";
  ASSERT_EQ(Run("analyse --from " + (out / "world.json").string() +
                " --no-picture --detour-sources 7 --detour-targets 3 --detour-seed 9 --out " +
                analysed.string()),
            0)
      << err_;
  const nlohmann::json streets =
      nlohmann::json::parse(ReadFile(analysed / "measures.json"))["StreetNetwork"];
  EXPECT_EQ(streets["DetourSample"],
            nlohmann::json::parse(R"({"Seed": 9, "Sources": 7, "TargetsPerSource": 3})"));
  EXPECT_GT(streets["detour_pairs"].get<int>(), 0);
  EXPECT_LE(streets["detour_pairs"].get<int>(), 21);
  for (const std::string bad :
       {"--detour-sources 0", "--detour-targets 1001", "--detour-seed -1", "--detour-sources x"}) {
    const fs::path refused = dir_ / "refused";
    EXPECT_EQ(Run("analyse --from " + (out / "world.json").string() + " " + bad + " --out " +
                  refused.string()),
              2)
        << bad;
    EXPECT_NE(err_.find(bad.substr(0, bad.find(' '))), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(refused));
  }
  // Without --analyse a run writes neither.
  ASSERT_EQ(Run("run --field-type boom --steps 5 --seed 3 --no-picture --out " + out.string()), 0);
  EXPECT_FALSE(nlohmann::json::parse(ReadFile(out / "measures.json")).contains("Landscape"));
  EXPECT_FALSE(fs::exists(out / "network_stats.csv"));
}

}  // namespace
}  // namespace veltmoor
