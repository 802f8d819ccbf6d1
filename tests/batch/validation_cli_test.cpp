// compare and forecast as a user runs them: figures read back from the files, undefined
// figures written as such, bad maps refused before anything is written, and a sharded
// forecast merged into exactly what one process writes.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "batch/study_part.h"
#include "studies/run_plan.h"
#include "support/batch_process.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using veltmoor::testing::ReadFile;
using veltmoor::testing::ScratchFolder;

class ValidationCliTest : public ::testing::Test {
 protected:
  void SetUp() override { GDALAllRegister(); }

  int Run(const std::string& args) {
    const fs::path err_file = dir_.path() / "stderr.txt";
    const std::string command =
        std::string(VELTMOOR_BATCH_PATH) + " " + args + " > /dev/null 2> " + err_file.string();
    const int status = std::system(command.c_str());
    err_ = ReadFile(err_file);
    fs::remove(err_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // A class raster from rows of '1' (value 21, developed) and '.' (value 11), 30 m cells.
  std::string Raster(const std::string& name, const std::vector<std::string>& rows,
                     int epsg = 32725, double origin_x = 500000.0) {
    const std::string path = (dir_.path() / name).string();
    const int columns = static_cast<int>(rows.front().size());
    GDALDataset* raster = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.c_str(), columns, static_cast<int>(rows.size()), 1, GDT_Byte, nullptr);
    double transform[6] = {origin_x, 30.0, 0.0, 9000000.0, 0.0, -30.0};
    raster->SetGeoTransform(transform);
    OGRSpatialReference reference;
    reference.importFromEPSG(epsg);
    raster->SetSpatialRef(&reference);
    std::vector<std::uint8_t> values;
    for (const std::string& row : rows) {
      for (const char c : row) {
        values.push_back(c == '1' ? 21 : 11);
      }
    }
    EXPECT_EQ(raster->GetRasterBand(1)->RasterIO(
                  GF_Write, 0, 0, columns, static_cast<int>(rows.size()), values.data(), columns,
                  static_cast<int>(rows.size()), GDT_Byte, 0, 0, nullptr),
              CE_None);
    GDALClose(raster);
    return path;
  }

  static json ReadJson(const fs::path& path) { return json::parse(ReadFile(path)); }

  static std::vector<float> ReadBand(const fs::path& path, int band = 1) {
    GDALDataset* raster = GDALDataset::Open(path.string().c_str(), GDAL_OF_RASTER);
    EXPECT_NE(raster, nullptr) << path;
    const int w = raster->GetRasterXSize();
    const int h = raster->GetRasterYSize();
    std::vector<float> values(static_cast<std::size_t>(w) * h);
    EXPECT_EQ(raster->GetRasterBand(band)->RasterIO(GF_Read, 0, 0, w, h, values.data(), w, h,
                                                    GDT_Float32, 0, 0, nullptr),
              CE_None);
    GDALClose(raster);
    return values;
  }

  ScratchFolder dir_{"validation"};
  std::string err_;
};

const std::vector<std::string> kT0 = {"11..", "1...", "....", "...."};
const std::vector<std::string> kT1 = {"111.", "11..", "....", "...1"};
const std::vector<std::string> kS = {"11..", ".11.", "....", "..1."};

TEST_F(ValidationCliTest, CompareWritesHandComputedFiguresAndAGeoreferencedOutcomeMap) {
  const fs::path out = dir_.path() / "cmp";
  ASSERT_EQ(Run("compare --original " + Raster("t0.tif", kT0) + " --reference " +
                Raster("t1.tif", kT1) + " --simulated " + Raster("s.tif", kS) +
                " --developed 21 --baseline-runs 5 --out " + out.string()),
            0)
      << err_;
  const json report = ReadJson(out / "compare.json");
  const json& s = report["Statistics"];
  EXPECT_DOUBLE_EQ(s["FoM"]["Model"].get<double>(), 0.2);
  EXPECT_DOUBLE_EQ(s["FoM"]["Null"].get<double>(), 0.0);
  EXPECT_DOUBLE_EQ(s["KappaSimulation"]["Model"].get<double>(), 8.0 / 73);
  EXPECT_DOUBLE_EQ(s["AllocationDisagreement"]["Model"].get<double>(), 0.25);
  // The null model simulates no change: its user's accuracy has no value, and says why.
  EXPECT_TRUE(s["UsersAccuracy"]["Null"].is_null());
  EXPECT_EQ(s["UsersAccuracy"]["NullWhy"], "no simulated change");
  EXPECT_EQ(report["Counts"]["SimulatedLoss"]["Count"], 1);
  EXPECT_EQ(report["Counts"]["SimulatedLoss"]["FirstCells"], json::parse("[[0, 1]]"));
  EXPECT_DOUBLE_EQ(report["Resolution"][1]["FoM"]["Model"].get<double>(), 1.0);
  const std::string csv = ReadFile(out / "compare.csv");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2);
  // S and T1 measured side by side: two patches each (8 neighbours), 5 and 6 of 16 cells.
  const json& land = report["Measures"]["Landscape"];
  EXPECT_EQ(land["NP"]["Simulated"], 2);
  EXPECT_EQ(land["NP"]["Difference"], 0);
  EXPECT_DOUBLE_EQ(land["PLAND"]["Simulated"].get<double>(), 31.25);
  EXPECT_DOUBLE_EQ(land["PLAND"]["Reference"].get<double>(), 37.5);
  EXPECT_DOUBLE_EQ(land["PLAND"]["Difference"].get<double>(), -6.25);
  EXPECT_DOUBLE_EQ(land["AREA_MN"]["Reference"].get<double>(), 3 * 0.09);  // ha of 30 m cells
  EXPECT_TRUE(land["PAFRAC"]["Simulated"].is_null());
  EXPECT_EQ(land["PAFRAC"]["SimulatedWhy"], "fewer than 10 patches");
  EXPECT_EQ(land["PAFRAC"]["DifferenceWhy"], "undefined for the simulated map");
  EXPECT_FALSE(report["Measures"].contains("StreetNetwork"));  // rasters have no streets
  const std::string measures = ReadFile(out / "measures.csv");
  EXPECT_EQ(measures.rfind("group,measure,simulated,reference,difference\n", 0), 0u);
  EXPECT_NE(measures.find("\nLandscape,PLAND,31.25,37.5,-6.25\n"), std::string::npos) << measures;
  EXPECT_NE(measures.find("\nLandscape,PAFRAC,,,\n"), std::string::npos) << measures;

  GDALDataset* outcome = GDALDataset::Open((out / "outcome.tif").string().c_str(), GDAL_OF_RASTER);
  ASSERT_NE(outcome, nullptr);
  OGRSpatialReference utm;
  utm.importFromEPSG(32725);
  EXPECT_TRUE(outcome->GetSpatialRef()->IsSame(&utm));
  EXPECT_NE(outcome->GetRasterBand(1)->GetColorTable(), nullptr);
  GDALClose(outcome);
  const std::vector<float> classes = ReadBand(out / "outcome.tif");
  EXPECT_EQ(classes[2], 2.0F);  // the miss at (2, 0)
  EXPECT_EQ(classes[5], 1.0F);  // the hit at (1, 1)
  EXPECT_TRUE(fs::exists(out / "outcome.png"));
}

TEST_F(ValidationCliTest, WithoutChangeTheChangeFiguresAreUndefinedNotZero) {
  const std::string t0 = Raster("t0.tif", kT0);
  const fs::path out = dir_.path() / "still";
  ASSERT_EQ(Run("compare --original " + t0 + " --reference " + t0 + " --simulated " + t0 +
                " --developed 21 --out " + out.string()),
            0)
      << err_;
  const json s = ReadJson(out / "compare.json")["Statistics"];
  for (const char* name : {"FoM", "ProducersAccuracy", "UsersAccuracy", "KappaSimulation"}) {
    EXPECT_TRUE(s[name]["Model"].is_null()) << name;
    EXPECT_FALSE(s[name]["ModelWhy"].get<std::string>().empty()) << name;
  }
  EXPECT_DOUBLE_EQ(s["Kappa"]["Model"].get<double>(), 1.0);
  const std::string csv = ReadFile(out / "compare.csv");
  EXPECT_EQ(csv.find("nan"), std::string::npos);
}

// 5 x 7 cells: the blocks of 2 and 4 along the right column and the bottom row are partial
// and count as whole blocks. T1 changes (4, 5), (0, 6) and (4, 6); S changes (0, 5),
// (3, 6) and (4, 6). Hits per block: 1 of cells, 1 of 2 x 2 ((4, 6) alone), 2 of 4 x 4
// (min(2, 1) on the right, min(1, 2) on the left, both in the lower row of blocks) and 3
// of the whole map, against 6 changed cells: FoM 1/5, 1/5, 2/4, 3/3.
TEST_F(ValidationCliTest, PartialBlocksAtTheRightAndBottomEdgesCountWhole) {
  const std::vector<std::string> t0 = {"1....", ".....", ".....", ".....",
                                       ".....", ".....", "....."};
  std::vector<std::string> t1 = t0;
  t1[5] = "....1";
  t1[6] = "1...1";
  std::vector<std::string> s = t0;
  s[5] = "1....";
  s[6] = "...11";
  const fs::path out = dir_.path() / "edges";
  ASSERT_EQ(Run("compare --original " + Raster("t0.tif", t0) + " --reference " +
                Raster("t1.tif", t1) + " --simulated " + Raster("s.tif", s) +
                " --developed 21 --baseline-runs 0 --no-measures --out " + out.string()),
            0)
      << err_;
  const json resolution = ReadJson(out / "compare.json")["Resolution"];
  ASSERT_EQ(resolution.size(), 4u);
  const struct {
    int block;
    int blocks;
    double fom;
    double agreement;  // the sums of |S - T1| per block: 4, 4, 1 + 1 and 0 of 35 cells
  } levels[] = {
      {1, 35, 0.2, 31.0 / 35}, {2, 12, 0.2, 31.0 / 35}, {4, 4, 0.5, 33.0 / 35}, {8, 1, 1.0, 1.0}};
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(levels[i].block);
    EXPECT_EQ(resolution[i]["Block"], levels[i].block);
    EXPECT_EQ(resolution[i]["Blocks"], levels[i].blocks);
    EXPECT_DOUBLE_EQ(resolution[i]["FoM"]["Model"].get<double>(), levels[i].fom);
    EXPECT_DOUBLE_EQ(resolution[i]["OverallAgreement"]["Model"].get<double>(), levels[i].agreement);
  }
}

TEST_F(ValidationCliTest, MapsThatDoNotFitAreRefusedBeforeAnythingIsWritten) {
  const std::string t0 = Raster("t0.tif", kT0);
  const std::string t1 = Raster("t1.tif", kT1);
  const std::string wide = Raster("wide.tif", {"11...", "1....", ".....", "....."});
  const std::string shifted = Raster("shifted.tif", kS, 32725, 500030.0);
  const std::string other_crs = Raster("crs.tif", kS, 32633);
  const std::string empty = Raster("empty.tif", {"....", "....", "....", "...."});
  const struct {
    std::string args;
    std::string says;
    std::string also_says{};
  } cases[] = {
      {"--simulated " + wide + " --developed 21", "extent"},
      // The grid to warp onto, 4 x 4 cells of 30 m below and right of (500000, 9000000).
      {"--simulated " + shifted + " --developed 21", "origin",
       "gdalwarp -te 500000 8999880 500120 9000000 -tr 30 30"},
      {"--simulated " + other_crs + " --developed 21", "coordinate system"},
      {"--simulated " + t1, "--developed"},
      {"--simulated " + t1 + " --developed 99", "none of the classes"},
      {"--simulated " + empty + " --developed 21 --baseline-runs -1", "baseline-runs"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const fs::path out = dir_.path() / "refused";
    EXPECT_EQ(Run("compare --original " + t0 + " --reference " + t1 + " " + c.args + " --out " +
                  out.string()),
              2);
    EXPECT_NE(err_.find(c.says), std::string::npos) << err_;
    EXPECT_NE(err_.find(c.also_says), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(out));
  }
  // A reference with no developed land holds nothing to compare against (a raster without
  // the class is refused by its classes already, so a saved world shows it).
  const fs::path world = dir_.path() / "world";
  ASSERT_EQ(Run("setup --width 60 --height 60 --seed 1 --no-picture --out " + world.string()), 0);
  const fs::path refused = dir_.path() / "refused-world";
  EXPECT_EQ(Run("compare --original " + (world / "world.json").string() + " --reference " +
                (world / "world.json").string() + " --simulated " +
                (world / "world.json").string() + " --out " + refused.string()),
            2);
  EXPECT_NE(err_.find("no developed cell"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(refused));
}

class ForecastCliTest : public ValidationCliTest {
 protected:
  void SetUp() override {
    ValidationCliTest::SetUp();
    start_ = dir_.path() / "start";
    ASSERT_EQ(Run("run --field-type boom --steps 15 --seed 3 --width 150 --height 150 "
                  "--no-picture --out " +
                  start_.string()),
              0)
        << err_;
    reference_ = dir_.path() / "reference";
    ASSERT_EQ(Run("run --from " + (start_ / "world.json").string() +
                  " --steps 20 --seed 11 --no-picture --out " + reference_.string()),
              0)
        << err_;
  }

  std::string Common() const {
    return "forecast --start " + (start_ / "world.json").string() +
           " --steps 20 --field-type boom --seed 5 --reference " +
           (reference_ / "world.json").string() + " ";
  }

  fs::path start_;
  fs::path reference_;
};

TEST_F(ForecastCliTest, ShardsMergeIntoWhatOneProcessWritesAndSharesAreTheRunsMean) {
  const fs::path whole = dir_.path() / "whole";
  ASSERT_EQ(Run(Common() + "--runs 3 --measures --out " + whole.string()), 0) << err_;
  std::vector<std::string> parts;
  for (int k = 1; k <= 2; ++k) {
    const fs::path part = dir_.path() / ("part" + std::to_string(k));
    ASSERT_EQ(Run(Common() + "--runs 3 --measures --shard " + std::to_string(k) + "/2 --out " +
                  part.string()),
              0)
        << err_;
    parts.push_back(part.string());
  }
  const fs::path merged = dir_.path() / "merged";
  ASSERT_EQ(Run("merge " + merged.string() + " " + parts[1] + " " + parts[0]), 0) << err_;
  for (const char* name :
       {"probability.tif", "probability.png", "runs.csv", "forecast.json", "toc.csv", "toc.png"}) {
    EXPECT_EQ(ReadFile(whole / name), ReadFile(merged / name)) << name;
  }

  // A merge reads the parts and the maps they name again: a run's number edited in a part,
  // its seed edited with the digest made to match, a damaged counter grid or a reference
  // changed since the shards read it is refused, and nothing is written.
  const fs::path part = parts[0];
  const std::string part_json = ReadFile(part / "part.json");
  const std::string counts = ReadFile(part / "counts.bin");
  const fs::path reference = reference_ / "world.json";
  const std::string reference_json = ReadFile(reference);
  json grown = json::parse(part_json);
  grown["Runs"][0]["Developed"] = grown["Runs"][0]["Developed"].get<int>() + 1000;
  json reseeded = json::parse(part_json);
  reseeded["Runs"][0]["Seed"] = 12345;
  reseeded["RunsSha256"] = veltmoor::Sha256(reseeded["Runs"].dump());
  std::string damaged = counts;
  damaged[0] = static_cast<char>(damaged[0] ^ 1);
  const struct {
    fs::path file;
    std::string edited;
    std::string original;
    std::string says;
  } edits[] = {
      {part / "part.json", grown.dump(), part_json, "part.json': its Runs are not the runs"},
      {part / "part.json", reseeded.dump(), part_json, "which is not a run of shard 1/2"},
      {part / "counts.bin", damaged, counts, "is not the counter grid its part.json promises"},
      {reference, reference_json + "\n", reference_json, "is not the file the shards read"},
  };
  for (const auto& e : edits) {
    SCOPED_TRACE(e.file);
    std::ofstream(e.file, std::ios::binary) << e.edited;
    const fs::path refused = dir_.path() / "refused";
    EXPECT_EQ(Run("merge " + refused.string() + " " + parts[0] + " " + parts[1]), 2);
    EXPECT_NE(err_.find(e.says), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(refused));
    std::ofstream(e.file, std::ios::binary) << e.original;
  }

  // Each run again on its own, by its seed: the share of a cell is the mean of their masks.
  const std::vector<float> shares = ReadBand(whole / "probability.tif");
  std::vector<float> mean(shares.size(), 0.0F);
  for (std::uint64_t r = 0; r < 3; ++r) {
    const fs::path run = dir_.path() / ("run" + std::to_string(r));
    ASSERT_EQ(Run("run --from " + (start_ / "world.json").string() + " --field-type boom " +
                  "--steps 20 --no-picture --geo --seed " +
                  std::to_string(veltmoor::RunSeed(5, r)) + " --out " + run.string()),
              0)
        << err_;
    const std::vector<float> land = ReadBand(run / "landuse.tif");
    ASSERT_EQ(land.size(), mean.size());
    for (std::size_t i = 0; i < land.size(); ++i) {
      mean[i] += land[i] == 2.0F ? 1.0F / 3.0F : 0.0F;
    }
  }
  for (std::size_t i = 0; i < mean.size(); ++i) {
    ASSERT_NEAR(shares[i], mean[i], 1e-6) << "cell " << i;
  }
  const json report = ReadJson(whole / "forecast.json");
  EXPECT_EQ(report["Comparison"]["FoM"]["Runs"], 3);
  // Every run analysed: its measures after its placement statistics, one number each.
  std::istringstream runs(ReadFile(whole / "runs.csv"));
  std::string header;
  std::getline(runs, header);
  EXPECT_NE(header.find(",LeeSallee,D_grid,"), std::string::npos) << header;
  for (std::string row; std::getline(runs, row);) {
    EXPECT_EQ(std::count(row.begin(), row.end(), ','),
              std::count(header.begin(), header.end(), ','));
    EXPECT_EQ(row.find(",,"), std::string::npos) << row;
  }
  EXPECT_TRUE(report["Toc"]["Area"].is_number());
}

TEST_F(ForecastCliTest, CompareOfSavedWorldsSetsTheirStreetNetworksSideBySide) {
  const std::string start = (start_ / "world.json").string();
  const std::string grown = (reference_ / "world.json").string();
  const fs::path out = dir_.path() / "worlds";
  ASSERT_EQ(Run("compare --original " + start + " --reference " + start + " --simulated " + grown +
                " --baseline-runs 0 --out " + out.string()),
            0)
      << err_;
  const json streets = ReadJson(out / "compare.json")["Measures"]["StreetNetwork"];
  EXPECT_EQ(streets["n"]["Simulated"], ReadJson(reference_ / "world.json")["NodeCount"]);
  EXPECT_EQ(streets["n"]["Reference"], ReadJson(start_ / "world.json")["NodeCount"]);
  EXPECT_GT(streets["street_length_total"]["Difference"].get<double>(), 0.0);
  EXPECT_EQ(streets["Units"]["Simulated"], "a synthetic world: 1 pixel counts as 1 metre");
  const std::string csv = ReadFile(out / "measures.csv");
  EXPECT_NE(csv.find("\nStreetNetwork,circuity_avg,"), std::string::npos) << csv;
  EXPECT_EQ(csv.find("nan"), std::string::npos);

  // Without the measures, nothing of them is written.
  const fs::path bare = dir_.path() / "bare";
  ASSERT_EQ(Run("compare --original " + start + " --reference " + start + " --simulated " + grown +
                " --no-measures --out " + bare.string()),
            0)
      << err_;
  EXPECT_FALSE(ReadJson(bare / "compare.json").contains("Measures"));
  EXPECT_FALSE(fs::exists(bare / "measures.csv"));
}

TEST_F(ForecastCliTest, BadEnsemblesAreRefusedBeforeAnythingIsWritten) {
  const std::string raster = Raster("t1.tif", kT1);
  const struct {
    std::string args;
    std::string says;
  } cases[] = {
      {Common() + "--runs 0", "--runs"},
      {"forecast --start " + (start_ / "world.json").string() +
           " --runs 2 --steps 5 --seed 1 --developed 21 --reference " + raster,
       "no place on the earth"},
      {Common() + "--runs 2 --until-developed 50", "--until-developed"},
      {"forecast --start " + (start_ / "world.json").string() + " --runs 2 --steps 5", "--seed"},
      {Common() + "--runs 2 --shard 3/2", "--shard"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const fs::path out = dir_.path() / "refused";
    EXPECT_EQ(Run(c.args + " --out " + out.string()), 2);
    EXPECT_NE(err_.find(c.says), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(out));
  }
}

}  // namespace

namespace {

TEST_F(ForecastCliTest, CalibrationAimsPlacementMeasuresAtAPerfectPlacement) {
  const fs::path out = dir_.path() / "calibration";
  const std::string start = (start_ / "world.json").string();
  const std::string reference = (reference_ / "world.json").string();
  ASSERT_EQ(Run("calibrate --start " + start + " --reference " + reference + " --until-like " +
                reference +
                " --measures FoM,QuantityDisagreement --vary E_centriPe=0,5:5,0 "
                "--field-type boom --points 2 --runs 2 --seed 1 --out " +
                out.string()),
            0)
      << err_;
  const json best = ReadJson(out / "best.json");
  EXPECT_EQ(best["Measures"]["FoM"]["Target"], 1.0);
  EXPECT_EQ(best["Measures"]["QuantityDisagreement"]["Target"], 0.0);
  // Every run grew to the reference's size, so the quantities agree to within a step's growth.
  EXPECT_LT(best["Measures"]["QuantityDisagreement"]["Mean"].get<double>(), 0.05);
  const double fom = best["Measures"]["FoM"]["Mean"].get<double>();
  EXPECT_GT(fom, 0.0);
  EXPECT_LE(fom, 1.0);

  const fs::path refused = dir_.path() / "refused";
  EXPECT_EQ(Run("calibrate --measures FoM --vary E_centriPe=0,5:5,0 --field-type boom --steps 5 "
                "--points 2 --runs 2 --seed 1 --start " +
                start + " --out " + refused.string()),
            2);
  EXPECT_NE(err_.find("--reference"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(refused));
}

}  // namespace
