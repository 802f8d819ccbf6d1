#include "render/raster_image.h"

#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace veltmoor {

namespace {

// Small rasters are enlarged to at least this many pixels on the long side, large ones
// reduced to at most the other bound, so a picture stays readable and its memory bounded.
constexpr int kSmallestSide = 480;
constexpr int kLargestSide = 1024;
constexpr int kLineHeight = 20;
constexpr int kMargin = 8;

struct Layout {
  int width = 0;
  int height = 0;
};

Layout MapLayout(int columns, int rows) {
  const int longest = std::max(columns, rows);
  if (longest <= 0) {
    return {};
  }
  if (longest < kSmallestSide) {
    const int zoom = kSmallestSide / longest;
    return {columns * zoom, rows * zoom};
  }
  if (longest <= kLargestSide) {
    return {columns, rows};
  }
  const double factor = static_cast<double>(kLargestSide) / longest;
  return {std::max(1, static_cast<int>(columns * factor)),
          std::max(1, static_cast<int>(rows * factor))};
}

// Paints the map into the image's top, each picture pixel showing the cell under its centre.
template <typename Colour>
void PaintCells(QImage& image, const Layout& map, int columns, int rows, Colour colour_of) {
  for (int y = 0; y < map.height; ++y) {
    const auto row = static_cast<std::size_t>(static_cast<long long>(y) * rows / map.height);
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < map.width; ++x) {
      const auto column = static_cast<std::size_t>(static_cast<long long>(x) * columns / map.width);
      line[x] = colour_of(row * static_cast<std::size_t>(columns) + column);
    }
  }
}

QImage Canvas(const Layout& map, int legend_height) {
  QImage image(std::max(map.width, kSmallestSide), map.height + legend_height,
               QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

}  // namespace

QImage ClassMapImage(int columns, int rows, std::span<const std::uint8_t> classes,
                     const std::vector<QRgb>& palette, const std::vector<LegendEntry>& legend) {
  const Layout map = MapLayout(columns, rows);
  const int per_column = static_cast<int>((legend.size() + 1) / 2);
  QImage image = Canvas(map, 2 * kMargin + per_column * kLineHeight);
  PaintCells(image, map, columns, rows, [&](std::size_t i) {
    const std::size_t code = classes[i];
    return code < palette.size() ? palette[code] : qRgb(0, 0, 0);
  });
  QPainter painter(&image);
  const int half = image.width() / 2;
  for (std::size_t i = 0; i < legend.size(); ++i) {
    const int column = static_cast<int>(i) / std::max(1, per_column);
    const int x = kMargin + column * half;
    const int y =
        map.height + kMargin + (static_cast<int>(i) % std::max(1, per_column)) * kLineHeight;
    painter.fillRect(x, y + 3, 14, 14, QColor::fromRgb(legend[i].colour));
    painter.setPen(Qt::black);
    painter.drawRect(x, y + 3, 14, 14);
    painter.drawText(x + 20, y + 15, legend[i].text);
  }
  return image;
}

QRgb ShareColour(double share) {
  // White through yellow and orange to a dark red: the share of runs that developed a cell.
  constexpr std::array<std::array<int, 3>, 5> stops = {
      {{255, 255, 255}, {255, 237, 160}, {254, 178, 76}, {240, 59, 32}, {128, 0, 38}}};
  const double t = std::clamp(share, 0.0, 1.0) * (stops.size() - 1);
  const auto low = std::min(static_cast<std::size_t>(t), stops.size() - 2);
  const double f = t - static_cast<double>(low);
  const auto mix = [&](int k) {
    return static_cast<int>(std::lround(stops[low][k] + f * (stops[low + 1][k] - stops[low][k])));
  };
  return qRgb(mix(0), mix(1), mix(2));
}

QImage ShareMapImage(int columns, int rows, std::span<const float> shares, const QString& title) {
  const Layout map = MapLayout(columns, rows);
  QImage image = Canvas(map, 3 * kLineHeight + 2 * kMargin);
  PaintCells(image, map, columns, rows, [&](std::size_t i) { return ShareColour(shares[i]); });
  QPainter painter(&image);
  painter.setPen(Qt::black);
  const int top = map.height + kMargin;
  painter.drawText(kMargin, top + 14, title);
  const int bar_width = image.width() - 2 * kMargin;
  for (int x = 0; x < bar_width; ++x) {
    painter.setPen(QColor::fromRgb(ShareColour(static_cast<double>(x) / (bar_width - 1))));
    painter.drawLine(kMargin + x, top + kLineHeight, kMargin + x, top + 2 * kLineHeight - 4);
  }
  painter.setPen(Qt::black);
  painter.drawRect(kMargin, top + kLineHeight, bar_width - 1, kLineHeight - 4);
  const int labels = top + 3 * kLineHeight - 2;
  painter.drawText(kMargin, labels, QStringLiteral("0"));
  painter.drawText(kMargin + bar_width / 2 - 8, labels, QStringLiteral("0.5"));
  painter.drawText(kMargin + bar_width - 10, labels, QStringLiteral("1"));
  return image;
}

std::string PngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) {
    throw std::runtime_error("cannot encode a picture as PNG");
  }
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace veltmoor
