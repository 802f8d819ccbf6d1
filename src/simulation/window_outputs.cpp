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
  const char* name;
  const char* title;
  const char* bottom;
  const char* left;
  const char* right = "";
  bool legend = true;
};

constexpr ChartEntry kCharts[] = {
    {"Chart_fractal", "Fractal Radial Analysis", "log (radius)", "log (number developed cells)"},
    {"Ch_clusterSize", "Cluster Sizes", "cluster", "number of cells"},
    // The rank-size analysis replaces this title with its r² and slope.
    {"Chart_rank", "Rank-Size (RS)", "log rank", "log cluster size"},
    {"Chart_denseA", "Density of Developed Cells", "region", "density"},
    {"Chart_denseD", "Density Streets and Roads", "region", "density"},
    {"Chart_ConnPot", "Potential / Connectivity", "connectivity", "potential"},
    {"Chart_PotDens", "Potential / Density", "density", "potential"},
    // One series that the title and the axes already name.
    {"Chart_nodes", "Edges per Node", "edges / node", "number of nodes", "", false},
    {"Chart_FractGrid", "Fractal Grid Analysis", "log (number of tiles)",
     "log (number developed cells)"},
    {"Chart_IS", "Index of Segregation (IS) and RS", "time", "IS & RS"},
    {"Chart_nNb", " build on cell neighbours per build on cell", "build on cell-type",
     "free von Neuman neighbours"},
    {"Chart_resForce", "Resulting Force (from Centripetal and Centrifugal)", "potential", "force"},
    {"Chart1", "ratio sub-types ", "time", "build on & free / all", "ratio build on / free"},
    {"Chart2", "ratio to main-types to all cells", "time", "streets / free / buildings", "empty"},
    {"Chart_buildAna", "Analyse Building Rules", "building rule ", "ratio B/G | >three | >two",
     "mean length | D rad"},
};

constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kLime = 0x00FF00;
constexpr std::uint32_t kGreen = 0x008000;
constexpr std::uint32_t kBlue = 0xFF0000;
constexpr std::uint32_t kYellow = 0x00FFFF;
constexpr std::uint32_t kOrange = 0x0080FF;
constexpr std::uint32_t kAzure = 0xFF8000;

// One series of a chart. A series without a title of its own is labelled with its name, as
// the chart legend would show it; a derived series names its source in the same chart.
struct SeriesEntry {
  const char* chart;
  const char* name;
  const char* title = nullptr;
  SeriesKind kind = SeriesKind::Line;
  DerivedKind derived = DerivedKind::None;
  const char* source = nullptr;
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

constexpr SeriesEntry Data(const char* chart, const char* name, const char* title,
                           SeriesKind kind) {
  return {chart, name, title, kind};
}

constexpr SeriesEntry Derived(DerivedKind kind, const char* chart, const char* name,
                              const char* title, const char* source) {
  return {chart, name, title, SeriesKind::Line, kind, source};
}

constexpr SeriesEntry Trend(const char* chart, const char* name, const char* title,
                            const char* source) {
  return Derived(DerivedKind::Trend, chart, name, title, source);
}

constexpr SeriesEntry Average(const char* chart, const char* name, const char* title,
                              const char* source) {
  return Derived(DerivedKind::Average, chart, name, title, source);
}

// Correlation series only hold r for the analyses to read back, so they are never drawn;
// they sit on the right axis to keep r off the data's scale should a user show them.
constexpr SeriesEntry Correlation(const char* chart, const char* name, const char* source) {
  return Derived(DerivedKind::Correlation, chart, name, nullptr, source).OnRight().Hidden();
}

constexpr SeriesKind kPoint = SeriesKind::Point;
constexpr SeriesKind kLine = SeriesKind::Line;
constexpr SeriesKind kBar = SeriesKind::Bar;
constexpr SeriesKind kArea = SeriesKind::Area;
constexpr SeriesKind kStacked = SeriesKind::StackedArea;

constexpr SeriesEntry kSeries[] = {
    Data("Chart_fractal", "ser_fract", "edges", kPoint).Colored(kRed),
    Trend("Chart_fractal", "ser_fractTrend", "edges trend", "ser_fract"),
    Correlation("Chart_fractal", "ser_fractCorr1", "ser_fract"),
    Data("Chart_fractal", "ser_f2", "nodes", kPoint).Colored(kLime),
    Trend("Chart_fractal", "ser_ft2", "nodes trend", "ser_f2").Colored(kGreen),
    Correlation("Chart_fractal", "ser_fractCorr2", "ser_f2"),
    Data("Chart_fractal", "ser_devFract", "developed", kPoint).Colored(kAzure),
    Trend("Chart_fractal", "ser_devFractTrend", "developed tr.", "ser_devFract").Colored(kBlue),
    Correlation("Chart_fractal", "ser_devFractCorr", "ser_devFract"),

    Data("Ch_clusterSize", "bar_clusterSize", nullptr, kBar).WithMarks(),

    Data("Chart_rank", "ser_rank", nullptr, kLine),
    Trend("Chart_rank", "ser_rankTrend", nullptr, "ser_rank"),
    Correlation("Chart_rank", "ser_rankCorr", "ser_rank"),

    Data("Chart_denseA", "ser_devDense", nullptr, kArea),

    Data("Chart_denseD", "ser_buildDense", nullptr, kStacked).Colored(kBlue),
    Data("Chart_denseD", "ser_streetDense", nullptr, kStacked).Colored(kYellow),

    Data("Chart_ConnPot", "ser_ConnPot", nullptr, kPoint),
    Correlation("Chart_ConnPot", "ser_ConnPotCorr", "ser_ConnPot"),

    Data("Chart_PotDens", "ser_PotDense", nullptr, kPoint),
    Correlation("Chart_PotDens", "ser_PotDenseCorr", "ser_PotDense"),

    Data("Chart_nodes", "Ser_Edges", nullptr, kBar).Colored(kOrange).WithMarks(),

    Data("Chart_FractGrid", "ser_DGrid", "grid_ana", kPoint).Colored(kRed),
    Trend("Chart_FractGrid", "ser_DGrid_Slope", "trend", "ser_DGrid"),
    Correlation("Chart_FractGrid", "ser_DGrid_Corr", "ser_DGrid"),

    Data("Chart_IS", "ser_IS", "IS", kLine),
    Data("Chart_IS", "ser_RS", "RS", kLine).Colored(kBlue),

    Data("Chart_nNb", "ser_freeNb", nullptr, kBar),

    // Its callback reads the simulation's settings, so setup attaches it.
    Derived(DerivedKind::Function, "Chart_resForce", "ser_custFkt", nullptr, nullptr),

    Data("Chart1", "ser_blue_all", "build", kLine),
    Data("Chart1", "ser_green_all", "free", kLine),
    Data("Chart1", "ser_blue_green", "ratio", kLine).OnRight(),

    Data("Chart2", "ser_white_all", "empty", kLine).OnRight(),
    Data("Chart2", "ser_street_all", "streets", kLine),
    Data("Chart2", "ser_dev_all", "dev.", kLine),

    // The rule study's trend lines stay hidden until a user asks for them.
    Data("Chart_buildAna", "ser_ratBlueGreen", "ratio B/G", kPoint),
    Trend("Chart_buildAna", "trend_ratBlueGreen", "trend_ratio B/G", "ser_ratBlueGreen").Hidden(),
    Average("Chart_buildAna", "avg_ratBlueGreen", "avg_ratio B/G", "ser_ratBlueGreen"),
    Data("Chart_buildAna", "ser_greaterThree", "> three", kPoint),
    Trend("Chart_buildAna", "trend_greaterThree", "trend_> three", "ser_greaterThree").Hidden(),
    Average("Chart_buildAna", "avg_greaterThree", "avg_> three", "ser_greaterThree"),
    Data("Chart_buildAna", "ser_greaterTwo", "> two", kPoint),
    Trend("Chart_buildAna", "trend_greaterTwo", "trend_> Two", "ser_greaterTwo").Hidden(),
    Average("Chart_buildAna", "avg_greaterTwo", "avg_> two", "ser_greaterTwo"),
    Data("Chart_buildAna", "ser_bML", "ML", kPoint).OnRight(),
    Trend("Chart_buildAna", "trend_bML", "trend_ML", "ser_bML").OnRight().Hidden(),
    Average("Chart_buildAna", "avg_bML", "avg_ML", "ser_bML").OnRight(),
    Data("Chart_buildAna", "ser_D_rad", "D rad", kPoint).OnRight(),
    Trend("Chart_buildAna", "trend_D_rad", nullptr, "ser_D_rad").OnRight().Hidden(),
    Average("Chart_buildAna", "avg_D_rad", "avg_D rad", "ser_D_rad").OnRight(),
};

// The building-rule study averages the runs of one rule; until its first start the period
// follows the window's "rounds per rule".
int RoundsPerRule() {
  return static_cast<int>(
      ParseInteger(SimulationSettings().Get(setting::kRoundsPerRule).default_text));
}

chart::Series& AddSeries(chart::Chart& chart, const SeriesEntry& entry) {
  std::string title = entry.title != nullptr ? entry.title : entry.name;
  if (entry.derived == DerivedKind::None) {
    return chart.AddSeries(entry.name, std::move(title), entry.kind);
  }
  if (entry.derived == DerivedKind::Function) {
    chart::Series& series = chart.AddSeries(entry.name, std::move(title), entry.kind);
    series.BindTo(DerivedKind::Function, nullptr);
    return series;
  }
  const chart::Series* source = chart.Find(entry.source);
  if (source == nullptr) {
    throw std::logic_error(std::string("series ") + entry.name + " lists its source " +
                           entry.source + " after itself or in another chart");
  }
  chart::Series& series =
      chart.AddDerived(entry.name, std::move(title), entry.derived, *source, entry.kind);
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
