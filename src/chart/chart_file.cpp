#include "chart/chart_file.h"

#include "io/atomic_file.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace veltmoor::chart {

namespace {

using nlohmann::json;

template <typename Enum, std::size_t N>
using NameTable = std::array<std::pair<Enum, const char*>, N>;

constexpr NameTable<SeriesKind, 5> kKindNames{{{SeriesKind::Point, "point"},
                                               {SeriesKind::Line, "line"},
                                               {SeriesKind::Bar, "bar"},
                                               {SeriesKind::Area, "area"},
                                               {SeriesKind::StackedArea, "stacked-area"}}};

constexpr NameTable<DerivedKind, 8> kDerivedNames{{{DerivedKind::None, "none"},
                                                   {DerivedKind::Trend, "trend"},
                                                   {DerivedKind::Average, "average"},
                                                   {DerivedKind::Correlation, "correlation"},
                                                   {DerivedKind::StdDeviation, "std-deviation"},
                                                   {DerivedKind::Mean, "mean"},
                                                   {DerivedKind::CurveFit, "curve-fit"},
                                                   {DerivedKind::Function, "function"}}};

constexpr NameTable<AxisSide, 2> kAxisNames{{{AxisSide::Left, "left"}, {AxisSide::Right, "right"}}};

constexpr NameTable<XOrder, 2> kOrderNames{
    {{XOrder::AsAdded, "as-added"}, {XOrder::Ascending, "ascending"}}};

template <typename Enum, std::size_t N>
std::string NameOf(const NameTable<Enum, N>& table, Enum value) {
  for (const auto& [entry, name] : table) {
    if (entry == value) {
      return name;
    }
  }
  throw std::invalid_argument("unnamed enumeration value");
}

template <typename Enum, std::size_t N>
Enum ValueOf(const NameTable<Enum, N>& table, const std::string& name, const char* what) {
  for (const auto& [entry, entry_name] : table) {
    if (name == entry_name) {
      return entry;
    }
  }
  throw std::invalid_argument(std::string("unknown ") + what + " '" + name + "'");
}

// JSON has no NaN or infinity; null keeps the point's place so indices still line up.
json Coordinate(double value) {
  return std::isfinite(value) ? json(value) : json(nullptr);
}

double CoordinateFrom(const json& value) {
  return value.is_null() ? std::numeric_limits<double>::quiet_NaN() : value.get<double>();
}

json SeriesToJson(const Chart& chart, const Series& series) {
  json points = json::array();
  for (const Point& p : series.Points()) {
    points.push_back(json::array({Coordinate(p.x), Coordinate(p.y)}));
  }
  json out = {{"Title", series.Title()},
              {"Kind", SeriesKindName(series.Kind())},
              {"Visible", series.Visible()},
              {"Axis", NameOf(kAxisNames, series.VerticalAxis())},
              // The colour it is drawn in, so the file shows the chart as the window did.
              {"Color", chart.ShownColor(series)},
              {"ShowMarks", series.ShowMarks()},
              {"Order", NameOf(kOrderNames, series.Order())},
              {"Derived", NameOf(kDerivedNames, series.Derived())},
              {"Source", series.Source() ? json(series.Source()->Name()) : json(nullptr)},
              {"Period", series.Period()},
              {"Degree", series.Degree()},
              {"Function",
               {{"Start", series.FunctionStart()},
                {"Step", series.FunctionStep()},
                {"Count", series.FunctionCount()}}},
              {"Points", std::move(points)}};
  return out;
}

void FillSeries(const json& in, Series& series) {
  series.SetVisible(in.at("Visible").get<bool>());
  series.SetVerticalAxis(ValueOf(kAxisNames, in.value("Axis", "left"), "axis"));
  series.SetColor(in.value("Color", std::uint32_t{0}));
  series.SetShowMarks(in.value("ShowMarks", false));
  series.SetPeriod(in.value("Period", 0));
  series.SetDegree(in.value("Degree", series.Degree()));
  // Points go in as saved; the order only places points added later.
  for (const json& point : in.at("Points")) {
    series.Add(CoordinateFrom(point.at(0)), CoordinateFrom(point.at(1)));
  }
  series.SetOrder(ValueOf(kOrderNames, in.value("Order", "as-added"), "order"));
}

// The saved order when there is one; otherwise the object's own (alphabetical) order.
std::vector<std::string> SeriesOrder(const json& json_series, const json& in) {
  std::vector<std::string> names;
  if (in.contains("SeriesOrder")) {
    names = in.at("SeriesOrder").get<std::vector<std::string>>();
  } else {
    for (const auto& item : json_series.items()) {
      names.push_back(item.key());
    }
  }
  return names;
}

}  // namespace

std::string SeriesKindName(SeriesKind kind) {
  return NameOf(kKindNames, kind);
}

SeriesKind SeriesKindFromName(const std::string& name) {
  return ValueOf(kKindNames, name, "series kind");
}

json ChartToJson(const Chart& chart) {
  json series = json::object();
  json order = json::array();
  for (const auto& s : chart.AllSeries()) {
    series[s->Name()] = SeriesToJson(chart, *s);
    order.push_back(s->Name());
  }
  return {{"Name", chart.Name()},
          {"Title", chart.Title()},
          {"BottomAxis", chart.BottomAxisTitle()},
          {"LeftAxis", chart.LeftAxisTitle()},
          {"RightAxis", chart.RightAxisTitle()},
          {"Legend", chart.LegendVisible()},
          {"SeriesOrder", std::move(order)},
          {"Series", std::move(series)}};
}

void ChartFromJson(const json& in, Chart& chart) {
  if (!chart.AllSeries().empty()) {
    throw std::invalid_argument("chart '" + chart.Name() + "' already has series");
  }
  try {
    chart.SetTitle(in.at("Title").get<std::string>());
    chart.SetAxisTitles(in.at("BottomAxis").get<std::string>(),
                        in.at("LeftAxis").get<std::string>(), in.value("RightAxis", std::string{}));
    chart.SetLegendVisible(in.value("Legend", true));
    const json& json_series = in.at("Series");
    for (const std::string& name : SeriesOrder(json_series, in)) {
      const json& s = json_series.at(name);
      Series& series = chart.AddSeries(name, s.at("Title").get<std::string>(),
                                       SeriesKindFromName(s.at("Kind").get<std::string>()));
      FillSeries(s, series);
    }
    // Sources are bound once every series exists, since a source may come later in order.
    for (const auto& series : chart.AllSeries()) {
      const json& s = json_series.at(series->Name());
      const DerivedKind kind = ValueOf(kDerivedNames, s.value("Derived", "none"), "derived kind");
      if (kind == DerivedKind::Function) {
        const json& range = s.value("Function", json::object());
        series->SetFunction(nullptr, range.value("Start", 0.0), range.value("Step", 0.0),
                            range.value("Count", 0));
      } else if (kind != DerivedKind::None) {
        const json& source = s.value("Source", json(nullptr));
        series->BindTo(kind, source.is_string() ? chart.Find(source.get<std::string>()) : nullptr);
      }
    }
  } catch (const json::exception& e) {
    throw std::runtime_error(std::string("malformed chart: ") + e.what());
  } catch (const std::invalid_argument& e) {
    throw std::runtime_error(std::string("malformed chart: ") + e.what());
  }
}

void SaveChartFile(const Chart& chart, const std::string& path) {
  WriteFileAtomically(path, ChartToJson(chart).dump(1) + "\n");
}

std::unique_ptr<Chart> LoadChartFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read chart file '" + path + "'");
  }
  try {
    const json parsed = json::parse(in);
    auto chart = std::make_unique<Chart>(parsed.value("Name", std::string{}),
                                         parsed.at("Title").get<std::string>());
    ChartFromJson(parsed, *chart);
    return chart;
  } catch (const std::exception& e) {
    throw std::runtime_error("malformed chart file '" + path + "': " + e.what());
  }
}

}  // namespace veltmoor::chart
