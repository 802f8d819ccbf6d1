// Saved worlds through veltmoor-batch: continuing a run, and refusing files that are not
// sound worlds without writing anything.
#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

class WorldCliTest : public ::testing::Test {
 protected:
  // Runs veltmoor-batch; returns its exit code and keeps its stderr in err_.
  int Run(const std::string& args) {
    const fs::path errFile = dir_ / "stderr.txt";
    const std::string command =
        std::string(VELTMOOR_BATCH_PATH) + " " + args + " 2> " + errFile.string();
    const int status = std::system(command.c_str());
    err_ = Read(errFile);
    fs::remove(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // A PNG's width and height, from its header.
  static std::pair<unsigned, unsigned> PngSize(const std::string& png) {
    if (png.size() < 24) {
      return {0, 0};
    }
    const auto big_endian = [&png](std::size_t at) {
      unsigned value = 0;
      for (std::size_t i = 0; i < 4; ++i) {
        value = value << 8 | static_cast<unsigned char>(png[at + i]);
      }
      return value;
    };
    return {big_endian(16), big_endian(20)};
  }

  veltmoor::testing::ScratchFolder scratch_{"world"};
  fs::path dir_ = scratch_.path();
  std::string err_;
};

TEST_F(WorldCliTest, ResumedRunsEqualUninterruptedOnes) {
  for (const std::string type : {"boom", "interlink", "cluster", "network"}) {
    SCOPED_TRACE(type);
    const std::string common = "--field-type " + type + " --seed 7 --width 300 --height 300 ";
    const fs::path whole = dir_ / (type + "-whole");
    const fs::path half = dir_ / (type + "-half");
    const fs::path resumed = dir_ / (type + "-resumed");
    ASSERT_EQ(Run("run " + common + "--steps 100 --out " + whole.string()), 0) << err_;
    ASSERT_EQ(Run("run " + common + "--steps 23 --out " + half.string()), 0) << err_;
    ASSERT_EQ(Run("run --from " + (half / "world.json").string() + " --steps 77 --out " +
                  resumed.string()),
              0)
        << err_;
    const std::string expected = Read(whole / "world.json");
    EXPECT_GT(nlohmann::json::parse(expected)["NodeCount"].get<int>(), 1);
    EXPECT_EQ(Read(resumed / "world.json"), expected);
  }
}

TEST_F(WorldCliTest, BadWorldsAreRefusedByNameAndNothingIsWritten) {
  const fs::path saved = dir_ / "saved";
  ASSERT_EQ(Run("setup --seed 3 --width 200 --height 200 --out " + saved.string()), 0) << err_;
  const nlohmann::json good = nlohmann::json::parse(Read(saved / "world.json"));
  struct Case {
    std::string name;
    std::function<void(nlohmann::json&)> spoil;
    std::string message;
  };
  const Case cases[] = {
      {"not json", nullptr, "not JSON"},
      {"columns", [](nlohmann::json& w) { w["ColumnCount"] = 9; }, "'ColumnCount'"},
      {"state", [](nlohmann::json& w) { w["State"][0][0] = 7; }, "'State'[0][0]"},
      {"short grid", [](nlohmann::json& w) { w["LandUse"][2].erase(0); }, "'LandUse'[2]"},
      {"counts", [](nlohmann::json& w) { w["DevelopedCount"][1][1] = 3; }, "'DevelopedCount'"},
      {"link",
       [](nlohmann::json& w) {
         w["Nodes"][0]["Links"] = {{5, 1}};
       },
       "Links[0]'[0]"},
      {"node count", [](nlohmann::json& w) { w["NodeCount"] = 4; }, "'NodeCount'"},
      {"setting", [](nlohmann::json& w) { w["Settings"]["rm -rf"] = "1"; }, "unknown setting"},
      {"random", [](nlohmann::json& w) { w["Random"]["Engine"] = "1 2 3"; }, "'Random.Engine'"},
      {"crs",
       [](nlohmann::json& w) {
         w["Georeference"] = {
             {"CRS", "nonsense"}, {"OriginX", 0}, {"OriginY", 0}, {"FineCellSize", 1}};
       },
       "'Georeference.CRS'"},
      {"huge", [](nlohmann::json& w) { w["Width"] = 1e12; }, "'Width'"},
      {"claims a huge world",
       [](nlohmann::json& w) {
         w["Width"] = w["Height"] = 20000;
         w["CellSize"] = 1;
         w["Settings"]["SE_cellScale"] = "1";
         w["ColumnCount"] = w["RowCount"] = 20000;
       },
       "'ColumnCount' gives 20000 columns"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir_ / "bad.json";
    std::ofstream(file) << (c.spoil ? [&] {
      nlohmann::json w = good;
      c.spoil(w);
      return w.dump();
    }()
                                    : std::string("{\"Width\": "));
    const fs::path out = dir_ / "out";
    EXPECT_EQ(Run("run --from " + file.string() + " --steps 3 --out " + out.string()), 2);
    EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(out));
  }
}

TEST_F(WorldCliTest, ImportAnalyseAndExportWriteTheirFilesAndRefuseBadInput) {
  // A 60 x 60 raster in pixel units: developed (1) in its left third.
  GDALAllRegister();
  const fs::path land = dir_ / "land.tif";
  {
    GDALDataset* raster = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        land.c_str(), 60, 60, 1, GDT_Byte, nullptr);
    std::vector<std::uint8_t> pixels(3600);
    for (int i = 0; i < 3600; ++i) {
      pixels[static_cast<std::size_t>(i)] = i % 60 < 20 ? 1 : 0;
    }
    ASSERT_EQ(raster->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 60, 60, pixels.data(), 60, 60,
                                                 GDT_Byte, 0, 0, nullptr),
              CE_None);
    GDALClose(raster);
  }
  const fs::path town = dir_ / "town";
  ASSERT_EQ(
      Run("import --landuse " + land.string() + " --developed 1 --geo --out " + town.string()), 0)
      << err_;
  EXPECT_NE(err_.find("pixel units"), std::string::npos) << err_;
  EXPECT_NE(err_.find("1200 developed fine cells"), std::string::npos) << err_;
  for (const char* name : {"world.json", "map.png", "landuse.tif", "cells.tif", "network.gpkg"}) {
    EXPECT_TRUE(fs::exists(town / name)) << name;
  }
  const std::string world = (town / "world.json").string();
  const fs::path measured = dir_ / "measured";
  ASSERT_EQ(Run("analyse --from " + world + " --table " + (dir_ / "t.csv").string() + " --out " +
                measured.string()),
            0)
      << err_;
  const nlohmann::json measures = nlohmann::json::parse(Read(measured / "measures.json"));
  const nlohmann::json values = measures["ValueList"];
  EXPECT_TRUE(std::any_of(values.begin(), values.end(), [](const nlohmann::json& row) {
    return row[0] == "D_grid" && row[1] != "-";
  })) << values;
  EXPECT_TRUE(fs::exists(dir_ / "t.csv"));
  ASSERT_EQ(Run("export --from " + world + " --out " + (dir_ / "gis").string()), 0) << err_;
  EXPECT_TRUE(fs::exists(dir_ / "gis" / "network.gpkg"));

  const fs::path points = dir_ / "points.geojson";
  std::ofstream(points) << R"({"type": "FeatureCollection", "features": [{"type": "Feature",
      "geometry": {"type": "Point", "coordinates": [1, 1]}, "properties": {}}]})";
  const fs::path out = dir_ / "bad";
  const std::string developed = " --developed 1 --out " + out.string();
  const std::pair<std::string, std::string> bad[] = {
      {"import --landuse " + (dir_ / "none.tif").string() + developed, "none.tif"},
      {"import --landuse /dev/zero" + developed, "not a regular file"},
      {"import --landuse " + land.string() + " --streets /dev/zero" + developed,
       "not a regular file"},
      {"import --landuse " + land.string() + " --band 2" + developed, "no band 2"},
      {"import --landuse " + land.string() + " --developed 9 --out " + out.string(),
       "no fine cell is developed"},
      {"import --landuse " + land.string() + " --bbox 100,100,200,200" + developed,
       "outside the raster"},
      {"import --landuse " + land.string() + " --fine-cell 0.0001" + developed,
       "more than a drawing area of 20000 pixels holds"},
      {"import --landuse " + land.string() + " --fine-cell 1e-300" + developed,
       "--fine-cell 1e-300"},
      {"import --landuse " + land.string() + " --streets " + points.string() + developed,
       "no layer of lines"},
      {"import --landuse " + land.string() + " --streets " + land.string() + developed,
       "cannot read the vector file"},
  };
  for (const auto& [args, message] : bad) {
    SCOPED_TRACE(args);
    EXPECT_EQ(Run(args), 2);
    EXPECT_NE(err_.find(message), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(out));
  }

  // A world wider than 4 096 px is pictured at 4 096 px on its longer side.
  const fs::path large = dir_ / "large";
  ASSERT_EQ(Run("import --landuse " + land.string() + " --developed 1 --cell-size 210 --out " +
                large.string()),
            0)
      << err_;
  EXPECT_NE(err_.find("map.png drawn at 4096 x 4096 px for a map of 4200 x 4200 px"),
            std::string::npos)
      << err_;
  const std::string png = Read(large / "map.png");
  EXPECT_EQ(PngSize(png), (std::pair<unsigned, unsigned>{4096, 4096}));

  // Commands on the saved world picture it alike, from its grids; every pixel on request.
  const std::string saved = (large / "world.json").string();
  ASSERT_EQ(Run("run --from " + saved + " --steps 0 --out " + (dir_ / "ran").string()), 0) << err_;
  EXPECT_EQ(Read(dir_ / "ran" / "map.png"), png);
  ASSERT_EQ(Run("analyse --from " + saved + " --out " + (dir_ / "analysed").string()), 0) << err_;
  EXPECT_NE(err_.find("--full-picture draws every pixel"), std::string::npos) << err_;
  EXPECT_EQ(PngSize(Read(dir_ / "analysed" / "map.png")),
            (std::pair<unsigned, unsigned>{4096, 4096}));
  ASSERT_EQ(
      Run("run --from " + saved + " --steps 0 --full-picture --out " + (dir_ / "full").string()), 0)
      << err_;
  EXPECT_EQ(PngSize(Read(dir_ / "full" / "map.png")), (std::pair<unsigned, unsigned>{4200, 4200}));
}

}  // namespace
