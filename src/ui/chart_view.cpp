#include "ui/chart_view.h"

#include <QFile>

#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QMouseEvent>
#include <QPen>
#include <QPixmap>
#include <QRubberBand>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "render/qt_canvas.h"
#include "simulation/numbers.h"

namespace veltmoor {

namespace {

using chart::AxisSide;
using chart::SeriesKind;

constexpr double kMargin = 0.05;
// Value marks sit above the bars and need room below the frame.
constexpr double kMarksHeadroom = 0.15;
constexpr double kDefaultTicks = 5.0;
constexpr double kTickPixelsVertical = 25.0;
constexpr double kTickPixelsHorizontal = 50.0;
// A category axis labels at most this many bars; more would overlap in a strip chart.
constexpr int kMaxCategoryLabels = 12;
constexpr qreal kMarkerSize = 7.0;
constexpr int kMarkDigits = 4;
// A legend entry's marker and the gaps around it, in pixels.
constexpr int kLegendEntrySpacing = 28;
constexpr int kMaxMarkDecimals = 10;
// A left drag toward the top-left corner undoes the zoom, as users of chart tools expect.
constexpr int kUndoDragPixels = 4;

// Smallest and largest finite value seen, and how an axis over them is fitted.
class Extent {
 public:
  void Add(double v) {
    if (!std::isfinite(v)) {
      return;
    }
    lo_ = any_ ? std::min(lo_, v) : v;
    hi_ = any_ ? std::max(hi_, v) : v;
    any_ = true;
  }
  void IncludeZero() { from_zero_ = true; }
  void NeedHeadroom() { headroom_ = true; }

  AxisRange Fitted() const {
    if (!any_) {
      return {};
    }
    const double lo = from_zero_ ? std::min(lo_, 0.0) : lo_;
    const double hi = from_zero_ ? std::max(hi_, 0.0) : hi_;
    const double span = hi - lo;
    if (!std::isfinite(span)) {
      return {lo, hi};
    }
    if (span == 0.0) {
      const double pad = hi != 0.0 ? std::abs(hi) * 0.1 : 1.0;
      return {lo - pad, hi + pad};
    }
    AxisRange range{lo - span * kMargin, hi + span * (headroom_ ? kMarksHeadroom : kMargin)};
    // Bars and areas stand on zero; a margin beyond it would leave them floating.
    if (from_zero_ && lo == 0.0) {
      range.min = 0.0;
    }
    if (from_zero_ && hi == 0.0 && !headroom_) {
      range.max = 0.0;
    }
    return range;
  }

 private:
  double lo_ = 0.0;
  double hi_ = 0.0;
  bool any_ = false;
  bool from_zero_ = false;
  bool headroom_ = false;
};

// A step of 1, 2 or 5 times a power of ten giving about `ticks` ticks over `span`.
double NiceStep(double span, double ticks) {
  if (!(span > 0.0) || !std::isfinite(span)) {
    return 1.0;
  }
  const double raw = span / ticks;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double normal = raw / magnitude;
  const double factor = normal < 1.5 ? 1.0 : normal < 3.0 ? 2.0 : normal < 7.0 ? 5.0 : 10.0;
  return factor * magnitude;
}

// How many ticks fit the axis' length in the plot without their labels touching.
double TargetTicks(const QValueAxis* axis, const QRectF& plot) {
  const bool vertical = axis->orientation() == Qt::Vertical;
  const double pixels = vertical ? plot.height() : plot.width();
  if (!(pixels > 0.0)) {
    return kDefaultTicks;
  }
  return std::clamp(pixels / (vertical ? kTickPixelsVertical : kTickPixelsHorizontal), 2.0, 10.0);
}

// Ticks at multiples of a nice step keep the labels short at every zoom and size.
void UpdateTicks(QValueAxis* axis, const QRectF& plot) {
  if (axis == nullptr || qobject_cast<QCategoryAxis*>(axis) != nullptr) {
    return;
  }
  const double step = NiceStep(axis->max() - axis->min(), TargetTicks(axis, plot));
  const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step))));
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0.0);
  axis->setTickInterval(step);
  axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

QLocale NumberLocale() {
  QLocale locale =
      DecimalSeparator() == ',' ? QLocale(QLocale::German, QLocale::Germany) : QLocale::c();
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale;
}

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

QFont SizedFont(int points, bool bold = false) {
  QFont font;
  font.setPointSize(points);
  font.setBold(bold);
  return font;
}

// The largest point size from `largest` down to `smallest` at which `text` fits into
// `room` pixels; the smallest when none does.
QFont FittingFont(const QString& text, double room, int largest, int smallest, bool bold) {
  for (int points = largest; points > smallest; --points) {
    const QFont font = SizedFont(points, bold);
    if (QFontMetricsF(font).horizontalAdvance(text) <= room) {
      return font;
    }
  }
  return SizedFont(smallest, bold);
}

void SetAxisTitleFont(QAbstractAxis* axis, const QFont& font) {
  if (axis != nullptr && axis->titleFont() != font) {
    axis->setTitleFont(font);
  }
}

std::vector<const chart::Series*> ShownSeries(const chart::Chart& model) {
  std::vector<const chart::Series*> shown;
  for (const auto& series : model.AllSeries()) {
    if (series->Visible()) {
      shown.push_back(series.get());
    }
  }
  return shown;
}

bool AnyOfKind(const std::vector<const chart::Series*>& shown, SeriesKind kind) {
  return std::any_of(shown.begin(), shown.end(),
                     [kind](const chart::Series* s) { return s->Kind() == kind; });
}

bool AnyOnRight(const std::vector<const chart::Series*>& shown) {
  return std::any_of(shown.begin(), shown.end(),
                     [](const chart::Series* s) { return s->VerticalAxis() == AxisSide::Right; });
}

// The x values of the bars, ascending and without repeats; each becomes one category.
std::vector<double> BarCategories(const std::vector<const chart::Series*>& shown) {
  std::vector<double> xs;
  for (const chart::Series* series : shown) {
    if (series->Kind() != SeriesKind::Bar) {
      continue;
    }
    for (const chart::Point& p : series->Points()) {
      if (std::isfinite(p.x) && std::isfinite(p.y)) {
        xs.push_back(p.x);
      }
    }
  }
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  return xs;
}

void LabelCategories(QCategoryAxis* axis, const std::vector<double>& categories) {
  const int count = static_cast<int>(categories.size());
  const int every = std::max(1, (count + kMaxCategoryLabels - 1) / kMaxCategoryLabels);
  axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  for (int i = 0; i < count; i += every) {
    axis->append(QString::fromStdString(FormatNumber(categories[i])), i);
  }
}

constexpr int kCurveFitDarker = 200;  // percent

// Lines derived from data wear the data's colour; their pen tells them apart from it and
// from each other.
QPen LinePen(const chart::Series& series, const QColor& colour) {
  QPen pen(colour);
  pen.setWidthF(series.Derived() == chart::DerivedKind::None ? 1.5 : 2.0);
  switch (series.Derived()) {
    case chart::DerivedKind::Trend:
      pen.setStyle(Qt::DashLine);
      break;
    case chart::DerivedKind::CurveFit:
      // Beside the solid average in the same colour a dash-dot pattern is easily missed.
      pen.setStyle(Qt::DashDotLine);
      pen.setColor(colour.darker(kCurveFitDarker));
      break;
    case chart::DerivedKind::StdDeviation:
    case chart::DerivedKind::Correlation:
    case chart::DerivedKind::Mean:
      pen.setStyle(Qt::DotLine);
      break;
    default:
      break;
  }
  return pen;
}

// A one-number line (mean, deviation, correlation) repeats its value at both ends; one
// mark says it.
bool OneNumberLine(const chart::Series& series) {
  const chart::DerivedKind kind = series.Derived();
  return kind == chart::DerivedKind::StdDeviation || kind == chart::DerivedKind::Correlation ||
         kind == chart::DerivedKind::Mean;
}

// Four significant digits: the end-of-study marks of several lines meet at one X, and at
// six digits they ran into each other.
QString ShortMark(double value) {
  if (value == 0.0 || !std::isfinite(value)) {
    return QString::fromStdString(FormatNumber(value));
  }
  const int decimals =
      std::clamp(kMarkDigits - 1 - static_cast<int>(std::floor(std::log10(std::abs(value)))), 0,
                 kMaxMarkDecimals);
  return QString::fromStdString(FormatNumber(RoundToDecimals(value, decimals)));
}

void ShowValueMarks(QXYSeries* qt_series, const chart::Series& series) {
  qt_series->setPointLabelsVisible(true);
  qt_series->setPointLabelsFormat(QStringLiteral("@yPoint"));
  qt_series->setPointLabelsFont(SizedFont(7));
  qt_series->setPointLabelsColor(Qt::black);
  qt_series->setPointLabelsClipping(false);
  if (OneNumberLine(series) && qt_series->count() > 0) {
    for (int i = 0; i + 1 < qt_series->count(); ++i) {
      qt_series->setPointConfiguration(i, QXYSeries::PointConfiguration::LabelVisibility, false);
    }
    // Only one mark shows, so its text can be the number itself, shortened.
    qt_series->setPointLabelsFormat(ShortMark(qt_series->at(qt_series->count() - 1).y()));
  }
}

}  // namespace

// Turns the shown model series into Qt series on the view's axes and measures their extent.
class ChartView::Builder {
 public:
  Builder(ChartView& view, std::vector<double> categories)
      : view_(view), categories_(std::move(categories)) {}

  void Add(const chart::Series& series) {
    switch (series.Kind()) {
      case SeriesKind::Point:
        AddXY(series, new QScatterSeries);
        break;
      case SeriesKind::Line:
        AddXY(series, new QLineSeries);
        break;
      case SeriesKind::Bar:
        AddBars(series);
        break;
      case SeriesKind::Area:
        AddArea(series, false);
        break;
      case SeriesKind::StackedArea:
        AddArea(series, true);
        break;
    }
  }

  AxisRange FittedBottom() const {
    if (!categories_.empty()) {
      return {-0.5, static_cast<double>(categories_.size()) - 0.5};
    }
    return x_.Fitted();
  }
  AxisRange FittedLeft() const { return y_[0].Fitted(); }
  AxisRange FittedRight() const { return y_[1].Fitted(); }

 private:
  static int SideIndex(const chart::Series& series) {
    return series.VerticalAxis() == AxisSide::Right ? 1 : 0;
  }

  // With bars on the chart, x is the index of the category; other x values have no place.
  bool MapX(double x, double& mapped) const {
    if (!std::isfinite(x)) {
      return false;
    }
    if (!view_.bar_axis_) {
      mapped = x;
      return true;
    }
    const auto it = std::lower_bound(categories_.begin(), categories_.end(), x);
    if (it == categories_.end() || *it != x) {
      return false;
    }
    mapped = static_cast<double>(it - categories_.begin());
    return true;
  }

  QList<QPointF> ShownPoints(const chart::Series& series) {
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(series.Count()));
    Extent& y = y_[SideIndex(series)];
    for (const chart::Point& p : series.Points()) {
      double x = 0.0;
      if (std::isfinite(p.y) && MapX(p.x, x)) {
        points.append(QPointF(x, p.y));
        x_.Add(x);
        y.Add(p.y);
      }
    }
    return points;
  }

  void Attach(QAbstractSeries* qt_series, const chart::Series& series) {
    qt_series->setName(Text(series.Title()));
    view_.chart()->addSeries(qt_series);
    qt_series->attachAxis(view_.bottom_);
    qt_series->attachAxis(SideIndex(series) == 1 ? view_.right_ : view_.left_);
  }

  QColor Colour(const chart::Series& series) const {
    return ToQColor(view_.model_->ShownColor(series));
  }

  void AddXY(const chart::Series& series, QXYSeries* qt_series) {
    qt_series->append(ShownPoints(series));
    const QColor colour = Colour(series);
    if (auto* scatter = qobject_cast<QScatterSeries*>(qt_series)) {
      scatter->setMarkerSize(kMarkerSize);
      scatter->setColor(colour);
      scatter->setBorderColor(colour.darker(130));
    } else {
      qt_series->setPen(LinePen(series, colour));
    }
    if (series.ShowMarks()) {
      ShowValueMarks(qt_series, series);
      y_[SideIndex(series)].NeedHeadroom();
    }
    Attach(qt_series, series);
  }

  // Stacked areas stand on the sum of the earlier stacked areas of the same axis, point by
  // point in the order added.
  void AddArea(const chart::Series& series, bool stacked) {
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    std::vector<double>& base = stack_[SideIndex(series)];
    Extent& y = y_[SideIndex(series)];
    y.IncludeZero();
    const std::vector<chart::Point>& points = series.Points();
    for (std::size_t i = 0; i < points.size(); ++i) {
      double x = 0.0;
      if (!std::isfinite(points[i].y) || !MapX(points[i].x, x)) {
        continue;
      }
      const double floor = stacked && i < base.size() ? base[i] : 0.0;
      const double top = floor + points[i].y;
      lower->append(x, floor);
      upper->append(x, top);
      if (stacked) {
        base.resize(std::max(base.size(), i + 1), 0.0);
        base[i] = top;
      }
      x_.Add(x);
      y.Add(top);
    }
    auto* area = new QAreaSeries(upper, lower);
    upper->setParent(area);
    lower->setParent(area);
    area->setColor(Colour(series));
    area->setBorderColor(Colour(series).darker(130));
    Attach(area, series);
  }

  // One Qt bar series per axis and marks setting; each model series is one bar set in it.
  void AddBars(const chart::Series& series) {
    std::map<double, double> by_x;
    for (const chart::Point& p : series.Points()) {
      if (std::isfinite(p.x) && std::isfinite(p.y)) {
        by_x[p.x] = p.y;
      }
    }
    auto* set = new QBarSet(Text(series.Title()));
    Extent& y = y_[SideIndex(series)];
    y.IncludeZero();
    for (double category : categories_) {
      const auto it = by_x.find(category);
      const double value = it != by_x.end() ? it->second : 0.0;
      set->append(value);
      y.Add(value);
    }
    set->setColor(Colour(series));
    set->setBorderColor(Colour(series).darker(130));
    set->setLabelColor(Qt::black);
    set->setLabelFont(SizedFont(7));
    if (series.ShowMarks()) {
      y.NeedHeadroom();
    }
    BarGroup(series)->append(set);
  }

  QBarSeries* BarGroup(const chart::Series& series) {
    QBarSeries*& group = bars_[{SideIndex(series), series.ShowMarks()}];
    if (group == nullptr) {
      group = new QBarSeries;
      group->setBarWidth(0.7);
      if (series.ShowMarks()) {
        group->setLabelsVisible(true);
        group->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
        group->setLabelsFormat(QStringLiteral("@value"));
      }
      Attach(group, series);
    }
    return group;
  }

  ChartView& view_;
  std::vector<double> categories_;
  Extent x_;
  Extent y_[2];
  std::vector<double> stack_[2];
  std::map<std::pair<int, bool>, QBarSeries*> bars_;
};

ChartView::ChartView(chart::Chart* model, QWidget* parent) : QChartView(parent), model_(model) {
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::RectangleRubberBand);
  QChart* qt_chart = chart();
  qt_chart->setBackgroundRoundness(0);
  qt_chart->setMargins(QMargins(4, 2, 4, 2));
  qt_chart->layout()->setContentsMargins(0, 0, 0, 0);
  qt_chart->setTitleFont(SizedFont(9, true));
  qt_chart->setLocalizeNumbers(true);
  qt_chart->setLocale(NumberLocale());
  qt_chart->legend()->setAlignment(Qt::AlignBottom);
  qt_chart->legend()->setFont(SizedFont(7));
  connect(qt_chart, &QChart::plotAreaChanged, this, [this] {
    UpdateAllTicks();
    FitTitles();
    FitLegend();
  });
  Rebuild();
}

void ChartView::Refresh() {
  const std::uint64_t resets = model_->ZoomResetRequests();
  if (resets != shown_zoom_resets_) {
    shown_zoom_resets_ = resets;
    zoomed_ = false;
    zoom_bottom_.reset();
    zoom_left_.reset();
    zoom_right_.reset();
  }
  // A zoom reset request moves the change count too, so the rebuild shows the fitted ranges.
  if (model_->ChangeCount() != shown_changes_) {
    Rebuild();
  }
}

void ChartView::UndoZoom() {
  zoomed_ = false;
  zoom_bottom_.reset();
  zoom_left_.reset();
  zoom_right_.reset();
  setting_ranges_ = true;
  chart()->zoomReset();
  setting_ranges_ = false;
  ApplyRanges();
}

void ChartView::Rebuild() {
  setting_ranges_ = true;
  ClearChart();
  const std::vector<const chart::Series*> shown = ShownSeries(*model_);
  std::vector<double> categories = BarCategories(shown);
  // A category axis without categories puts its title in the chart's top corner, over the
  // chart title; bars without points stand on a plain axis like any empty chart.
  bar_axis_ = AnyOfKind(shown, SeriesKind::Bar) && !categories.empty();
  CreateAxes(AnyOnRight(shown));
  if (bar_axis_) {
    LabelCategories(static_cast<QCategoryAxis*>(bottom_), categories);
  }
  Builder builder(*this, std::move(categories));
  for (const chart::Series* series : shown) {
    builder.Add(*series);
  }
  fitted_bottom_ = builder.FittedBottom();
  fitted_left_ = builder.FittedLeft();
  fitted_right_ = builder.FittedRight();
  setting_ranges_ = false;
  ApplyRanges();
  ApplyTitles();
  ++rebuilds_;
  shown_changes_ = model_->ChangeCount();
  shown_zoom_resets_ = model_->ZoomResetRequests();
}

void ChartView::ClearChart() {
  QChart* qt_chart = chart();
  qt_chart->removeAllSeries();
  for (QAbstractAxis* axis : qt_chart->axes()) {
    qt_chart->removeAxis(axis);
    delete axis;
  }
  bottom_ = left_ = right_ = nullptr;
}

void ChartView::CreateAxes(bool with_right) {
  bottom_ = bar_axis_ ? new QCategoryAxis : new QValueAxis;
  left_ = new QValueAxis;
  right_ = with_right ? new QValueAxis : nullptr;
  const std::pair<QValueAxis*, Qt::Alignment> placed[] = {
      {bottom_, Qt::AlignBottom}, {left_, Qt::AlignLeft}, {right_, Qt::AlignRight}};
  for (const auto& [axis, alignment] : placed) {
    if (axis == nullptr) {
      continue;
    }
    axis->setTitleFont(SizedFont(8));
    axis->setLabelsFont(SizedFont(7));
    chart()->addAxis(axis, alignment);
  }
  if (right_ != nullptr) {
    // Its ticks rarely meet the left axis' ones; two grids would only confuse.
    right_->setGridLineVisible(false);
  }
  WatchRange(bottom_, zoom_bottom_);
  WatchRange(left_, zoom_left_);
  if (right_ != nullptr) {
    WatchRange(right_, zoom_right_);
  }
}

// Any range change we did not make ourselves is the user's zoom (rubber band or otherwise).
void ChartView::WatchRange(QValueAxis* axis, std::optional<AxisRange>& zoom_memory) {
  connect(axis, &QValueAxis::rangeChanged, this, [this, axis, &zoom_memory](qreal min, qreal max) {
    UpdateTicks(axis, chart()->plotArea());
    if (!setting_ranges_) {
      zoomed_ = true;
      zoom_memory = AxisRange{min, max};
    }
  });
}

void ChartView::ApplyRanges() {
  setting_ranges_ = true;
  SetRange(bottom_, zoomed_ && zoom_bottom_ ? *zoom_bottom_ : fitted_bottom_);
  SetRange(left_, zoomed_ && zoom_left_ ? *zoom_left_ : fitted_left_);
  SetRange(right_, zoomed_ && zoom_right_ ? *zoom_right_ : fitted_right_);
  setting_ranges_ = false;
}

void ChartView::SetRange(QValueAxis* axis, const AxisRange& range) {
  if (axis != nullptr) {
    axis->setRange(range.min, range.max);
    UpdateTicks(axis, chart()->plotArea());
  }
}

// A legend of many series cut every name to "a…" in one row under the chart; when the
// names do not fit the chart's width they stand one under another beside it instead.
void ChartView::FitLegend() {
  QLegend* legend = chart()->legend();
  const QFontMetrics metrics(legend->font());
  int needed = 0;
  for (const QLegendMarker* marker : legend->markers()) {
    if (marker->isVisible()) {
      needed += metrics.horizontalAdvance(marker->label()) + kLegendEntrySpacing;
    }
  }
  const Qt::Alignment wanted = needed > chart()->size().width() ? Qt::AlignRight : Qt::AlignBottom;
  if (legend->alignment() != wanted) {
    legend->setAlignment(wanted);
  }
}

void ChartView::UpdateAllTicks() {
  for (QValueAxis* axis : {bottom_, left_, right_}) {
    UpdateTicks(axis, chart()->plotArea());
  }
}

void ChartView::ApplyTitles() {
  chart()->setTitle(Text(model_->Title()));
  chart()->legend()->setVisible(model_->LegendVisible());
  bottom_->setTitleText(Text(model_->BottomAxisTitle()));
  left_->setTitleText(Text(model_->LeftAxisTitle()));
  if (right_ != nullptr) {
    right_->setTitleText(Text(model_->RightAxisTitle()));
  }
  FitTitles();
}

// A title longer than its room is set smaller before it is cut off; the plot's width and
// height change with the layout, so this follows them.
void ChartView::FitTitles() {
  QChart* qt_chart = chart();
  const QRectF plot = qt_chart->plotArea();
  const QFont title = FittingFont(qt_chart->title(), qt_chart->size().width() - 12.0, 9, 7, true);
  if (qt_chart->titleFont() != title) {
    qt_chart->setTitleFont(title);
  }
  if (!(plot.width() > 0.0 && plot.height() > 0.0)) {
    return;
  }
  if (bottom_ != nullptr) {
    SetAxisTitleFont(bottom_, FittingFont(bottom_->titleText(), plot.width(), 8, 6, false));
  }
  for (QValueAxis* axis : {left_, right_}) {
    if (axis != nullptr) {
      SetAxisTitleFont(axis, FittingFont(axis->titleText(), plot.height(), 8, 6, false));
    }
  }
}

QSize ChartView::sizeHint() const {
  return {420, 300};
}

QSize ChartView::minimumSizeHint() const {
  return {160, 120};
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  emit editRequested(model_);
  event->accept();
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  press_position_ = event->position().toPoint();
  QChartView::mousePressEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint drag = event->position().toPoint() - press_position_;
  const bool up_left = drag.x() < -kUndoDragPixels && drag.y() < -kUndoDragPixels;
  if (event->button() == Qt::RightButton || (event->button() == Qt::LeftButton && up_left)) {
    if (auto* band = findChild<QRubberBand*>()) {
      band->hide();
    }
    UndoZoom();
    event->accept();
    return;
  }
  QChartView::mouseReleaseEvent(event);
}

bool SaveChartPng(const ChartView& view, const QString& path, QString* why) {
  // Grabbing only paints the widget into a pixmap; nothing the view shows changes.
  const QPixmap picture = const_cast<ChartView&>(view).grab();
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    if (why != nullptr) {
      *why = file.errorString();
    }
    return false;
  }
  if (picture.isNull() || !picture.save(&file, "PNG")) {
    if (why != nullptr) {
      *why = file.error() != QFileDevice::NoError ? file.errorString()
                                                  : QStringLiteral("the picture could not be made");
    }
    return false;
  }
  return true;
}

}  // namespace veltmoor
