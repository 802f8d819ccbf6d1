// The chart editing dialog: chart and axis titles, which series are shown, and saving the
// chart as a picture or as its data file. Every edit goes straight into the chart model.
#pragma once

#include <QDialog>
#include <QString>

#include "chart/chart.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace veltmoor {

class ChartView;
class ErrorGuard;

class ChartEditor : public QDialog {
  Q_OBJECT

 public:
  // Edits the chart `view` shows; the view and `errors`, which shows failed saves, must
  // outlive the dialog.
  ChartEditor(ChartView& view, ErrorGuard& errors, QWidget* parent = nullptr);

  QLineEdit* TitleEdit() const { return title_; }
  QLineEdit* BottomTitleEdit() const { return bottom_; }
  QLineEdit* LeftTitleEdit() const { return left_; }
  QLineEdit* RightTitleEdit() const { return right_; }
  QListWidget* SeriesList() const { return series_; }

  // The file chart data is saved to: `path` with ".tee" added when it has no extension.
  static QString DataFilePath(const QString& path);
  // Writes the chart file; a failure is shown in a message box naming the path.
  bool SaveData(const QString& path);
  // Writes the picture; a failure is shown in a message box naming the path.
  bool SavePng(const QString& path);

 private:
  void BuildForm();
  void WriteTitles();
  void WriteVisibility(QListWidgetItem* item);
  void AskAndSavePng();
  void AskAndSaveData();

  ChartView& view_;
  chart::Chart& model_;
  ErrorGuard& errors_;
  QLineEdit* title_ = nullptr;
  QLineEdit* bottom_ = nullptr;
  QLineEdit* left_ = nullptr;
  QLineEdit* right_ = nullptr;
  QListWidget* series_ = nullptr;
};

}  // namespace veltmoor
