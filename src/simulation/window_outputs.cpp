#include "simulation/window_outputs.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "simulation/numbers.h"
#include "simulation/settings.h"

namespace veltmoor {

namespace {

using chart::AxisSide;
using chart::DerivedKind;
using chart::SeriesKind;

struct LabelSpec {
  LabelName name;
  const char* text;
};

// Every label of the window with what it shows before the first setup writes it.
constexpr LabelSpec kLabels[] = {
    {label::kNodeCount, "0"},
    {label::kEdgeCount, "0"},
    {label::kMeanLength, "ML"},
    {label::kTimeStep, "0"},
    {label::kWeightRatio, "0"},
    {label::kScaleRatio, "0"},
    {label::kInverseWeightRatio, "0"},
    {label::kMoreThanOneNeighbour, "___"},
    {label::kMoreThanTwoNeighbours, "___"},
    {label::kMoreThanThreeNeighbours, "___"},
    {label::kColourScale, "1"},
    {label::kColourHalf, "0.5 -"},
    {label::kPathProgress, "calculate pathes..."},
};

struct ValueRowSpec {
  std::string_view key;
  const char* value;
};

// Headings and blank separator rows share the list with the values; keys may repeat.
constexpr ValueRowSpec kValueRows[] = {
    {"Grid Analysis", ""},
    {value_key::kGridDimension.View(), ""},
    {value_key::kGridSlope.View(), ""},
    {"Radial Analysis", ""},
    {value_key::kRadialDimension.View(), "0,33"},
    {value_key::kRadialSlope.View(), "0,33"},
    {"", ""},
    {"Nodes (radial a.)", ""},
    {value_key::kNodeDimension.View(), "0,33"},
    {value_key::kNodeSlope.View(), ""},
    {"Edges (length, radial a.)", ""},
    {value_key::kEdgeDimension.View(), ""},
    {value_key::kEdgeSlope.View(), ""},
    {"", ""},
    {value_key::kSegregation.View(), ""},
    {value_key::kRankSlope.View(), ""},
};

struct ChartEntry {
  chart::ChartName name;
  const char* title;
  const char* bottom;
  const char* left;
  const char* right = "";
  bool legend = true;
};

constexpr ChartEntry kCharts[] = {
    {chart_name::kRadialFractal, "Fractal Radial Analysis", "log (radius)",
     "log (number developed cells)"},
    {chart_name::kClusterSizes, "Cluster Sizes", "cluster", "number of cells"},
    // The rank-size analysis replaces this title with its r² and slope.
    {chart_name::kRankSize, "Rank-Size (RS)", "log rank", "log cluster size"},
    {chart_name::kDevelopedDensity, "Density of Developed Cells", "region", "density"},
    {chart_name::kStreetDensity, "Density Streets and Roads", "region", "density"},
    {chart_name::kPotentialConnectivity, "Potential / Connectivity", "connectivity", "potential"},
    {chart_name::kPotentialDensity, "Potential / Density", "density", "potential"},
    // One series that the title and the axes already name.
    {chart_name::kEdgesPerNode, "Edges per Node", "edges / node", "number of nodes", "", false},
    {chart_name::kGridFractal, "Fractal Grid Analysis", "log (number of tiles)",
     "log (number developed cells)"},
    {chart_name::kSegregation, "Index of Segregation (IS) and RS", "time", "IS & RS"},
    {chart_name::kFreeNeighbours, " build on cell neighbours per build on cell",
     "build on cell-type", "free von Neuman neighbours"},
    {chart_name::kResultingForce, "Resulting Force (from Centripetal and Centrifugal)", "potential",
     "force"},
    {chart_name::kSubTypeRatios, "ratio sub-types ", "time", "build on & free / all",
     "ratio build on / free"},
    {chart_name::kMainTypeRatios, "ratio to main-types to all cells", "time",
     "streets / free / buildings", "empty"},
    {chart_name::kBuildingRules, "Analyse Building Rules", "building rule ",
     "ratio B/G | >three | >two", "mean length | D rad"},
};

constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kLime = 0x00FF00;
constexpr std::uint32_t kGreen = 0x008000;
constexpr std::uint32_t kBlue = 0xFF0000;
constexpr std::uint32_t kYellow = 0x00FFFF;
constexpr std::uint32_t kOrange = 0x0080FF;
constexpr std::uint32_t kAzure = 0xFF8000;

// What a series that is not derived from another names as its source.
constexpr chart::SeriesName kNoSource{""};

// One series of a chart. A series without a title of its own is labelled with its name, as
// the chart legend would show it; a derived series names its source in the same chart.
struct SeriesEntry {
  chart::ChartName chart;
  chart::SeriesName name;
  const char* title = nullptr;
  SeriesKind kind = SeriesKind::Line;
  DerivedKind derived = DerivedKind::None;
  chart::SeriesName source = kNoSource;
  AxisSide axis = AxisSide::Left;
  bool visible = true;
  std::uint32_t color = 0;
  bool marks = false;

  constexpr SeriesEntry Colored(std::uint32_t c) const {
    SeriesEntry copy = *this;
    copy.color = c;
    return copy;
  }
  constexpr SeriesEntry OnRight() const {
    SeriesEntry copy = *this;
    copy.axis = AxisSide::Right;
    return copy;
  }
  constexpr SeriesEntry Hidden() const {
    SeriesEntry copy = *this;
    copy.visible = false;
    return copy;
  }
  constexpr SeriesEntry WithMarks() const {
    SeriesEntry copy = *this;
    copy.marks = true;
    return copy;
  }
};

constexpr SeriesEntry Data(chart::ChartName chart, chart::SeriesName name, const char* title,
                           SeriesKind kind) {
  return {chart, name, title, kind};
}

constexpr SeriesEntry Derived(DerivedKind kind, chart::ChartName chart, chart::SeriesName name,
                              const char* title, chart::SeriesName source) {
  return {chart, name, title, SeriesKind::Line, kind, source};
}

constexpr SeriesEntry Trend(chart::ChartName chart, chart::SeriesName name, const char* title,
                            chart::SeriesName source) {
  return Derived(DerivedKind::Trend, chart, name, title, source);
}

constexpr SeriesEntry Average(chart::ChartName chart, chart::SeriesName name, const char* title,
                              chart::SeriesName source) {
  return Derived(DerivedKind::Average, chart, name, title, source);
}

// Correlation series only hold r for the analyses to read back, so they are never drawn;
// they sit on the right axis to keep r off the data's scale should a user show them.
constexpr SeriesEntry Correlation(chart::ChartName chart, chart::SeriesName name,
                                  chart::SeriesName source) {
  return Derived(DerivedKind::Correlation, chart, name, nullptr, source).OnRight().Hidden();
}

constexpr SeriesKind kPoint = SeriesKind::Point;
constexpr SeriesKind kLine = SeriesKind::Line;
constexpr SeriesKind kBar = SeriesKind::Bar;
constexpr SeriesKind kArea = SeriesKind::Area;
constexpr SeriesKind kStacked = SeriesKind::StackedArea;

constexpr SeriesEntry kSeries[] = {
    Data(chart_name::kRadialFractal, series_name::kEdgeFractal, "edges", kPoint).Colored(kRed),
    Trend(chart_name::kRadialFractal, series_name::kEdgeFractalTrend, "edges trend",
          series_name::kEdgeFractal),
    Correlation(chart_name::kRadialFractal, series_name::kEdgeFractalCorrelation,
                series_name::kEdgeFractal),
    Data(chart_name::kRadialFractal, series_name::kNodeFractal, "nodes", kPoint).Colored(kLime),
    Trend(chart_name::kRadialFractal, series_name::kNodeFractalTrend, "nodes trend",
          series_name::kNodeFractal)
        .Colored(kGreen),
    Correlation(chart_name::kRadialFractal, series_name::kNodeFractalCorrelation,
                series_name::kNodeFractal),
    Data(chart_name::kRadialFractal, series_name::kDevelopedFractal, "developed", kPoint)
        .Colored(kAzure),
    Trend(chart_name::kRadialFractal, series_name::kDevelopedFractalTrend, "developed tr.",
          series_name::kDevelopedFractal)
        .Colored(kBlue),
    Correlation(chart_name::kRadialFractal, series_name::kDevelopedFractalCorrelation,
                series_name::kDevelopedFractal),

    Data(chart_name::kClusterSizes, series_name::kClusterSizes, nullptr, kBar).WithMarks(),

    Data(chart_name::kRankSize, series_name::kRankSize, nullptr, kLine),
    Trend(chart_name::kRankSize, series_name::kRankSizeTrend, nullptr, series_name::kRankSize),
    Correlation(chart_name::kRankSize, series_name::kRankSizeCorrelation, series_name::kRankSize),

    Data(chart_name::kDevelopedDensity, series_name::kDevelopedDensity, nullptr, kArea),

    Data(chart_name::kStreetDensity, series_name::kBuildDensity, nullptr, kStacked).Colored(kBlue),
    Data(chart_name::kStreetDensity, series_name::kStreetDensity, nullptr, kStacked)
        .Colored(kYellow),

    Data(chart_name::kPotentialConnectivity, series_name::kPotentialConnectivity, nullptr, kPoint),
    Correlation(chart_name::kPotentialConnectivity, series_name::kPotentialConnectivityCorrelation,
                series_name::kPotentialConnectivity),

    Data(chart_name::kPotentialDensity, series_name::kPotentialDensity, nullptr, kPoint),
    Correlation(chart_name::kPotentialDensity, series_name::kPotentialDensityCorrelation,
                series_name::kPotentialDensity),

    Data(chart_name::kEdgesPerNode, series_name::kEdgesPerNode, nullptr, kBar)
        .Colored(kOrange)
        .WithMarks(),

    Data(chart_name::kGridFractal, series_name::kGridFractal, "grid_ana", kPoint).Colored(kRed),
    Trend(chart_name::kGridFractal, series_name::kGridFractalTrend, "trend",
          series_name::kGridFractal),
    Correlation(chart_name::kGridFractal, series_name::kGridFractalCorrelation,
                series_name::kGridFractal),

    Data(chart_name::kSegregation, series_name::kSegregationByStep, "IS", kLine),
    Data(chart_name::kSegregation, series_name::kRankSizeByStep, "RS", kLine).Colored(kBlue),

    Data(chart_name::kFreeNeighbours, series_name::kFreeNeighbours, nullptr, kBar),

    // Its callback reads the simulation's settings, so setup attaches it.
    Derived(DerivedKind::Function, chart_name::kResultingForce, series_name::kResultingForce,
            nullptr, kNoSource),

    Data(chart_name::kSubTypeRatios, series_name::kBuildShare, "build", kLine),
    Data(chart_name::kSubTypeRatios, series_name::kFreeShare, "free", kLine),
    Data(chart_name::kSubTypeRatios, series_name::kBuildFreeRatio, "ratio", kLine).OnRight(),

    Data(chart_name::kMainTypeRatios, series_name::kEmptyShare, "empty", kLine).OnRight(),
    Data(chart_name::kMainTypeRatios, series_name::kStreetShare, "streets", kLine),
    Data(chart_name::kMainTypeRatios, series_name::kDevelopedShare, "dev.", kLine),

    // The rule study's trend lines stay hidden until a user asks for them.
    Data(chart_name::kBuildingRules, series_name::kRuleBuildFreeRatio, "ratio B/G", kPoint),
    Trend(chart_name::kBuildingRules, series_name::kRuleBuildFreeRatioTrend, "trend_ratio B/G",
          series_name::kRuleBuildFreeRatio)
        .Hidden(),
    Average(chart_name::kBuildingRules, series_name::kRuleBuildFreeRatioAverage, "avg_ratio B/G",
            series_name::kRuleBuildFreeRatio),
    Data(chart_name::kBuildingRules, series_name::kRuleMoreThanThree, "> three", kPoint),
    Trend(chart_name::kBuildingRules, series_name::kRuleMoreThanThreeTrend, "trend_> three",
          series_name::kRuleMoreThanThree)
        .Hidden(),
    Average(chart_name::kBuildingRules, series_name::kRuleMoreThanThreeAverage, "avg_> three",
            series_name::kRuleMoreThanThree),
    Data(chart_name::kBuildingRules, series_name::kRuleMoreThanTwo, "> two", kPoint),
    Trend(chart_name::kBuildingRules, series_name::kRuleMoreThanTwoTrend, "trend_> Two",
          series_name::kRuleMoreThanTwo)
        .Hidden(),
    Average(chart_name::kBuildingRules, series_name::kRuleMoreThanTwoAverage, "avg_> two",
            series_name::kRuleMoreThanTwo),
    Data(chart_name::kBuildingRules, series_name::kRuleMeanLength, "ML", kPoint).OnRight(),
    Trend(chart_name::kBuildingRules, series_name::kRuleMeanLengthTrend, "trend_ML",
          series_name::kRuleMeanLength)
        .OnRight()
        .Hidden(),
    Average(chart_name::kBuildingRules, series_name::kRuleMeanLengthAverage, "avg_ML",
            series_name::kRuleMeanLength)
        .OnRight(),
    Data(chart_name::kBuildingRules, series_name::kRuleRadialDimension, "D rad", kPoint).OnRight(),
    Trend(chart_name::kBuildingRules, series_name::kRuleRadialDimensionTrend, nullptr,
          series_name::kRuleRadialDimension)
        .OnRight()
        .Hidden(),
    Average(chart_name::kBuildingRules, series_name::kRuleRadialDimensionAverage, "avg_D rad",
            series_name::kRuleRadialDimension)
        .OnRight(),
};

// The building-rule study averages the runs of one rule; until its first start the period
// follows the window's "rounds per rule".
int RoundsPerRule() {
  return static_cast<int>(
      ParseInteger(SimulationSettings().Get(setting::kRoundsPerRule).default_text));
}

chart::Series& AddSeries(chart::Chart& chart, const SeriesEntry& entry) {
  std::string title = entry.title != nullptr ? entry.title : entry.name.Str();
  if (entry.derived == DerivedKind::None) {
    return chart.AddSeries(entry.name.Str(), std::move(title), entry.kind);
  }
  if (entry.derived == DerivedKind::Function) {
    chart::Series& series = chart.AddSeries(entry.name.Str(), std::move(title), entry.kind);
    series.BindTo(DerivedKind::Function, nullptr);
    return series;
  }
  const chart::Series* source = chart.Find(entry.source.Str());
  if (source == nullptr) {
    throw std::logic_error("series " + entry.name.Str() + " lists its source " +
                           entry.source.Str() + " after itself or in another chart");
  }
  chart::Series& series =
      chart.AddDerived(entry.name.Str(), std::move(title), entry.derived, *source, entry.kind);
  if (entry.derived == DerivedKind::Average) {
    series.SetPeriod(RoundsPerRule());
  }
  return series;
}

void CreateCharts(chart::ChartSet& charts) {
  for (const ChartEntry& entry : kCharts) {
    chart::Chart& chart = charts.Add(entry.name, entry.title);
    chart.SetAxisTitles(entry.bottom, entry.left, entry.right);
    chart.SetLegendVisible(entry.legend);
  }
  for (const SeriesEntry& entry : kSeries) {
    chart::Series& series = AddSeries(charts.Get(entry.chart), entry);
    series.SetVerticalAxis(entry.axis);
    series.SetVisible(entry.visible);
    series.SetColor(entry.color);
    series.SetShowMarks(entry.marks);
  }
}

}  // namespace

void CreateSimulationOutputs(Labels& labels, ValueList& valueList, chart::ChartSet& charts) {
  for (const LabelSpec& label : kLabels) {
    labels.Register(label.name);
    labels.Set(label.name, label.text);
  }
  for (const ValueRowSpec& row : kValueRows) {
    valueList.AddRow(std::string(row.key), row.value);
  }
  CreateCharts(charts);
}

}  // namespace veltmoor
