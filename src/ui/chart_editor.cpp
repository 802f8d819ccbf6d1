#include "ui/chart_editor.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "chart/chart_file.h"
#include "ui/chart_view.h"
#include "ui/error_guard.h"

namespace veltmoor {

namespace {

constexpr int kSeriesIndexRole = Qt::UserRole;

QString Caption(const chart::Chart& model) {
  return QStringLiteral("Chart editor – %1").arg(QString::fromStdString(model.Title()));
}

QLineEdit* TitleField(const std::string& text) {
  auto* edit = new QLineEdit(QString::fromStdString(text));
  edit->setClearButtonEnabled(true);
  return edit;
}

}  // namespace

ChartEditor::ChartEditor(ChartView& view, ErrorGuard& errors, QWidget* parent)
    : QDialog(parent), view_(view), model_(*view.Model()), errors_(errors) {
  setWindowTitle(Caption(model_));
  BuildForm();
  // Connected after filling the fields, so opening the editor changes nothing.
  for (QLineEdit* edit : {title_, bottom_, left_, right_}) {
    connect(edit, &QLineEdit::textChanged, this, &ChartEditor::WriteTitles);
  }
  connect(series_, &QListWidget::itemChanged, this, &ChartEditor::WriteVisibility);
}

void ChartEditor::BuildForm() {
  title_ = TitleField(model_.Title());
  bottom_ = TitleField(model_.BottomAxisTitle());
  left_ = TitleField(model_.LeftAxisTitle());
  right_ = TitleField(model_.RightAxisTitle());
  auto* titles = new QFormLayout;
  titles->addRow(QStringLiteral("Title"), title_);
  titles->addRow(QStringLiteral("Bottom axis"), bottom_);
  titles->addRow(QStringLiteral("Left axis"), left_);
  titles->addRow(QStringLiteral("Right axis"), right_);

  series_ = new QListWidget;
  const auto& all = model_.AllSeries();
  for (std::size_t i = 0; i < all.size(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(all[i]->Title()), series_);
    item->setToolTip(QString::fromStdString(all[i]->Name()));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(all[i]->Visible() ? Qt::Checked : Qt::Unchecked);
    item->setData(kSeriesIndexRole, static_cast<qulonglong>(i));
  }
  auto* series_box = new QGroupBox(QStringLiteral("Series"));
  auto* series_layout = new QVBoxLayout(series_box);
  series_layout->addWidget(series_);

  auto* save_png = new QPushButton(QStringLiteral("Save as PNG…"));
  auto* save_data = new QPushButton(QStringLiteral("Save data…"));
  auto* close = new QPushButton(QStringLiteral("Close"));
  close->setDefault(true);
  connect(save_png, &QPushButton::clicked, this, &ChartEditor::AskAndSavePng);
  connect(save_data, &QPushButton::clicked, this, &ChartEditor::AskAndSaveData);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(save_png);
  buttons->addWidget(save_data);
  buttons->addStretch();
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(titles);
  layout->addWidget(series_box, 1);
  layout->addLayout(buttons);
  resize(380, 420);
}

void ChartEditor::WriteTitles() {
  model_.SetTitle(title_->text().toStdString());
  model_.SetAxisTitles(bottom_->text().toStdString(), left_->text().toStdString(),
                       right_->text().toStdString());
  setWindowTitle(Caption(model_));
  view_.Refresh();
}

void ChartEditor::WriteVisibility(QListWidgetItem* item) {
  const auto index = item->data(kSeriesIndexRole).toULongLong();
  const auto& all = model_.AllSeries();
  if (index < all.size()) {
    all[index]->SetVisible(item->checkState() == Qt::Checked);
    view_.Refresh();
  }
}

QString ChartEditor::DataFilePath(const QString& path) {
  return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".tee") : path;
}

bool ChartEditor::SaveData(const QString& path) {
  return errors_.Run(this, [&] { chart::SaveChartFile(model_, DataFilePath(path).toStdString()); });
}

bool ChartEditor::SavePng(const QString& path) {
  return errors_.Run(this, [&] {
    QString why;
    if (!SaveChartPng(view_, path, &why)) {
      throw std::runtime_error("cannot write picture '" + path.toStdString() +
                               "': " + why.toStdString());
    }
  });
}

void ChartEditor::AskAndSavePng() {
  const QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Save as PNG"),
                                   QString::fromStdString(model_.Name()) + QStringLiteral(".png"),
                                   QStringLiteral("PNG pictures (*.png)"));
  if (!path.isEmpty()) {
    SavePng(path);
  }
}

void ChartEditor::AskAndSaveData() {
  const QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Save data"),
                                   QString::fromStdString(model_.Name()) + QStringLiteral(".tee"),
                                   QStringLiteral("Chart data (*.tee)"));
  if (!path.isEmpty()) {
    SaveData(path);
  }
}

}  // namespace veltmoor
