#include "render/composite.h"

#include <QPainter>
#include <algorithm>

#include "render/qt_canvas.h"

namespace veltmoor {

namespace {

const QImage* LayerImage(const std::unique_ptr<Canvas>& layer) {
  const auto* canvas = dynamic_cast<const QtCanvas*>(layer.get());
  return canvas == nullptr ? nullptr : &canvas->Image();
}

void PaintOpaque(QImage& picture, const QImage* layer) {
  if (layer == nullptr || layer->isNull()) {
    return;
  }
  QPainter painter(&picture);
  painter.drawImage(0, 0, *layer);
}

// Copies every pixel of the layer that is not the see-through colour.
void PaintTransparent(QImage& picture, const QImage* layer, Colour seeThrough) {
  if (layer == nullptr || layer->isNull()) {
    return;
  }
  const QImage source = layer->convertToFormat(QImage::Format_RGB32);
  const QRgb clear = qRgb(RedOf(seeThrough), GreenOf(seeThrough), BlueOf(seeThrough)) & 0xFFFFFF;
  const int width = std::min(picture.width(), source.width());
  const int height = std::min(picture.height(), source.height());
  for (int y = 0; y < height; ++y) {
    const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    auto* to = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < width; ++x) {
      if ((from[x] & 0xFFFFFF) != clear) {
        to[x] = from[x];
      }
    }
  }
}

void PaintNodeLabels(QImage& picture, const World& world) {
  if (world.NodeLabelList.empty() || !EnsureGuiApplication()) {
    return;
  }
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  const Font labelFont{6, colours::kNavy};
  for (const NodeLabel& label : world.NodeLabelList) {
    PaintText(painter, label.Left, label.Top, label.Caption, labelFont, nullptr);
  }
}

}  // namespace

QImage ComposeMap(const Simulation& sim) {
  QImage picture(std::max(sim.PanelWidth, 0), std::max(sim.PanelHeight, 0), QImage::Format_RGB32);
  if (picture.isNull()) {
    return picture;
  }
  picture.fill(Qt::white);
  const World& world = sim.world;
  if (sim.layers.CellLayers) {
    PaintOpaque(picture, LayerImage(world.MapImage));
    if (sim.layers.Fine) {
      PaintOpaque(picture, LayerImage(world.FineImage));
    }
  }
  if (sim.layers.Agent) {
    PaintTransparent(picture, LayerImage(world.AgentImage), colours::kBlack);
  }
  PaintNodeLabels(picture, world);
  return picture;
}

}  // namespace veltmoor
