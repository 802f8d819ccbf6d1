#include "ui/map_panel.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>
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

// High-DPI screens deliver fractions of a pixel; the pixel under the pointer is the floor.
int PanelPixel(qreal position) {
  return static_cast<int>(std::floor(position));
}

}  // namespace

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
  const QSize map(std::max(sim_.map.PanelWidth, 0), std::max(sim_.map.PanelHeight, 0));
  if (minimumSize() != map) {
    setMinimumSize(map);
  }
  const QRect changed = TakeChangedRegion();
  if (Signature() != painted_) {
    update();
  } else if (!changed.isEmpty()) {
    update(changed);
  }
}

void MapPanel::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect region = event->rect();
  painter.fillRect(region, Qt::white);
  painter.drawImage(region.topLeft(), ComposeMap(sim_, region));
  painted_ = Signature();
}

void MapPanel::mousePressEvent(QMouseEvent* event) {
  if (mouse_) {
    mouse_(true, ButtonOf(event->button()), PanelPixel(event->position().x()),
           PanelPixel(event->position().y()));
  }
}

void MapPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (mouse_) {
    mouse_(false, ButtonOf(event->button()), PanelPixel(event->position().x()),
           PanelPixel(event->position().y()));
  }
}

void MapPanel::SetHoverHandler(HoverHandler handler) {
  hover_ = std::move(handler);
  setMouseTracking(static_cast<bool>(hover_));
}

void MapPanel::mouseMoveEvent(QMouseEvent* event) {
  if (hover_) {
    hover_(PanelPixel(event->position().x()), PanelPixel(event->position().y()));
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
