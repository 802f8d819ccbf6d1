#include "chart/chart_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "support/scratch_folder.h"

namespace veltmoor::chart {
namespace {

namespace fs = std::filesystem;

class ChartFileTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = scratch_.path(); }
  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  veltmoor::testing::ScratchFolder scratch_{"chart"};
  fs::path folder_;
};

// Two derived series ahead of their source in the order, so loading must bind by name
// after every series exists, and names that sort differently from the chart's order.
std::unique_ptr<Chart> StudyChart() {
  auto chart = std::make_unique<Chart>("Chart_IS", "mean length / min distance");
  chart->SetAxisTitles("min. distance (minDist)", "mean length (ml)", "r");
  Series& data = chart->AddSeries("zz_data", "data", SeriesKind::Point);
  data.SetOrder(XOrder::Ascending);
  for (const Point& p : std::vector<Point>{{2, 5}, {1, 3}, {2, 7}, {1, 4}}) {
    data.Add(p.x, p.y);
  }
  data.Add(3, -std::numeric_limits<double>::infinity());
  Series& average = chart->AddDerived("avg", "Series_IS_Avg", DerivedKind::Average, data);
  average.SetPeriod(2);
  Series& fit = chart->AddDerived("fit", "fit", DerivedKind::CurveFit, data);
  fit.SetDegree(1);
  fit.SetVisible(false);
  Series& deviation =
      chart->AddDerived("m_sd", "sd", DerivedKind::StdDeviation, data, SeriesKind::Bar);
  deviation.SetVerticalAxis(AxisSide::Right);
  deviation.SetColor(0x00FF8000);
  deviation.SetShowMarks(true);
  Series& curve = chart->AddSeries("a_curve", "force", SeriesKind::StackedArea);
  curve.SetFunction([](double x) { return x * x; }, 0, 0.5, 3);
  chart->RecomputeDerived();
  return chart;
}

TEST_F(ChartFileTest, SaveAndLoadRestoresEverySeriesInOrder) {
  const auto original = StudyChart();
  const std::string path = PathOf("study_1.tee");
  SaveChartFile(*original, path);
  EXPECT_FALSE(fs::exists(path + ".tmp"));

  const auto loaded = LoadChartFile(path);
  EXPECT_EQ(loaded->Name(), "Chart_IS");
  EXPECT_EQ(loaded->Title(), original->Title());
  EXPECT_EQ(loaded->BottomAxisTitle(), "min. distance (minDist)");
  EXPECT_EQ(loaded->LeftAxisTitle(), "mean length (ml)");
  EXPECT_EQ(loaded->RightAxisTitle(), "r");
  ASSERT_EQ(loaded->AllSeries().size(), original->AllSeries().size());
  for (std::size_t i = 0; i < loaded->AllSeries().size(); ++i) {
    const Series& want = *original->AllSeries()[i];
    const Series& got = *loaded->AllSeries()[i];
    SCOPED_TRACE(want.Name());
    EXPECT_EQ(got.Name(), want.Name());
    EXPECT_EQ(got.Title(), want.Title());
    EXPECT_EQ(got.Kind(), want.Kind());
    EXPECT_EQ(got.Visible(), want.Visible());
    EXPECT_EQ(got.VerticalAxis(), want.VerticalAxis());
    EXPECT_EQ(got.Color(), want.Color());
    EXPECT_EQ(got.ShowMarks(), want.ShowMarks());
    EXPECT_EQ(got.Order(), want.Order());
    EXPECT_EQ(got.Derived(), want.Derived());
    EXPECT_EQ(got.Period(), want.Period());
    EXPECT_EQ(got.Degree(), want.Degree());
    ASSERT_EQ(got.Count(), want.Count());
    for (std::size_t k = 0; k < got.Count(); ++k) {
      EXPECT_EQ(got.XValue(k), want.XValue(k));
      // A value JSON cannot hold comes back as NaN, still at its index.
      if (std::isfinite(want.YValue(k))) {
        EXPECT_EQ(got.YValue(k), want.YValue(k));
      } else {
        EXPECT_TRUE(std::isnan(got.YValue(k)));
      }
    }
  }

  // Derived series are bound again and keep computing; the function has no callback.
  const Series* data = loaded->Find("zz_data");
  EXPECT_EQ(loaded->Find("avg")->Source(), data);
  Series& loaded_data = *loaded->Find("zz_data");
  loaded_data.Add(0, 1);
  loaded->RecomputeDerived();
  EXPECT_EQ(loaded->Find("avg")->Points(), (std::vector<Point>{{0.5, 2}, {1.5, 4.5}}));
  EXPECT_EQ(loaded->Find("a_curve")->Points(), original->Find("a_curve")->Points());
  EXPECT_EQ(loaded->Find("a_curve")->FunctionCount(), 3);
}

TEST_F(ChartFileTest, JsonUsesTheSharedKeyLayout) {
  const nlohmann::json json = ChartToJson(*StudyChart());
  EXPECT_EQ(json.at("Title"), "mean length / min distance");
  EXPECT_EQ(json.at("SeriesOrder"),
            nlohmann::json::array({"zz_data", "avg", "fit", "m_sd", "a_curve"}));
  const nlohmann::json& sd = json.at("Series").at("m_sd");
  EXPECT_EQ(sd.at("Kind"), "bar");
  EXPECT_EQ(sd.at("Visible"), true);
  EXPECT_EQ(json.at("Series").at("a_curve").at("Kind"), "stacked-area");
  EXPECT_EQ(json.at("Series").at("fit").at("Visible"), false);
  EXPECT_EQ(json.at("Series").at("avg").at("Points"),
            nlohmann::json::parse("[[1.0, 3.5], [2.0, 6.0]]"));
  EXPECT_EQ(SeriesKindName(SeriesKind::Point), "point");
  EXPECT_EQ(SeriesKindFromName("line"), SeriesKind::Line);
}

TEST_F(ChartFileTest, ErrorsNameThePath) {
  const auto chart = StudyChart();
  // A folder cannot be made where a plain file already stands.
  const std::string blocker = PathOf("plain_file");
  std::ofstream(blocker) << "x";
  const std::string unwritable = blocker + "/study.tee";
  try {
    SaveChartFile(*chart, unwritable);
    FAIL() << "saving below a plain file succeeded";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(unwritable), std::string::npos);
  }

  const std::string missing = PathOf("none.tee");
  EXPECT_THROW(LoadChartFile(missing), std::runtime_error);

  const std::string malformed = PathOf("bad.tee");
  for (const char* text : {"{\"Title\": ", R"({"Title": "t", "BottomAxis": "x"})",
                           R"({"Title": "t", "BottomAxis": "x", "LeftAxis": "y",
                               "Series": {"s": {"Title": "s", "Kind": "pie",
                               "Visible": true, "Points": []}}})"}) {
    std::ofstream(malformed) << text;
    try {
      LoadChartFile(malformed);
      ADD_FAILURE() << "loaded " << text;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(malformed), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace veltmoor::chart
