#include "ui/map_panel.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "render/composite.h"
#include "simulation/simulation.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

MouseButton ButtonOf(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return MouseButton::Left;
    case Qt::RightButton:
      return MouseButton::Right;
    default:
      return MouseButton::Other;  // middle and side buttons still record the press
  }
}

}  // namespace

// High-DPI screens and a scaled map deliver fractions of a pixel; the map pixel under the
// pointer is the floor.
int MapPanel::MapPixel(qreal position) const {
  return static_cast<int>(std::floor(position / zoom_));
}

QSize MapPanel::ShownSize() const {
  const auto scaled = [this](int length) {
    return static_cast<int>(std::ceil(std::max(length, 0) * zoom_));
  };
  return {scaled(sim_.map.PanelWidth), scaled(sim_.map.PanelHeight)};
}

void MapPanel::SetZoom(double zoom) {
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  if (zoom == zoom_) {
    return;
  }
  zoom_ = zoom;
  setMinimumSize(ShownSize());
  update();
}

double MapPanel::FittingZoom(const QSize& room) const {
  if (sim_.map.PanelWidth <= 0 || sim_.map.PanelHeight <= 0 || room.isEmpty()) {
    return 1.0;
  }
  const double across = static_cast<double>(room.width()) / sim_.map.PanelWidth;
  const double down = static_cast<double>(room.height()) / sim_.map.PanelHeight;
  return std::clamp(std::min({across, down, 1.0}), kMinZoom, kMaxZoom);
}

MapPanel::MapPanel(Simulation& sim, QWidget* parent)
    : QWidget(parent),
      sim_(sim),
      progress_panel_(new QWidget(this)),
      progress_label_(new QLabel(QStringLiteral("calculate pathes..."), progress_panel_)),
      progress_bar_(new QProgressBar(progress_panel_)) {
  setObjectName("Panel_Paint");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  progress_panel_->setObjectName("Panel_PBar");
  progress_label_->setObjectName(QString::fromUtf8(label::kPathProgress.View()));
  progress_bar_->setObjectName("ProgressBar1");
  progress_bar_->setRange(0, 100);
  progress_panel_->setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(progress_panel_);
  layout->addWidget(progress_label_);
  layout->addWidget(progress_bar_);
  progress_panel_->setGeometry(40, 40, 260, 70);
  progress_panel_->hide();
}

std::uint64_t MapPanel::Signature() const {
  const MapLayers& map = sim_.map;
  std::uint64_t signature = map.NodeLabelList.size();
  for (const Canvas* layer : {map.MapImage.get(), map.FineImage.get(), map.AgentImage.get()}) {
    signature = signature * 1000003u + reinterpret_cast<std::uintptr_t>(layer);
  }
  signature = signature * 31u + (map.Visible.CellLayers ? 1u : 0u);
  signature = signature * 31u + (map.Visible.Fine ? 1u : 0u);
  signature = signature * 31u + (map.Visible.Agent ? 1u : 0u);
  signature = signature * 31u + static_cast<std::uint64_t>(map.PanelWidth);
  signature = signature * 31u + static_cast<std::uint64_t>(map.PanelHeight);
  return signature;
}

QRect MapPanel::TakeChangedRegion() {
  MapLayers& map = sim_.map;
  PixelBox changed;
  for (Canvas* layer : {map.MapImage.get(), map.FineImage.get(), map.AgentImage.get()}) {
    if (layer != nullptr) {
      changed = changed.United(layer->TakeChangedBox());
    }
  }
  if (changed.Empty()) {
    return {};
  }
  return QRect(QPoint(changed.left, changed.top), QPoint(changed.right - 1, changed.bottom - 1));
}

void MapPanel::RefreshIfChanged() {
  const QSize shown = ShownSize();
  if (minimumSize() != shown) {
    setMinimumSize(shown);
  }
  const QRect changed = TakeChangedRegion();
  if (Signature() != painted_) {
    update();
  } else if (!changed.isEmpty()) {
    const QRectF scaled(QPointF(changed.topLeft()) * zoom_, QSizeF(changed.size()) * zoom_);
    update(scaled.toAlignedRect());
  }
}

void MapPanel::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect region = event->rect();
  painter.fillRect(region, Qt::white);
  if (zoom_ == 1.0) {
    painter.drawImage(region.topLeft(), ComposeMap(sim_, region));
  } else {
    // The map pixels behind the region, drawn scaled; smooth when shrinking, so thin
    // streets do not vanish between the pixels kept.
    const QRect mapRegion =
        QRectF(QPointF(region.topLeft()) / zoom_, QSizeF(region.size()) / zoom_).toAlignedRect();
    const QImage part = ComposeMap(sim_, mapRegion);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom_ < 1.0);
    painter.drawImage(QRectF(QPointF(mapRegion.topLeft()) * zoom_, QSizeF(part.size()) * zoom_),
                      part);
  }
  const QSize map(sim_.map.PanelWidth, sim_.map.PanelHeight);
  if (!overlay_.isNull() && map == overlay_map_) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(map) * zoom_), overlay_);
  }
  painted_ = Signature();
}

void MapPanel::SetOverlay(QImage overlay) {
  overlay_ = std::move(overlay);
  overlay_map_ = QSize(sim_.map.PanelWidth, sim_.map.PanelHeight);
  update();
}

void MapPanel::wheelEvent(QWheelEvent* event) {
  if ((event->modifiers() & Qt::ControlModifier) == 0) {
    QWidget::wheelEvent(event);  // the scroll area scrolls
    return;
  }
  const int steps = event->angleDelta().y() / QWheelEvent::DefaultDeltasPerStep;
  if (steps != 0) {
    emit zoomRequested(steps);
  }
  event->accept();
}

void MapPanel::mousePressEvent(QMouseEvent* event) {
  if (mouse_) {
    mouse_(true, ButtonOf(event->button()), MapPixel(event->position().x()),
           MapPixel(event->position().y()));
  }
}

void MapPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (mouse_) {
    mouse_(false, ButtonOf(event->button()), MapPixel(event->position().x()),
           MapPixel(event->position().y()));
  }
}

void MapPanel::SetHoverHandler(HoverHandler handler) {
  hover_ = std::move(handler);
  setMouseTracking(static_cast<bool>(hover_));
}

void MapPanel::mouseMoveEvent(QMouseEvent* event) {
  if (hover_) {
    hover_(MapPixel(event->position().x()), MapPixel(event->position().y()));
  }
  QWidget::mouseMoveEvent(event);
}

void MapPanel::ShowProgress(bool visible) {
  progress_panel_->setVisible(visible);
  if (visible) {
    progress_panel_->raise();
    progress_label_->repaint();
  }
}

void MapPanel::SetProgress(int percent) {
  progress_bar_->setValue(percent);
  progress_bar_->repaint();
}

}  // namespace veltmoor
