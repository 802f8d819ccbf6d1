// The charting model: charts with titles and axis titles, data series, and derived series
// recomputed from a source series on request. Views (Qt Charts, JSON export) only read it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "io/typed_name.h"

namespace veltmoor::chart {

enum class SeriesKind { Point, Line, Bar, Area, StackedArea };

// What a derived series computes from its source. `None` marks a plain data series;
// `Function` is filled from a callback over an x range instead of a source.
enum class DerivedKind {
  None,
  Trend,
  Average,
  Correlation,
  StdDeviation,
  Mean,
  CurveFit,
  Function
};

enum class AxisSide { Left, Right };

// Clearly different colours (0x00BBGGRR) for the series of one chart that have none of
// their own; a study chart has up to 18 such series, so there are as many.
inline constexpr std::size_t kDistinctColourCount = 18;
std::uint32_t DistinctColour(std::size_t index);

// Where a new point goes: in the order added, or after every point of smaller or equal x
// (what the studies need so that repeated runs at one x stay adjacent).
enum class XOrder { AsAdded, Ascending };

struct Point {
  double x = 0.0;
  double y = 0.0;
  bool operator==(const Point&) const = default;
};

class Series {
 public:
  Series(std::string name, std::string title, SeriesKind kind);

  const std::string& Name() const { return name_; }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title);
  SeriesKind Kind() const { return kind_; }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  AxisSide VerticalAxis() const { return axis_; }
  void SetVerticalAxis(AxisSide side);
  // 0x00BBGGRR like every colour of the program; 0 leaves the choice to the chart (see
  // Chart::ShownColor).
  std::uint32_t Color() const { return color_; }
  void SetColor(std::uint32_t color);
  bool ShowMarks() const { return show_marks_; }
  void SetShowMarks(bool show);
  XOrder Order() const { return order_; }
  void SetOrder(XOrder order);

  void Add(double x, double y);
  void Clear();
  std::size_t Count() const { return points_.size(); }
  double XValue(std::size_t index) const { return points_.at(index).x; }
  double YValue(std::size_t index) const { return points_.at(index).y; }
  const std::vector<Point>& Points() const { return points_; }

  // Derived series. A derived series is bound to a source series of the same chart (or of
  // another chart; the source must outlive it) and holds the points of its last Recompute.
  DerivedKind Derived() const { return derived_; }
  const Series* Source() const { return source_; }
  void BindTo(DerivedKind kind, const Series* source);
  // Average: points per group (0 = all points in one group). Other kinds ignore it.
  int Period() const { return period_; }
  void SetPeriod(int period);
  // CurveFit: degree of the least-squares polynomial.
  int Degree() const { return degree_; }
  void SetDegree(int degree);
  // Function: y = callback(x) at x = start + i * step for i = 0 .. count - 1.
  // A null callback keeps the range but leaves the points as they are (a series read back
  // from a file).
  void SetFunction(std::function<double(double)> callback, double start, double step, int count);
  double FunctionStart() const { return fn_start_; }
  double FunctionStep() const { return fn_step_; }
  int FunctionCount() const { return fn_count_; }
  void Recompute();

  // Raised on every change of points or look; views repaint when it moves.
  std::uint64_t ChangeCount() const { return changes_; }

 private:
  void Touch() { ++changes_; }

  std::string name_;
  std::string title_;
  SeriesKind kind_;
  bool visible_ = true;
  AxisSide axis_ = AxisSide::Left;
  std::uint32_t color_ = 0;
  bool show_marks_ = false;
  XOrder order_ = XOrder::AsAdded;
  std::vector<Point> points_;

  DerivedKind derived_ = DerivedKind::None;
  const Series* source_ = nullptr;
  int period_ = 0;
  int degree_ = 3;
  std::function<double(double)> callback_;
  double fn_start_ = 0.0;
  double fn_step_ = 0.0;
  int fn_count_ = 0;

  std::uint64_t changes_ = 0;
};

using ChartName = TypedName<struct ChartNameKind>;
using SeriesName = TypedName<struct SeriesNameKind>;

class Chart {
 public:
  Chart(std::string name, std::string title);
  Chart(const Chart&) = delete;
  Chart& operator=(const Chart&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title);
  const std::string& BottomAxisTitle() const { return bottom_; }
  const std::string& LeftAxisTitle() const { return left_; }
  const std::string& RightAxisTitle() const { return right_; }
  void SetAxisTitles(std::string bottom, std::string left, std::string right = {});
  bool LegendVisible() const { return legend_visible_; }
  void SetLegendVisible(bool visible);

  Series& AddSeries(std::string name, std::string title, SeriesKind kind);
  // A derived series computed from `source`, which must belong to this chart.
  Series& AddDerived(std::string name, std::string title, DerivedKind kind, const Series& source,
                     SeriesKind kind_drawn = SeriesKind::Line);
  // The series of this name, or nullptr: for names read from files or typed by a user.
  Series* Find(const std::string& name);
  const Series* Find(const std::string& name) const;
  // A series the program created; a name the chart lacks throws std::out_of_range.
  Series& Get(SeriesName name);
  const std::vector<std::unique_ptr<Series>>& AllSeries() const { return series_; }

  // The colour `series` (of this chart) is drawn in: its own when it has one; the colour
  // of its data for a trend, an average or a curve fit, so a line is read with its points;
  // otherwise the next of a set of clearly different colours, counted over the series that
  // need one in the order added. Hiding or showing series never changes a colour.
  std::uint32_t ShownColor(const Series& series) const;

  void RecomputeDerived();  // every derived series, in the order they were added
  void UndoZoom() { ++zoom_resets_; }
  std::uint64_t ZoomResetRequests() const { return zoom_resets_; }

  // Moves whenever the chart or any of its series changes.
  std::uint64_t ChangeCount() const;

 private:
  std::string name_;
  std::string title_;
  std::string bottom_;
  std::string left_;
  std::string right_;
  bool legend_visible_ = true;
  std::vector<std::unique_ptr<Series>> series_;
  std::uint64_t zoom_resets_ = 0;
  std::uint64_t own_changes_ = 0;
};

}  // namespace veltmoor::chart
