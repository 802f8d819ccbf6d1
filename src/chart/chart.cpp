#include "chart/chart.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "chart/chart_statistics.h"

namespace veltmoor::chart {

Series::Series(std::string name, std::string title, SeriesKind kind)
    : name_(std::move(name)), title_(std::move(title)), kind_(kind) {}

void Series::SetTitle(std::string title) {
  if (title != title_) {
    title_ = std::move(title);
    Touch();
  }
}

void Series::SetVisible(bool visible) {
  if (visible != visible_) {
    visible_ = visible;
    Touch();
  }
}

void Series::SetVerticalAxis(AxisSide side) {
  if (side != axis_) {
    axis_ = side;
    Touch();
  }
}

void Series::SetColor(std::uint32_t color) {
  if (color != color_) {
    color_ = color;
    Touch();
  }
}

void Series::SetShowMarks(bool show) {
  if (show != show_marks_) {
    show_marks_ = show;
    Touch();
  }
}

void Series::SetOrder(XOrder order) {
  order_ = order;
}

void Series::Add(double x, double y) {
  auto at = points_.end();
  if (order_ == XOrder::Ascending) {
    at = std::upper_bound(points_.begin(), points_.end(), x,
                          [](double value, const Point& p) { return value < p.x; });
  }
  points_.insert(at, Point{x, y});
  Touch();
}

void Series::Clear() {
  if (!points_.empty()) {
    points_.clear();
    Touch();
  }
}

void Series::BindTo(DerivedKind kind, const Series* source) {
  derived_ = kind;
  source_ = source;
  Touch();
}

void Series::SetPeriod(int period) {
  period_ = std::max(period, 0);
  Touch();
}

void Series::SetDegree(int degree) {
  degree_ = std::max(degree, 0);
  Touch();
}

void Series::SetFunction(std::function<double(double)> callback, double start, double step,
                         int count) {
  derived_ = DerivedKind::Function;
  source_ = nullptr;
  callback_ = std::move(callback);
  fn_start_ = start;
  fn_step_ = step;
  fn_count_ = std::max(count, 0);
  Touch();
}

void Series::Recompute() {
  // Without a source or a callback (a series read back from a file) the last points stay.
  if (derived_ == DerivedKind::None) {
    return;
  }
  if (derived_ == DerivedKind::Function ? !callback_ : source_ == nullptr) {
    return;
  }
  PointList computed;
  if (derived_ == DerivedKind::Function) {
    for (int i = 0; i < fn_count_; ++i) {
      const double x = fn_start_ + i * fn_step_;
      computed.push_back({x, callback_(x)});
    }
  } else {
    const PointList source = FinitePoints(source_->Points());
    switch (derived_) {
      case DerivedKind::Trend:
        computed = Trend(source);
        break;
      case DerivedKind::Average:
        computed = Average(source, period_);
        break;
      case DerivedKind::Correlation:
        computed = Correlation(source);
        break;
      case DerivedKind::StdDeviation:
        computed = StdDeviation(source);
        break;
      case DerivedKind::Mean:
        computed = Mean(source);
        break;
      case DerivedKind::CurveFit:
        computed = CurveFit(source, degree_);
        break;
      case DerivedKind::None:
      case DerivedKind::Function:
        break;
    }
  }
  // Views and readers of derived values must never meet NaN or infinity, whatever a
  // callback returns or however large the sums grew.
  computed = FinitePoints(computed);
  if (computed != points_) {
    points_ = std::move(computed);
    Touch();
  }
}

namespace {

// Kelly's colours of maximum contrast (without white and black, which a chart on white
// would lose), strongest first.
constexpr std::uint32_t Rgb(std::uint32_t rgb) {
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}
constexpr std::uint32_t kDistinct[kDistinctColourCount] = {
    Rgb(0x0067A5), Rgb(0xBE0032), Rgb(0x008856), Rgb(0xF38400), Rgb(0x875692), Rgb(0x882D17),
    Rgb(0xE68FAC), Rgb(0x2B3D26), Rgb(0x8DB600), Rgb(0x848482), Rgb(0xF3C300), Rgb(0x604E97),
    Rgb(0xA1CAF1), Rgb(0x654522), Rgb(0xB3446C), Rgb(0xDCD300), Rgb(0xE25822), Rgb(0xF99379)};

// Lines that restate their data in another form wear the data's colour.
bool FollowsSourceColour(const Series& series) {
  const DerivedKind kind = series.Derived();
  return series.Source() != nullptr &&
         (kind == DerivedKind::Trend || kind == DerivedKind::Average ||
          kind == DerivedKind::CurveFit);
}

// Near enough in red, green and blue to be taken for one another in a legend.
bool CloseColours(std::uint32_t a, std::uint32_t b) {
  long sum = 0;
  for (int shift : {0, 8, 16}) {
    const long d = static_cast<long>((a >> shift) & 0xFF) - static_cast<long>((b >> shift) & 0xFF);
    sum += d * d;
  }
  constexpr long kNear = 160;
  return sum < kNear * kNear;
}

}  // namespace

std::uint32_t DistinctColour(std::size_t index) {
  return kDistinct[index % kDistinctColourCount];
}

Chart::Chart(std::string name, std::string title)
    : name_(std::move(name)), title_(std::move(title)) {}

void Chart::SetTitle(std::string title) {
  if (title != title_) {
    title_ = std::move(title);
    ++own_changes_;
  }
}

void Chart::SetAxisTitles(std::string bottom, std::string left, std::string right) {
  bottom_ = std::move(bottom);
  left_ = std::move(left);
  right_ = std::move(right);
  ++own_changes_;
}

void Chart::SetLegendVisible(bool visible) {
  if (visible != legend_visible_) {
    legend_visible_ = visible;
    ++own_changes_;
  }
}

std::uint32_t Chart::ShownColor(const Series& series) const {
  if (series.Color() != 0) {
    return series.Color();
  }
  if (FollowsSourceColour(series)) {
    const Series& source = *series.Source();
    const bool ours = std::any_of(series_.begin(), series_.end(),
                                  [&source](const auto& s) { return s.get() == &source; });
    // A source in another chart has its colour there; its own is all this chart knows.
    if (ours && !FollowsSourceColour(source)) {
      return ShownColor(source);
    }
    if (source.Color() != 0) {
      return source.Color();
    }
  }
  // The chart's own colours are not handed out again, nor colours close to them.
  std::vector<std::uint32_t> own;
  std::size_t wanted = 0;
  bool counting = true;
  for (const auto& s : series_) {
    if (s->Color() != 0) {
      own.push_back(s->Color());
    }
    if (s.get() == &series) {
      counting = false;
    }
    if (counting && s->Color() == 0 && !FollowsSourceColour(*s)) {
      ++wanted;
    }
  }
  std::size_t found = 0;
  for (std::size_t i = 0; i < 2 * kDistinctColourCount; ++i) {
    const std::uint32_t colour = DistinctColour(i);
    const bool taken = i < kDistinctColourCount &&
                       std::any_of(own.begin(), own.end(),
                                   [colour](std::uint32_t c) { return CloseColours(c, colour); });
    if (!taken && found++ == wanted) {
      return colour;
    }
  }
  return DistinctColour(wanted);
}

Series& Chart::AddSeries(std::string name, std::string title, SeriesKind kind) {
  // Series are looked up and saved by name; a second one of the same name would be lost.
  if (Find(name) != nullptr) {
    throw std::invalid_argument("chart '" + name_ + "' already has a series '" + name + "'");
  }
  series_.push_back(std::make_unique<Series>(std::move(name), std::move(title), kind));
  ++own_changes_;
  return *series_.back();
}

Series& Chart::AddDerived(std::string name, std::string title, DerivedKind kind,
                          const Series& source, SeriesKind kind_drawn) {
  Series& series = AddSeries(std::move(name), std::move(title), kind_drawn);
  series.BindTo(kind, &source);
  return series;
}

Series* Chart::Find(const std::string& name) {
  for (auto& series : series_) {
    if (series->Name() == name) {
      return series.get();
    }
  }
  return nullptr;
}

const Series* Chart::Find(const std::string& name) const {
  return const_cast<Chart*>(this)->Find(name);
}

Series& Chart::Get(SeriesName name) {
  Series* series = Find(name.Str());
  if (series == nullptr) {
    throw std::out_of_range("chart " + name_ + " has no series '" + name.Str() + "'");
  }
  return *series;
}

void Chart::RecomputeDerived() {
  for (auto& series : series_) {
    if (series->Derived() != DerivedKind::None) {
      series->Recompute();
    }
  }
}

std::uint64_t Chart::ChangeCount() const {
  // Every counter only grows, so the sum moves whenever any one of them does.
  std::uint64_t total = own_changes_ + zoom_resets_;
  for (const auto& series : series_) {
    total += series->ChangeCount();
  }
  return total;
}

}  // namespace veltmoor::chart
