#include "simulation/window_outputs.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "simulation/numbers.h"
#include "simulation/settings.h"

namespace veltmoor {

namespace {

using chart::AxisSide;
using chart::DerivedKind;
using chart::SeriesKind;

struct LabelSpec {
  const char* name;
  const char* text;
};

// What the labels show before the first setup writes them.
constexpr LabelSpec kLabels[] = {
    {"Lbl_nrNodes", "0"},
    {"lbl_nrEdges", "0"},
    {"Lbl_ml", "ML"},
    {"lbl_actTime", "0"},
    {"lbl_rat1", "0"},
    {"lbl_rat2", "0"},
    {"lbl_rat3", "0"},
    {"lbl_grOne", "___"},
    {"lbl_grTwo", "___"},
    {"lbl_grThree", "___"},
    {"Lbl_colScal", "1"},
    {"Lbl_half", "0.5 -"},
    {"lbl_calcer", "calculate pathes..."},
};

struct ValueRowSpec {
  const char* key;
  const char* value;
};

// Headings and blank separator rows share the list with the values; keys may repeat.
constexpr ValueRowSpec kValueRows[] = {
    {"Grid Analysis", ""},
    {"D_grid", ""},
    {"slope_grid", ""},
    {"Radial Analysis", ""},
    {"D_rad", "0,33"},
    {"slope_rad", "0,33"},
    {"", ""},
    {"Nodes (radial a.)", ""},
    {"D_nodes", "0,33"},
    {"slope_nodes", ""},
    {"Edges (length, radial a.)", ""},
    {"D_edge", ""},
    {"slope_edge", ""},
    {"", ""},
    {"IS_developed_cells", ""},
    {"slope_rank", ""},
};

struct ChartSpec {
  const char* name;
  const char* title;
  const char* bottom;
  const char* left;
  const char* right = "";
};

constexpr ChartSpec kCharts[] = {
    {"Chart_fractal", "Fractal Radial Analysis", "log (radius)", "log (number developed cells)"},
    {"Ch_clusterSize", "Cluster Sizes", "cluster", "number of cells"},
    // The rank-size analysis replaces this title with its r² and slope.
    {"Chart_rank", "Rank-Size (RS)", "log rank", "log cluster size"},
    {"Chart_denseA", "Density of Developed Cells", "region", "density"},
    {"Chart_denseD", "Density Streets and Roads", "region", "density"},
    {"Chart_ConnPot", "Potential / Connectivity", "connectivity", "potential"},
    {"Chart_PotDens", "Potential / Density", "density", "potential"},
    {"Chart_nodes", "Edges per Node", "edges / node", "number of nodes"},
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

// A series without a title of its own is labelled with its name, as the chart legend
// would show it. A derived series names its source; a Function series has none.
struct SeriesSpec {
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
};

constexpr SeriesKind kPoint = SeriesKind::Point;
constexpr SeriesKind kBar = SeriesKind::Bar;
constexpr SeriesKind kArea = SeriesKind::Area;
constexpr SeriesKind kStacked = SeriesKind::StackedArea;
constexpr AxisSide kRight = AxisSide::Right;
constexpr DerivedKind kTrend = DerivedKind::Trend;
constexpr DerivedKind kAverage = DerivedKind::Average;
constexpr DerivedKind kCorrelation = DerivedKind::Correlation;

// Correlation series only hold r for the analyses to read back, so they are never drawn;
// they sit on the right axis to keep r off the data's scale should a user show them.
constexpr SeriesSpec kSeries[] = {
    {.chart = "Chart_fractal",
     .name = "ser_fract",
     .title = "edges",
     .kind = kPoint,
     .color = kRed},
    {.chart = "Chart_fractal",
     .name = "ser_fractTrend",
     .title = "edges trend",
     .derived = kTrend,
     .source = "ser_fract"},
    {.chart = "Chart_fractal",
     .name = "ser_fractCorr1",
     .derived = kCorrelation,
     .source = "ser_fract",
     .axis = kRight,
     .visible = false},
    {.chart = "Chart_fractal", .name = "ser_f2", .title = "nodes", .kind = kPoint, .color = kLime},
    {.chart = "Chart_fractal",
     .name = "ser_ft2",
     .title = "nodes trend",
     .derived = kTrend,
     .source = "ser_f2",
     .color = kGreen},
    {.chart = "Chart_fractal",
     .name = "ser_fractCorr2",
     .derived = kCorrelation,
     .source = "ser_f2",
     .axis = kRight,
     .visible = false},
    {.chart = "Chart_fractal",
     .name = "ser_devFract",
     .title = "developed",
     .kind = kPoint,
     .color = kAzure},
    {.chart = "Chart_fractal",
     .name = "ser_devFractTrend",
     .title = "developed tr.",
     .derived = kTrend,
     .source = "ser_devFract",
     .color = kBlue},
    {.chart = "Chart_fractal",
     .name = "ser_devFractCorr",
     .derived = kCorrelation,
     .source = "ser_devFract",
     .axis = kRight,
     .visible = false},

    {.chart = "Ch_clusterSize", .name = "bar_clusterSize", .kind = kBar, .marks = true},

    {.chart = "Chart_rank", .name = "ser_rank"},
    {.chart = "Chart_rank", .name = "ser_rankTrend", .derived = kTrend, .source = "ser_rank"},
    {.chart = "Chart_rank",
     .name = "ser_rankCorr",
     .derived = kCorrelation,
     .source = "ser_rank",
     .axis = kRight,
     .visible = false},

    {.chart = "Chart_denseA", .name = "ser_devDense", .kind = kArea},

    {.chart = "Chart_denseD", .name = "ser_buildDense", .kind = kStacked, .color = kBlue},
    {.chart = "Chart_denseD", .name = "ser_streetDense", .kind = kStacked, .color = kYellow},

    {.chart = "Chart_ConnPot", .name = "ser_ConnPot", .kind = kPoint},
    {.chart = "Chart_ConnPot",
     .name = "ser_ConnPotCorr",
     .derived = kCorrelation,
     .source = "ser_ConnPot",
     .axis = kRight,
     .visible = false},

    {.chart = "Chart_PotDens", .name = "ser_PotDense", .kind = kPoint},
    {.chart = "Chart_PotDens",
     .name = "ser_PotDenseCorr",
     .derived = kCorrelation,
     .source = "ser_PotDense",
     .axis = kRight,
     .visible = false},

    {.chart = "Chart_nodes", .name = "Ser_Edges", .kind = kBar, .color = kOrange, .marks = true},

    {.chart = "Chart_FractGrid",
     .name = "ser_DGrid",
     .title = "grid_ana",
     .kind = kPoint,
     .color = kRed},
    {.chart = "Chart_FractGrid",
     .name = "ser_DGrid_Slope",
     .title = "trend",
     .derived = kTrend,
     .source = "ser_DGrid"},
    {.chart = "Chart_FractGrid",
     .name = "ser_DGrid_Corr",
     .derived = kCorrelation,
     .source = "ser_DGrid",
     .axis = kRight,
     .visible = false},

    {.chart = "Chart_IS", .name = "ser_IS", .title = "IS"},
    {.chart = "Chart_IS", .name = "ser_RS", .title = "RS", .color = kBlue},

    {.chart = "Chart_nNb", .name = "ser_freeNb", .kind = kBar},

    // Its callback reads the simulation's settings, so setup attaches it.
    {.chart = "Chart_resForce", .name = "ser_custFkt", .derived = DerivedKind::Function},

    {.chart = "Chart1", .name = "ser_blue_all", .title = "build"},
    {.chart = "Chart1", .name = "ser_green_all", .title = "free"},
    {.chart = "Chart1", .name = "ser_blue_green", .title = "ratio", .axis = kRight},

    {.chart = "Chart2", .name = "ser_white_all", .title = "empty", .axis = kRight},
    {.chart = "Chart2", .name = "ser_street_all", .title = "streets"},
    {.chart = "Chart2", .name = "ser_dev_all", .title = "dev."},

    // The rule study's trend lines stay hidden until a user asks for them.
    {.chart = "Chart_buildAna", .name = "ser_ratBlueGreen", .title = "ratio B/G", .kind = kPoint},
    {.chart = "Chart_buildAna",
     .name = "trend_ratBlueGreen",
     .title = "trend_ratio B/G",
     .derived = kTrend,
     .source = "ser_ratBlueGreen",
     .visible = false},
    {.chart = "Chart_buildAna",
     .name = "avg_ratBlueGreen",
     .title = "avg_ratio B/G",
     .derived = kAverage,
     .source = "ser_ratBlueGreen"},
    {.chart = "Chart_buildAna", .name = "ser_greaterThree", .title = "> three", .kind = kPoint},
    {.chart = "Chart_buildAna",
     .name = "trend_greaterThree",
     .title = "trend_> three",
     .derived = kTrend,
     .source = "ser_greaterThree",
     .visible = false},
    {.chart = "Chart_buildAna",
     .name = "avg_greaterThree",
     .title = "avg_> three",
     .derived = kAverage,
     .source = "ser_greaterThree"},
    {.chart = "Chart_buildAna", .name = "ser_greaterTwo", .title = "> two", .kind = kPoint},
    {.chart = "Chart_buildAna",
     .name = "trend_greaterTwo",
     .title = "trend_> Two",
     .derived = kTrend,
     .source = "ser_greaterTwo",
     .visible = false},
    {.chart = "Chart_buildAna",
     .name = "avg_greaterTwo",
     .title = "avg_> two",
     .derived = kAverage,
     .source = "ser_greaterTwo"},
    {.chart = "Chart_buildAna", .name = "ser_bML", .title = "ML", .kind = kPoint, .axis = kRight},
    {.chart = "Chart_buildAna",
     .name = "trend_bML",
     .title = "trend_ML",
     .derived = kTrend,
     .source = "ser_bML",
     .axis = kRight,
     .visible = false},
    {.chart = "Chart_buildAna",
     .name = "avg_bML",
     .title = "avg_ML",
     .derived = kAverage,
     .source = "ser_bML",
     .axis = kRight},
    {.chart = "Chart_buildAna",
     .name = "ser_D_rad",
     .title = "D rad",
     .kind = kPoint,
     .axis = kRight},
    {.chart = "Chart_buildAna",
     .name = "trend_D_rad",
     .derived = kTrend,
     .source = "ser_D_rad",
     .axis = kRight,
     .visible = false},
    {.chart = "Chart_buildAna",
     .name = "avg_D_rad",
     .title = "avg_D rad",
     .derived = kAverage,
     .source = "ser_D_rad",
     .axis = kRight},
};

// The building-rule study averages the runs of one rule; until its first start the period
// follows the window's "rounds per rule".
int RoundsPerRule() {
  return static_cast<int>(ParseInteger(SimulationSettings().Get("SE_rdsPerVal").default_text));
}

chart::Series& AddSeries(chart::Chart& chart, const SeriesSpec& spec) {
  std::string title = spec.title != nullptr ? spec.title : spec.name;
  if (spec.derived == DerivedKind::None) {
    return chart.AddSeries(spec.name, std::move(title), spec.kind);
  }
  if (spec.derived == DerivedKind::Function) {
    chart::Series& series = chart.AddSeries(spec.name, std::move(title), spec.kind);
    series.BindTo(DerivedKind::Function, nullptr);
    return series;
  }
  const chart::Series* source = chart.Find(spec.source);
  if (source == nullptr) {
    throw std::logic_error(std::string("series ") + spec.name + " lists its source " + spec.source +
                           " after itself or in another chart");
  }
  chart::Series& series =
      chart.AddDerived(spec.name, std::move(title), spec.derived, *source, spec.kind);
  if (spec.derived == DerivedKind::Average) {
    series.SetPeriod(RoundsPerRule());
  }
  return series;
}

void CreateCharts(chart::ChartSet& charts) {
  for (const ChartSpec& spec : kCharts) {
    chart::Chart& chart = charts.Add(spec.name, spec.title);
    chart.SetAxisTitles(spec.bottom, spec.left, spec.right);
  }
  for (const SeriesSpec& spec : kSeries) {
    chart::Series& series = AddSeries(charts.Get(spec.chart), spec);
    series.SetVerticalAxis(spec.axis);
    series.SetVisible(spec.visible);
    series.SetColor(spec.color);
    series.SetShowMarks(spec.marks);
  }
}

}  // namespace

void CreateSimulationOutputs(Labels& labels, ValueList& valueList, chart::ChartSet& charts) {
  for (const LabelSpec& label : kLabels) {
    labels.Set(label.name, label.text);
  }
  for (const ValueRowSpec& row : kValueRows) {
    valueList.AddRow(row.key, row.value);
  }
  CreateCharts(charts);
}

}  // namespace veltmoor
