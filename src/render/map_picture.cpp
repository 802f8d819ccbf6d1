#include "render/map_picture.h"

#include <QBuffer>
#include <QPainter>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "render/qt_canvas.h"
#include "simulation/numbers.h"

namespace veltmoor {

namespace {

constexpr int kNoCell = -1;

// For each picture column (or row), the map pixel at its centre.
std::vector<int> SampledPixels(int picture, int map) {
  std::vector<int> pixels(static_cast<std::size_t>(picture));
  for (int p = 0; p < picture; ++p) {
    pixels[static_cast<std::size_t>(p)] = static_cast<int>(
        (2 * static_cast<std::int64_t>(p) + 1) * map / (2 * static_cast<std::int64_t>(picture)));
  }
  return pixels;
}

// The column (or row) of the cell whose painted square covers map pixel `x`, or kNoCell:
// a cell is the square of 2 * (CellSize / 2) pixels around its centre, as World::DrawCell
// paints it.
int CoarseAt(const World& world, int x, int count) {
  const int index = x / world.CellSize;
  const int half = world.CellSize / 2;
  const int centre = world.CellCentre(index);
  return index < count && x >= centre - half && x < centre + half ? index : kNoCell;
}

// The same for fine cells, painted as squares of 2 * floor(CellSize / 6) pixels.
int FineAt(const World& world, int x, int count) {
  const int size = world.CellSize / 6;
  const int coarse = x / world.CellSize;
  for (int fine = 3 * coarse; fine < 3 * coarse + 3 && fine < count; ++fine) {
    const int centre = world.FineCentre(fine);
    if (x >= centre - size && x < centre + size) {
      return fine;
    }
  }
  return kNoCell;
}

QRgb ToRgb(Colour colour) {
  return qRgb(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

// The cell layer the panel shows: the fine layer covers the coarse one while shown.
void PaintCells(QImage& picture, const Simulation& sim) {
  const World& world = sim.world;
  const bool fine = sim.map.Visible.Fine;
  const int columns = fine ? 3 * world.ColumnCount : world.ColumnCount;
  const int rows = fine ? 3 * world.RowCount : world.RowCount;
  const auto cellAt = [&world, fine](int x, int count) {
    return fine ? FineAt(world, x, count) : CoarseAt(world, x, count);
  };
  std::vector<int> columnOf = SampledPixels(picture.width(), sim.map.PanelWidth);
  for (int& x : columnOf) {
    x = cellAt(x, columns);
  }
  const std::vector<int> rowPixels = SampledPixels(picture.height(), sim.map.PanelHeight);
  const QRgb white = ToRgb(colours::kWhite);
  const int width = picture.width();
  for (int y = 0; y < picture.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    const int row = cellAt(rowPixels[static_cast<std::size_t>(y)], rows);
    for (int x = 0; x < width; ++x) {
      const int column = columnOf[static_cast<std::size_t>(x)];
      if (row == kNoCell || column == kNoCell) {
        line[x] = white;
      } else {
        line[x] =
            ToRgb(fine ? world.FineGrid(column, row).Color : world.CellGrid(column, row).Color);
      }
    }
  }
}

// Streets under nodes, as "rePaint nodes" draws them; black is the node layer's
// see-through colour and stays unseen.
void PaintNetwork(QImage& picture, const Simulation& sim) {
  const World& world = sim.world;
  const double sx = static_cast<double>(picture.width()) / std::max(sim.map.PanelWidth, 1);
  const double sy = static_cast<double>(picture.height()) / std::max(sim.map.PanelHeight, 1);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing, false);
  const auto at = [sx, sy](const TAgent& node) { return QPointF(node.X * sx, node.Y * sy); };
  painter.setPen(QPen(ToQColor(colours::kOlive), std::max(1.0, 2.0 * std::min(sx, sy))));
  for (std::size_t i = 0; i < world.NodeList.size(); ++i) {
    const TAgent& node = *world.NodeList[i];
    for (const LinkEntry& link : node.Links) {
      if (static_cast<std::size_t>(link.OtherNode) > i) {
        painter.drawLine(at(node), at(world.Node(static_cast<std::size_t>(link.OtherNode))));
      }
    }
  }
  for (const auto& node : world.NodeList) {
    if (node->Color == colours::kBlack) {
      continue;
    }
    const double rx = std::max(0.5, node->Radius * sx);
    const double ry = std::max(0.5, node->Radius * sy);
    if (rx < 1.0 || ry < 1.0) {
      painter.fillRect(QRectF(at(*node) - QPointF(0.5, 0.5), QSizeF(1.0, 1.0)),
                       ToQColor(node->Color));
      continue;
    }
    painter.setPen(QPen(ToQColor(colours::kGreen), 1.0));
    painter.setBrush(ToQColor(node->Color));
    painter.drawEllipse(at(*node), rx, ry);
  }
}

// The picture's colours, or none when it has more than a palette holds.
QVector<QRgb> Palette(const QImage& picture) {
  constexpr int kPaletteSize = 256;
  QVector<QRgb> colours;
  QRgb last = 0;
  bool any = false;
  const int width = picture.width();
  for (int y = 0; y < picture.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    for (int x = 0; x < width; ++x) {
      if (any && line[x] == last) {
        continue;
      }
      any = true;
      last = line[x];
      if (!colours.contains(last)) {
        if (colours.size() == kPaletteSize) {
          return {};
        }
        colours.push_back(last);
      }
    }
  }
  return colours;
}

// Rewrites the RGB32 pixels of `picture` as rows of palette indices from its first byte on.
// Index row y ends before RGB row y's unread pixels begin (for y = 0, index x is written
// after pixel x was read), so rows are converted in order without a second buffer. Returns
// the bytes per index row.
int IndexInPlace(QImage& picture, const QVector<QRgb>& palette) {
  const int width = picture.width();
  const int stride = (width + 3) & ~3;
  const qsizetype rowBytes = picture.bytesPerLine();
  uchar* bytes = picture.bits();
  QRgb last = palette.front();
  uchar lastIndex = 0;
  for (int y = 0; y < picture.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(bytes + y * rowBytes);
    uchar* indices = bytes + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      const QRgb colour = line[x];
      if (colour != last) {
        last = colour;
        lastIndex = static_cast<uchar>(palette.indexOf(colour));
      }
      indices[x] = lastIndex;
    }
  }
  return stride;
}

QByteArray Png(const QImage& picture) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!picture.save(&buffer, "PNG")) {
    throw std::runtime_error("cannot encode the map picture");
  }
  return bytes;
}

}  // namespace

QSize MapPictureSize(int width, int height, int longest) {
  const int longer = std::max(width, height);
  if (longer <= longest || longer <= 0) {
    return {std::max(width, 0), std::max(height, 0)};
  }
  const double scale = static_cast<double>(longest) / longer;
  return {std::max(1, RoundToInt(width * scale)), std::max(1, RoundToInt(height * scale))};
}

QImage DrawMapPicture(const Simulation& sim, QSize size) {
  QImage picture(size, QImage::Format_RGB32);
  if (picture.isNull()) {
    return picture;
  }
  if (sim.map.Visible.CellLayers && sim.world.Exists()) {
    PaintCells(picture, sim);
  } else {
    picture.fill(Qt::white);
  }
  if (sim.map.Visible.Agent) {
    PaintNetwork(picture, sim);
  }
  const double scale = static_cast<double>(std::max(sim.map.PanelWidth, 1)) / size.width();
  picture.setText(QStringLiteral("Scale"),
                  QString::fromStdString("1 picture pixel = " + FormatNumber(RoundTo4(scale)) +
                                         " map pixels (map " + std::to_string(sim.map.PanelWidth) +
                                         " x " + std::to_string(sim.map.PanelHeight) + ")"));
  return picture;
}

QByteArray MapPicturePng(const Simulation& sim, QSize size) {
  QImage picture = DrawMapPicture(sim, size);
  const QVector<QRgb> palette = Palette(picture);
  if (picture.isNull() || palette.isEmpty()) {
    return Png(picture);
  }
  const int stride = IndexInPlace(picture, palette);
  // A view of the converted pixels; `picture` keeps them alive until it is written.
  QImage indexed(picture.bits(), picture.width(), picture.height(), stride,
                 QImage::Format_Indexed8);
  indexed.setColorTable(palette);
  for (const QString& key : picture.textKeys()) {
    indexed.setText(key, picture.text(key));
  }
  return Png(indexed);
}

}  // namespace veltmoor
