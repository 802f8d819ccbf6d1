#include "render/composite.h"

#include <QPainter>
#include <algorithm>
#include <vector>

#include "render/qt_canvas.h"

namespace veltmoor {

namespace {

const QImage* LayerImage(const std::unique_ptr<Canvas>& layer) {
  const auto* canvas = dynamic_cast<const QtCanvas*>(layer.get());
  return canvas == nullptr ? nullptr : &canvas->Image();
}

void PaintOpaque(QImage& picture, const QImage* layer, const QRect& region) {
  if (layer == nullptr || layer->isNull()) {
    return;
  }
  QPainter painter(&picture);
  painter.drawImage(QPoint(0, 0), *layer, region);
}

// Copies every pixel of the layer that is not the see-through colour.
void PaintTransparent(QImage& picture, const QImage* layer, Colour seeThrough,
                      const QRect& region) {
  if (layer == nullptr || layer->isNull()) {
    return;
  }
  const QRect shared = region.intersected(layer->rect());
  if (shared.isEmpty()) {
    return;
  }
  const QImage source = layer->format() == QImage::Format_RGB32
                            ? *layer
                            : layer->copy(shared).convertToFormat(QImage::Format_RGB32);
  const QPoint origin = layer->format() == QImage::Format_RGB32 ? shared.topLeft() : QPoint();
  const QRgb clear = qRgb(RedOf(seeThrough), GreenOf(seeThrough), BlueOf(seeThrough)) & 0xFFFFFF;
  const int width = std::min(picture.width(), shared.width());
  const int height = std::min(picture.height(), shared.height());
  for (int y = 0; y < height; ++y) {
    const auto* from =
        reinterpret_cast<const QRgb*>(source.constScanLine(origin.y() + y)) + origin.x();
    auto* to = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < width; ++x) {
      if ((from[x] & 0xFFFFFF) != clear) {
        to[x] = from[x];
      }
    }
  }
}

void PaintNodeLabels(QImage& picture, const std::vector<NodeLabel>& labels, const QRect& region) {
  if (labels.empty() || !EnsureGuiApplication()) {
    return;
  }
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.translate(-region.topLeft());
  const Font labelFont{6, colours::kNavy};
  for (const NodeLabel& label : labels) {
    // A node number at 6 points is far smaller than this; the test only spares the
    // painter the labels of a large map that lie well away from the region.
    constexpr int kLabelReach = 64;
    if (label.Left > region.right() || label.Top > region.bottom() ||
        label.Left + kLabelReach < region.left() || label.Top + kLabelReach < region.top()) {
      continue;
    }
    PaintText(painter, label.Left, label.Top, label.Caption, labelFont, nullptr);
  }
}

}  // namespace

QImage ComposeMap(const Simulation& sim) {
  return ComposeMap(sim, QRect(0, 0, sim.map.PanelWidth, sim.map.PanelHeight));
}

QImage ComposeMap(const Simulation& sim, const QRect& region) {
  const QRect panel(0, 0, std::max(sim.map.PanelWidth, 0), std::max(sim.map.PanelHeight, 0));
  const QRect shown = region.intersected(panel);
  QImage picture(shown.size(), QImage::Format_RGB32);
  if (picture.isNull()) {
    return picture;
  }
  picture.fill(Qt::white);
  if (sim.map.Visible.CellLayers) {
    PaintOpaque(picture, LayerImage(sim.map.MapImage), shown);
    if (sim.map.Visible.Fine) {
      PaintOpaque(picture, LayerImage(sim.map.FineImage), shown);
    }
  }
  if (sim.map.Visible.Agent) {
    PaintTransparent(picture, LayerImage(sim.map.AgentImage), colours::kBlack, shown);
  }
  PaintNodeLabels(picture, sim.map.NodeLabelList, shown);
  return picture;
}

}  // namespace veltmoor
