#include "render/chart_image.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>

#include "simulation/numbers.h"

namespace veltmoor {

namespace {

// Series without a colour of their own take these in turn, as the desktop charts do.
constexpr QRgb kPalette[] = {0xff1f77b4, 0xffd62728, 0xff2ca02c, 0xffff7f0e, 0xff9467bd};

QColor SeriesColor(const chart::Series& series, std::size_t index) {
  const std::uint32_t bgr = series.Color();
  if (bgr == 0) {
    return QColor::fromRgb(kPalette[index % std::size(kPalette)]);
  }
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

struct Range {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void Add(double v) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
  // An empty or single-valued range still needs a width to draw on.
  void Settle() {
    if (!(low <= high)) {
      low = 0.0;
      high = 1.0;
    }
    // A margin keeps points on the border off the frame.
    const double pad =
        high - low > 0.0 ? 0.05 * (high - low) : (low == 0.0 ? 1.0 : std::fabs(low) * 0.1);
    low -= pad;
    high += pad;
  }
};

// Round tick steps of 1, 2 or 5 times a power of ten, about five of them.
double TickStep(const Range& range) {
  const double raw = (range.high - range.low) / 5.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= raw) {
      return factor * power;
    }
  }
  return 10.0 * power;
}

// The plot area and the data ranges it shows, and where a value lands in it.
struct Frame {
  QRect plot;
  Range xs;
  Range ys;
  double X(double x) const {
    return plot.left() + (x - xs.low) / (xs.high - xs.low) * plot.width();
  }
  double Y(double y) const {
    return plot.bottom() - (y - ys.low) / (ys.high - ys.low) * plot.height();
  }
};

// The ranges of the visible series' finite points.
void SettleRanges(const chart::Chart& chart, Frame& frame) {
  for (const auto& series : chart.AllSeries()) {
    if (!series->Visible()) {
      continue;
    }
    for (const chart::Point& p : series->Points()) {
      if (std::isfinite(p.x) && std::isfinite(p.y)) {
        frame.xs.Add(p.x);
        frame.ys.Add(p.y);
      }
    }
  }
  frame.xs.Settle();
  frame.ys.Settle();
}

// Title, frame, grid lines with their values, and the axis titles.
void PaintAxes(QPainter& painter, const chart::Chart& chart, const Frame& frame, int width) {
  const QRect& plot = frame.plot;
  painter.setPen(Qt::black);
  painter.drawText(QRect(0, 8, width, 24), Qt::AlignHCenter, QString::fromStdString(chart.Title()));
  painter.drawRect(plot);
  const double x_step = TickStep(frame.xs);
  const double y_step = TickStep(frame.ys);
  for (double x = std::ceil(frame.xs.low / x_step) * x_step; x <= frame.xs.high; x += x_step) {
    painter.setPen(QColor(0xe0, 0xe0, 0xe0));
    painter.drawLine(QPointF(frame.X(x), plot.top()), QPointF(frame.X(x), plot.bottom()));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(frame.X(x) - 40, plot.bottom() + 4, 80, 16), Qt::AlignHCenter,
                     QString::fromStdString(FormatNumber(RoundTo4(x))));
  }
  for (double y = std::ceil(frame.ys.low / y_step) * y_step; y <= frame.ys.high; y += y_step) {
    painter.setPen(QColor(0xe0, 0xe0, 0xe0));
    painter.drawLine(QPointF(plot.left(), frame.Y(y)), QPointF(plot.right(), frame.Y(y)));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, frame.Y(y) - 8, plot.left() - 6, 16), Qt::AlignRight,
                     QString::fromStdString(FormatNumber(RoundTo4(y))));
  }
  painter.drawText(QRect(plot.left(), plot.bottom() + 24, plot.width(), 20), Qt::AlignHCenter,
                   QString::fromStdString(chart.BottomAxisTitle()));
  painter.save();
  painter.translate(14, plot.center().y());
  painter.rotate(-90);
  painter.drawText(QRect(-plot.height() / 2, -8, plot.height(), 20), Qt::AlignHCenter,
                   QString::fromStdString(chart.LeftAxisTitle()));
  painter.restore();
}

// One series as dots or a line in its colour.
void PaintSeries(QPainter& painter, const chart::Series& series, const Frame& frame,
                 const QColor& color) {
  painter.setPen(QPen(color, 1.5));
  painter.setBrush(color);
  const bool dots = series.Kind() == chart::SeriesKind::Point;
  QPainterPath line;
  for (const chart::Point& p : series.Points()) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
      continue;
    }
    const QPointF at(frame.X(p.x), frame.Y(p.y));
    if (dots) {
      painter.drawEllipse(at, 3.5, 3.5);
    } else if (line.elementCount() == 0) {
      line.moveTo(at);
    } else {
      line.lineTo(at);
    }
  }
  if (!dots) {
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(line);
    painter.setBrush(color);
  }
}

}  // namespace

QImage PaintChart(const chart::Chart& chart, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QFont font = painter.font();
  font.setPixelSize(12);
  painter.setFont(font);

  Frame frame;
  frame.plot = QRect(70, 40, width - 70 - 150, height - 40 - 55);
  SettleRanges(chart, frame);
  PaintAxes(painter, chart, frame, width);

  int legend_y = frame.plot.top();
  std::size_t index = 0;
  for (const auto& series : chart.AllSeries()) {
    const QColor color = SeriesColor(*series, index++);
    if (!series->Visible()) {
      continue;
    }
    PaintSeries(painter, *series, frame, color);
    painter.drawEllipse(QPointF(frame.plot.right() + 16, legend_y + 7), 4, 4);
    painter.setPen(Qt::black);
    painter.drawText(QRect(frame.plot.right() + 26, legend_y, 120, 16), Qt::AlignLeft,
                     QString::fromStdString(series->Title()));
    legend_y += 20;
  }
  painter.end();
  return image;
}

}  // namespace veltmoor
