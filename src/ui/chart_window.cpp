#include "ui/chart_window.h"

#include <QVBoxLayout>

#include "chart/chart_file.h"
#include "ui/chart_view.h"

namespace veltmoor {

TChartWindow::TChartWindow(const QString& path, QWidget* parent)
    : QWidget(parent), chart_(chart::LoadChartFile(path.toStdString())) {
  setWindowTitle(path);
  setProperty("windowClass", QStringLiteral("TChartWindow"));
  view_ = new ChartView(chart_.get(), this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  view_->Refresh();
  resize(640, 480);
}

TChartWindow::~TChartWindow() = default;

}  // namespace veltmoor
