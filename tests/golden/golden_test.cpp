// The pinned seeded outputs: every case of cases.txt is run as a user runs it, and the files
// it writes must match the stored ones exactly. A mismatch names the first differing key.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;  // keeps the file's key order, so "first" means first

const fs::path kGoldenDir = VELTMOOR_GOLDEN_DIR;
const char* const kUpdateHint = "\n(after a deliberate change of results: make update-golden)";

struct GoldenCase {
  std::string name;
  std::string args;
};

void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << c.args;
}

std::vector<GoldenCase> ReadCases() {
  std::vector<GoldenCase> cases;
  std::ifstream in(kGoldenDir / "cases.txt");
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    GoldenCase c;
    if (!(fields >> c.name) || c.name.front() == '#') {
      continue;
    }
    std::getline(fields >> std::ws, c.args);
    cases.push_back(c);
  }
  return cases;
}

std::string Short(const Json& value) {
  std::string text = value.dump();
  return text.size() > 120 ? text.substr(0, 117) + "..." : text;
}

// Where `found` first departs from `expected`, in document order, as "path: expected X,
// found Y"; empty when they are equal.
std::string FirstDifference(const Json& expected, const Json& found, const std::string& path) {
  const bool bothNumbers = expected.is_number() && found.is_number();
  if (expected.type() != found.type() && !bothNumbers) {
    return path + ": expected " + Short(expected) + ", found " + Short(found);
  }
  if (expected.is_object()) {
    for (const auto& [key, value] : expected.items()) {
      if (!found.contains(key)) {
        return path + "." + key + ": expected " + Short(value) + ", found no such key";
      }
      std::string difference = FirstDifference(value, found[key], path + "." + key);
      if (!difference.empty()) {
        return difference;
      }
    }
    for (const auto& [key, value] : found.items()) {
      if (!expected.contains(key)) {
        return path + "." + key + ": not pinned, found " + Short(value);
      }
    }
    return {};
  }
  if (expected.is_array()) {
    const std::size_t common = std::min(expected.size(), found.size());
    for (std::size_t i = 0; i < common; ++i) {
      std::string difference =
          FirstDifference(expected[i], found[i], path + "[" + std::to_string(i) + "]");
      if (!difference.empty()) {
        return difference;
      }
    }
    if (expected.size() != found.size()) {
      return path + ": expected " + std::to_string(expected.size()) + " elements, found " +
             std::to_string(found.size());
    }
    return {};
  }
  return expected == found ? std::string()
                           : path + ": expected " + Short(expected) + ", found " + Short(found);
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string FirstCsvDifference(const std::string& expected, const std::string& found) {
  std::istringstream e(expected);
  std::istringstream f(found);
  std::string el;
  std::string fl;
  for (int line = 1;; ++line) {
    const bool moreExpected = static_cast<bool>(std::getline(e, el));
    const bool moreFound = static_cast<bool>(std::getline(f, fl));
    if (!moreExpected && !moreFound) {
      return {};
    }
    if (!moreExpected || !moreFound || el != fl) {
      return "line " + std::to_string(line) + ": expected '" + (moreExpected ? el : "<end>") +
             "', found '" + (moreFound ? fl : "<end>") + "'";
    }
  }
}

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {
 protected:
  void SetUp() override {
    const char* exe = std::getenv("VELTMOOR_BATCH");
    exe_ = exe != nullptr ? exe : VELTMOOR_BATCH_PATH;
    dir_ = fs::temp_directory_path() /
           ("veltmoor-golden-" + GetParam().name + "-" + std::to_string(getpid()));
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string exe_;
  fs::path dir_;
};

TEST_P(GoldenTest, MatchesThePinnedOutputs) {
  const GoldenCase& c = GetParam();
  const fs::path out = dir_ / "out";
  const std::string command =
      exe_ + " " + c.args + " --out " + out.string() + " > /dev/null 2> " + (dir_ / "err").string();
  fs::create_directories(dir_);
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadText(dir_ / "err");

  const fs::path pinned = kGoldenDir / c.name;
  for (const char* file : {"world.json", "measures.json", "study.csv"}) {
    SCOPED_TRACE(file);
    ASSERT_EQ(fs::exists(pinned / file), fs::exists(out / file)) << kUpdateHint;
    if (!fs::exists(pinned / file)) {
      continue;
    }
    const std::string expected = ReadText(pinned / file);
    const std::string found = ReadText(out / file);
    const std::string difference =
        fs::path(file).extension() == ".csv"
            ? FirstCsvDifference(expected, found)
            : FirstDifference(Json::parse(expected), Json::parse(found), "$");
    EXPECT_EQ(difference, "") << c.name << "/" << file << " " << difference << kUpdateHint;
  }
}

std::string TestName(const ::testing::TestParamInfo<GoldenCase>& param) {
  std::string name = param.param.name;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Pinned, GoldenTest, ::testing::ValuesIn(ReadCases()), TestName);

// The comparison itself: it must find a last-bit change deep in a grid and say where.
TEST(GoldenDifference, NamesTheFirstDifferingKeyPathAndBothValues) {
  const Json pinned = Json::parse(R"({"A": 1, "Grid": [[0.5, 0.25], [1, 2]], "B": {"C": "x"}})");
  Json found = pinned;
  found["Grid"][1][0] = 1.0000001;
  found["B"]["C"] = "y";
  EXPECT_EQ(FirstDifference(pinned, found, "$"), "$.Grid[1][0]: expected 1, found 1.0000001");
  found = pinned;
  found["Grid"][0].push_back(3);
  EXPECT_EQ(FirstDifference(pinned, found, "$"), "$.Grid[0]: expected 2 elements, found 3");
  found.erase("A");
  EXPECT_EQ(FirstDifference(pinned, found, "$"), "$.A: expected 1, found no such key");
  EXPECT_EQ(FirstDifference(pinned, pinned, "$"), "");
  EXPECT_EQ(FirstCsvDifference("a\nb\n", "a\nc\n"), "line 2: expected 'b', found 'c'");
  EXPECT_EQ(FirstCsvDifference("a\n", "a\nc\n"), "line 2: expected '<end>', found 'c'");
}

}  // namespace
