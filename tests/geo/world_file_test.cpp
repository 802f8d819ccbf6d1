// The world file is written member by member and grid column by grid column and read back
// streaming; it must stay the one JSON document earlier versions wrote, read back to the
// same world, and refuse every value outside its range by the key's name.
#include "geo/world_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "growth/run_control.h"
#include "simulation/setup.h"
#include "support/scratch_folder.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

using json = nlohmann::json;

// A boom town of `steps` steps on a fixed seed.
void Grow(testing::TestSimulation& t, int steps) {
  t.random.SetFixedSeed(5);
  t.settings.SetChecked(setting::kBoom, true);
  NewSetup(t.sim);
  StartRun(t.sim);
  for (int i = 0; i < steps; ++i) {
    SimulationStep(t.sim);
  }
}

const Georeference kPlace{"", 500000.0, 5300000.0, 10.0};

// The text of a small grown world, made once.
const std::string& SmallWorld() {
  static const std::string text = [] {
    testing::TestSimulation t(240, 180);
    Grow(t, 25);
    return WorldJsonText(t.sim, 5u, kPlace);
  }();
  return text;
}

// The document's settings in force, as the desktop program loads them.
void TakeSettings(const WorldDocument& document, MapSettings& settings) {
  for (const auto& [name, value] : document.settings) {
    settings.Set(SettingName{name}, value);
  }
}

// The document restored into a simulation of its own settings.
std::string RestoredText(WorldDocument document) {
  testing::TestSimulation t(1, 1);
  TakeSettings(document, t.settings);
  const auto seed = document.seed;
  const auto place = document.georeference;
  RestoreWorld(std::move(document), t.sim);
  return WorldJsonText(t.sim, seed, place);
}

TEST(WorldFileTest, StreamedDocumentIsTheCompactJsonOfItselfAndRestoresToTheSameWorld) {
  const std::string& text = SmallWorld();
  // Keys in sorted order, no spaces, one line end: what dumping the parsed document gives.
  EXPECT_EQ(json::parse(text).dump() + "\n", text);
  EXPECT_EQ(RestoredText(ParseWorldDocument(text)), text);

  // Another tool may order the members as it likes: every grid then arrives before the
  // counts that give the world's shape.
  json reordered = json::parse(text);
  nlohmann::ordered_json backwards = nlohmann::ordered_json::object();
  for (auto it = reordered.rbegin(); it != reordered.rend(); ++it) {
    backwards[it.key()] = *it;
  }
  EXPECT_EQ(RestoredText(ParseWorldDocument(backwards.dump(2))), text);
}

TEST(WorldFileTest, ARestoredWorldRunsOnAsTheOriginalDoes) {
  testing::TestSimulation original(240, 180);
  Grow(original, 25);
  testing::TestSimulation resumed(1, 1);
  WorldDocument document = ParseWorldDocument(WorldJsonText(original.sim, 5u));
  TakeSettings(document, resumed.settings);
  RestoreWorld(std::move(document), resumed.sim);
  for (int i = 0; i < 15; ++i) {
    SimulationStep(original.sim);
    SimulationStep(resumed.sim);
  }
  EXPECT_EQ(WorldJsonText(resumed.sim, 5u), WorldJsonText(original.sim, 5u));
}

TEST(WorldFileTest, AFileIsReadInChunksWithProgressAndCanBeCancelled) {
  testing::TestSimulation t(420, 420);
  t.settings.Set(setting::kCellScale, "3");
  Grow(t, 2);
  const std::string text = WorldJsonText(t.sim, 5u);
  ASSERT_GT(text.size(), 2U << 20);  // several chunks
  const testing::ScratchFolder scratch("world-file");
  const auto path = scratch.path() / "world.json";
  std::ofstream(path, std::ios::binary) << text;

  std::vector<double> seen;
  const WorldDocument document = ReadWorldFile(path.string(), [&seen](double fraction) {
    seen.push_back(fraction);
    return true;
  });
  EXPECT_EQ(RestoredText(document), text);
  ASSERT_GE(seen.size(), 3U);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_GT(seen.front(), 0.0);
  EXPECT_LE(seen.back(), 1.0);

  EXPECT_THROW(ReadWorldFile(path.string(), [](double) { return false; }), WorldReadCancelled);
}

// One key's range: its lowest and highest values are read, one beyond either end is
// refused naming the key.
struct Bound {
  const char* pointer;  // JSON pointer into the small world
  const char* named;    // what the message names
  json min, max, below, above;
};

TEST(WorldFileTest, EveryKeyIsReadAtBothEndsOfItsRangeAndRefusedBeyond) {
  const json good = json::parse(SmallWorld());
  const long long fine_cells =
      9LL * good["ColumnCount"].get<long long>() * good["RowCount"].get<long long>();
  const long long int_min = std::numeric_limits<std::int32_t>::min();
  const double float_max = std::numeric_limits<float>::max();
  const json none;  // no value beyond this end (a float's or an integer type's end)
  const Bound bounds[] = {
      {"/TimeStep", "'TimeStep'", 0, 4294967295LL, -1, 4294967296LL},
      {"/FieldType", "'FieldType'", 0, 4, -1, 5},
      {"/AnalysisCountdown", "'AnalysisCountdown'", int_min, 10, int_min - 1, 11},
      {"/Seed", "'Seed'", 0, std::numeric_limits<std::uint64_t>::max(), -1, 1.5},
      {"/MeanLength", "'MeanLength'", 0.0, 1.7e308, -1e-9, "1"},
      {"/FineCellTotals/1", "'FineCellTotals[1]'", 0, fine_cells, -1, fine_cells + 1},
      {"/Potential/2/3", "'Potential'", -float_max, float_max, -3.5e38, 3.5e38},
      {"/FinePotential/4/5", "'FinePotential'", -float_max, float_max, -3.5e38, 3.5e38},
      {"/IsDevelopedCount/0/0", "'IsDevelopedCount'", 0, 9, -1, 10},
      {"/CellColor/1/1", "'CellColor'", 0, 0xFFFFFF, -1, 0x1000000},
      {"/FineColor/1/1", "'FineColor'", 0, 0xFFFFFF, -1, 0x1000000},
      {"/ClusterSize/3/3", "'ClusterSize'", 0, std::numeric_limits<std::int32_t>::max(), -1,
       2147483648LL},
      {"/IsDeveloped/0/0", "'IsDeveloped'", false, true, 0, "true"},
      {"/Nodes/0/Radius", "'Nodes[0].Radius'", 1, 1000, 0, 1001},
      {"/Nodes/0/Color", "'Nodes[0].Color'", 0, 0xFFFFFF, -1, 0x1000000},
      {"/Nodes/0/Measure", "'Nodes[0].Measure'", -float_max, float_max, -3.5e38, 3.5e38},
      {"/Random/Reseeds", "'Random.Reseeds'", 0, std::numeric_limits<std::uint64_t>::max(), -1,
       0.5},
      {"/Georeference/OriginX", "'Georeference.OriginX'", -1e9, 1e9, -1.0001e9, 1.0001e9},
      {"/Georeference/OriginY", "'Georeference.OriginY'", -1e9, 1e9, -1.0001e9, 1.0001e9},
      {"/Georeference/FineCellSize", "'Georeference.FineCellSize'", 1e-6, 1e5, 0.0, 1.0001e5},
      // Refused at both ends; their accepted values are the world's own.
      {"/CellSize", "'CellSize'", none, none, 0, 1001},
      {"/Width", "'Width'", none, none, 0, 20001},
      {"/ColumnCount", "'ColumnCount'", none, none, -1, 20001},
      {"/State/0/0", "'State'", none, none, -1, 4},
      {"/DevelopedCount/0/0", "'DevelopedCount'", none, none, -1, 10},
      {"/StreetCount/0/0", "'StreetCount'", none, none, -1, 10},
      {"/LandUse/0/0", "'LandUse'", none, none, -1, 3},
      {"/SubState/0/0", "'SubState'", none, none, -1, 4},
      {"/CellLandUse/0/0", "'CellLandUse'", none, none, -1, 3},
      {"/Nodes/0/Links/0/1", "Links'[0][1]", none, none, 0, 80001},
      {"/Nodes/0/Column", "'Nodes[0].Column'", none, none, -1, 1000},
      {"/CandidateList/0/0", "'CandidateList'", none, none, -1, 1000},
      {"/ClusterSizes/0", "'ClusterSizes'", none, none, 0, fine_cells + 1},
  };
  for (const Bound& b : bounds) {
    const json::json_pointer pointer(b.pointer);
    ASSERT_TRUE(good.contains(pointer)) << b.pointer;
    for (const json* value : {&b.min, &b.max}) {
      if (value->is_null()) {
        continue;
      }
      json w = good;
      w[pointer] = *value;
      EXPECT_NO_THROW(ParseWorldDocument(w.dump())) << b.pointer << " = " << *value;
    }
    for (const json* value : {&b.below, &b.above}) {
      if (value->is_null()) {
        continue;
      }
      json w = good;
      w[pointer] = *value;
      try {
        ParseWorldDocument(w.dump());
        ADD_FAILURE() << b.pointer << " = " << *value << " was accepted";
      } catch (const WorldFileError& e) {
        EXPECT_NE(std::string(e.what()).find(b.named), std::string::npos)
            << b.pointer << " = " << *value << ": " << e.what();
      }
    }
  }
}

TEST(WorldFileTest, HostileFilesAreRefusedByNameWithoutTheirWorldsMemory) {
  const std::string& text = SmallWorld();
  auto refused = [](const std::string& file, const std::string& message) {
    try {
      ParseWorldDocument(file);
      ADD_FAILURE() << "accepted: " << file.substr(0, 80);
    } catch (const WorldFileError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  };
  auto replaced = [&text](const std::string& from, const std::string& to) {
    std::string spoiled = text;
    spoiled.replace(spoiled.find(from), from.size(), to);
    return spoiled;
  };
  refused(replaced("\"MeanLength\":", "\"MeanLength\":1e400,\"X\":"), "'MeanLength'");
  refused(replaced("\"FinePotential\":[[", "\"FinePotential\":[[1e400,"), "'FinePotential'[0][0]");
  refused(replaced("\"TimeStep\":", "\"TimeStep\":1,\"TimeStep\":"), "'TimeStep' appears twice");
  refused(replaced("\"Radius\":", "\"Radius\":5,\"Radius\":"), "'Radius' appears twice");
  refused(replaced("\"Engine\":\"", "\"Engine\":\"1 "), "'Random.Engine'");
  json zero = json::parse(text);
  std::string engine(312 * 2, ' ');
  for (std::size_t i = 0; i < 312; ++i) {
    engine[2 * i] = '0';
  }
  zero["Random"]["Engine"] = engine + "312";
  refused(zero.dump(), "'Random.Engine'");
  // A few bytes claiming 20000 x 20000 cells, with or without grids of that many columns.
  refused(R"({"ColumnCount":20000,"RowCount":20000,"State":[)", "too small to hold");
  refused(R"({"ColumnCount":20000,"State":[[0,0,0],)", "too small to hold");
  refused("{\"Settings\":" + std::string(100000, '['), "nesting deeper");
  refused("{" + std::string(5U << 20, ' '), "MiB of whitespace");
  refused("{\"Settings\":\"" + std::string(5U << 20, 'x'), "MiB of whitespace or of one token");
  refused("[1,2]", "no JSON object");
  refused(text + "x", "not JSON");
}

// Grid values written as another tool may write them (spaces, exponents, a negative zero, a
// column's last value) read as JSON reads them; what JSON does not allow is refused.
TEST(WorldFileTest, GridValuesAreReadInEverySpellingJsonAllows) {
  const std::string& text = SmallWorld();
  const WorldDocument plain = ParseWorldDocument(text);
  const auto fine_rows = 3 * static_cast<std::size_t>(plain.rows);
  auto potentials = [&text](const std::string& first, const std::string& second) {
    std::string spelled = text;
    const std::string key = "\"FinePotential\":[[";
    const std::size_t at = spelled.find(key) + key.size();
    const std::size_t end = spelled.find(',', spelled.find(',', at) + 1);
    spelled.replace(at, end - at, first + "," + second);
    return ParseWorldDocument(spelled).fine;
  };
  auto potential = [](const Grid2D<TFineCell>& fine, int row) { return fine(0, row).Potential; };
  const auto exponents = potentials(" 25E-1 ", "\n-0.5e+1");
  EXPECT_EQ(potential(exponents, 0), 2.5F);
  EXPECT_EQ(potential(exponents, 1), -5.0F);
  const auto zeros = potentials("-0", "-0.0");
  EXPECT_FALSE(std::signbit(potential(zeros, 0)));  // an integer zero has no sign
  EXPECT_TRUE(std::signbit(potential(zeros, 1)));
  EXPECT_EQ(potential(potentials("7", "0.1"), 1), 0.1F);
  for (const char* wrong : {"01", "1.", ".5", "+1", "1e", "0x1", "1.5.5", "true"}) {
    EXPECT_THROW(potentials(wrong, "0"), WorldFileError) << wrong;
    EXPECT_THROW(potentials("0", wrong), WorldFileError) << wrong;
  }
  // The last value of a column, before its bracket, and a count spelled with spaces.
  std::string spaced = text;
  const std::string land = "\"LandUse\":[[";
  const std::size_t last = spaced.find(']', spaced.find(land));
  spaced.insert(last, " ");
  spaced.insert(spaced.rfind(',', last) + 1, "\t");
  const WorldDocument read = ParseWorldDocument(spaced);
  for (std::size_t i = 0; i < fine_rows; ++i) {
    EXPECT_EQ(read.fine.Cells()[i * read.fine.Columns()].LandUse,
              plain.fine.Cells()[i * plain.fine.Columns()].LandUse);
  }
  EXPECT_THROW(ParseWorldDocument(std::string(text).insert(last, "0")), WorldFileError);
}

TEST(WorldFileTest, OnlyRegularFilesAreRead) {
  EXPECT_THROW(ReadWorldFile("/dev/zero"), WorldFileError);
  EXPECT_THROW(ReadWorldFile("/nonexistent/world.json"), WorldFileError);
}

}  // namespace
}  // namespace veltmoor
