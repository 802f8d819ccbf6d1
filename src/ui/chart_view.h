// A Qt Charts view of one chart model. It rebuilds its Qt series only when the model's change
// counter has moved, so a window may call Refresh often while a run adds points.
#pragma once

#include <QChartView>
#include <QString>
#include <cstdint>
#include <optional>

#include "chart/chart.h"

class QValueAxis;

namespace veltmoor {

struct AxisRange {
  double min = 0.0;
  double max = 1.0;
  bool operator==(const AxisRange&) const = default;
};

class ChartView : public QChartView {
  Q_OBJECT

 public:
  // `model` is not owned and must outlive the view.
  explicit ChartView(chart::Chart* model, QWidget* parent = nullptr);

  chart::Chart* Model() const { return model_; }

  // Shows the model's current state if its change counter (or zoom reset request) moved
  // since the last call; otherwise returns at once.
  void Refresh();
  // Back to the ranges that fit the data.
  void UndoZoom();
  bool IsZoomed() const { return zoomed_; }

  // What a view shows, for tests and for windows that lay charts out.
  std::uint64_t RebuildCount() const { return rebuilds_; }
  QValueAxis* BottomAxis() const { return bottom_; }
  QValueAxis* LeftAxis() const { return left_; }
  QValueAxis* RightAxis() const { return right_; }  // null while no shown series uses it
  AxisRange FittedBottom() const { return fitted_bottom_; }
  AxisRange FittedLeft() const { return fitted_left_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void editRequested(veltmoor::chart::Chart* chart);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  class Builder;

  void Rebuild();
  void ClearChart();
  void CreateAxes(bool with_right);
  void WatchRange(QValueAxis* axis, std::optional<AxisRange>& zoom_memory);
  void ApplyRanges();
  void SetRange(QValueAxis* axis, const AxisRange& range);
  void UpdateAllTicks();
  void ApplyTitles();
  void FitTitles();
  void FitLegend();

  chart::Chart* model_;
  QValueAxis* bottom_ = nullptr;
  QValueAxis* left_ = nullptr;
  QValueAxis* right_ = nullptr;
  bool bar_axis_ = false;  // the bottom axis labels bar categories

  AxisRange fitted_bottom_;
  AxisRange fitted_left_;
  AxisRange fitted_right_;
  // The user's zoom, kept across rebuilds until it is undone.
  bool zoomed_ = false;
  std::optional<AxisRange> zoom_bottom_;
  std::optional<AxisRange> zoom_left_;
  std::optional<AxisRange> zoom_right_;
  bool setting_ranges_ = false;

  std::uint64_t shown_changes_ = 0;
  std::uint64_t shown_zoom_resets_ = 0;
  std::uint64_t rebuilds_ = 0;
  QPoint press_position_;
};

// Renders the view as it stands into a PNG file; false when the picture could not be made
// or written, and then `why` (when given) holds the reason.
bool SaveChartPng(const ChartView& view, const QString& path, QString* why = nullptr);

}  // namespace veltmoor
