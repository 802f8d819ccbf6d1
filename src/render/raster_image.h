// Pictures of a raster of cells for the reader of a result: a map of classes with a legend
// of their colours, and a map of shares (0 .. 1) with a colour bar. Large rasters are shown
// scaled down to a bounded picture; the GeoTIFF beside it keeps every cell.
#pragma once

#include <QImage>
#include <QRgb>
#include <QString>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veltmoor {

struct LegendEntry {
  QRgb colour = 0;
  QString text;
};

// Classes 0 .. palette.size() - 1, row by row; each legend entry a coloured box and its text.
QImage ClassMapImage(int columns, int rows, std::span<const std::uint8_t> classes,
                     const std::vector<QRgb>& palette, const std::vector<LegendEntry>& legend);

// Shares in [0, 1], row by row, on a white-to-dark ramp with a colour bar titled `title`.
QImage ShareMapImage(int columns, int rows, std::span<const float> shares, const QString& title);

// The ramp's colour of a share, so other pictures can match it.
QRgb ShareColour(double share);

// The picture encoded as PNG.
std::string PngBytes(const QImage& image);

}  // namespace veltmoor
