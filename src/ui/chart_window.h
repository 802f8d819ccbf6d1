// A chart file (.tee, as the chart editor and the studies write them) shown in a child
// window of its own.
#pragma once

#include <QWidget>
#include <memory>

#include "chart/chart.h"

namespace veltmoor {

class ChartView;

class TChartWindow : public QWidget {
  Q_OBJECT
 public:
  // Reads the file before the window is made; throws std::runtime_error naming the file
  // when it is not a chart file.
  explicit TChartWindow(const QString& path, QWidget* parent = nullptr);
  ~TChartWindow() override;

  ChartView* View() const { return view_; }

 private:
  std::unique_ptr<chart::Chart> chart_;
  ChartView* view_ = nullptr;
};

}  // namespace veltmoor
