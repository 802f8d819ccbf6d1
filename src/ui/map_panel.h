// Panel_Paint: shows the stacked map layers and hands mouse presses and releases, in panel
// pixels, to the core. Repaints only when a layer changed.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "growth/map_interaction.h"

class QLabel;
class QProgressBar;

namespace veltmoor {

struct Simulation;

class MapPanel : public QWidget {
  Q_OBJECT
 public:
  MapPanel(Simulation& sim, QWidget* parent = nullptr);

  QSize sizeHint() const override { return {611, 689}; }

  // Repaints what changed since the last paint: the pixels the core drew on, or everything
  // when a layer, the layer switches or the node labels changed; nothing otherwise. The
  // panel keeps at least the map's size so the scroll area around it scrolls a map larger
  // than the window. The window calls it from its refresh timer.
  void RefreshIfChanged();

  // The scale the map is shown at: 1 shows a map pixel as a screen pixel. Clicks and the
  // pointer are turned back into map pixels, so the core never sees the scale.
  double Zoom() const { return zoom_; }
  void SetZoom(double zoom);  // kept within kMinZoom..kMaxZoom
  // The largest scale up to 1:1 at which the whole map fits into `room`.
  double FittingZoom(const QSize& room) const;
  static constexpr double kMinZoom = 1.0 / 64;
  static constexpr double kMaxZoom = 8.0;

  // A picture laid over the map, stretched to it (a pixel per fine cell); a null image
  // removes it. It goes with the world it was made for: a map of another size drops it.
  void SetOverlay(QImage overlay);
  const QImage& Overlay() const { return overlay_; }

  // The progress panel over the map while the paths are computed.
  void ShowProgress(bool visible);
  void SetProgress(int percent);
  QProgressBar* ProgressBar() const { return progress_bar_; }

  // Mouse events go through the window so a failure is reported like any handler's.
  using MouseHandler = std::function<void(bool press, MouseButton button, int x, int y)>;
  void SetMouseHandler(MouseHandler handler) { mouse_ = std::move(handler); }
  // The pixel under the pointer as it moves over the map.
  using HoverHandler = std::function<void(int x, int y)>;
  void SetHoverHandler(HoverHandler handler);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 signals:
  // Ctrl and the wheel: a step up (positive) or down.
  void zoomRequested(int steps);

 private:
  int MapPixel(qreal position) const;
  QSize ShownSize() const;
  // What forces a whole repaint: which layers exist and show, and how many labels.
  std::uint64_t Signature() const;
  // The pixels drawn on since the last call, over all layers.
  QRect TakeChangedRegion();

  Simulation& sim_;
  QWidget* progress_panel_;
  QLabel* progress_label_;
  QProgressBar* progress_bar_;
  MouseHandler mouse_;
  HoverHandler hover_;
  std::uint64_t painted_ = ~std::uint64_t{0};
  double zoom_ = 1.0;
  QImage overlay_;
  QSize overlay_map_;  // the map's size when the overlay was laid
};

}  // namespace veltmoor
