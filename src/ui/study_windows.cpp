#include "ui/study_windows.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace veltmoor {

namespace {

constexpr int kValueEditWidth = 72;

// The controls stand in a column beside the chart, as wide as they need.
QWidget* Column(QWidget* parent, std::initializer_list<QWidget*> parts) {
  auto* column = new QWidget(parent);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  for (QWidget* part : parts) {
    layout->addWidget(part);
  }
  layout->addStretch(1);
  column->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
  return column;
}

QGroupBox* Group(const QString& title, QWidget* parent, QLayout* contents) {
  auto* group = new QGroupBox(title, parent);
  group->setLayout(contents);
  return group;
}

}  // namespace

// ---- TAnaDev

TAnaDev::TAnaDev(AppContext& context)
    : StudyWindow(context, DevParaSettings(), QStringLiteral("TAnaDev"),
                  QStringLiteral("AnaDevPara")) {
  QWidget* controls = BuildControls();
  auto study = std::make_unique<DevParaStudy>(MakeStudyContext(), Settings());
  dev_ = study.get();
  Attach(std::move(study), dev_->Chart_devPara, dev_->labels, controls);
  SetRunToggle(setting::dev_para::kStartStop);
  ConnectEvents();
  SetPreferredSize({1160, 660});
}

QGroupBox* TAnaDev::BuildParameterGroup() {
  auto* rows = new QGridLayout;
  int line = 0;
  for (const int index : kDevParaScreenOrder) {
    const DevParaRow& row = kDevParaRowControls[static_cast<std::size_t>(index)];
    rows->addWidget(new QLabel(QString::fromUtf8(row.label), this), line, 0);
    for (const SettingName edit : {row.from, row.to}) {
      Control(edit)->setFixedWidth(kValueEditWidth);
    }
    rows->addWidget(Control(row.from), line, 1);
    rows->addWidget(new QLabel(QStringLiteral("to"), this), line, 2);
    rows->addWidget(Control(row.to), line, 3);
    rows->addWidget(Control(row.active), line, 4);
    ++line;
  }
  auto* form = new QFormLayout;
  AddRows(form, {setting::dev_para::kIncrement, setting::dev_para::kMultiply,
                 setting::dev_para::kTimeUntilNextStep, setting::dev_para::kCalculationsPerRound});
  SetSpinStep(setting::dev_para::kTimeUntilNextStep, 10);
  auto* contents = new QVBoxLayout;
  contents->addLayout(rows);
  contents->addLayout(form);
  return Group(QStringLiteral("settings / development parameters"), this, contents);
}

QWidget* TAnaDev::BuildControls() {
  auto* snapshot = new QFormLayout;
  AddRows(snapshot, {setting::dev_para::kSaveSnapshot, setting::dev_para::kBasicName});

  auto* run = new QHBoxLayout;
  AddButton(run, QStringLiteral("B_start"), QStringLiteral("new start"),
            [this] { dev_->B_startClick(); });
  run->addWidget(Control(setting::dev_para::kStartStop));
  auto* runBox = new QWidget(this);
  runBox->setLayout(run);

  auto* chart = new QFormLayout;
  AddRows(chart, {setting::dev_para::kShowData, setting::dev_para::kShowAverage,
                  setting::dev_para::kShowTrend});
  chart->addRow(ChartButtons());

  return Column(
      this, {BuildParameterGroup(), Group(QStringLiteral("save snapshot"), this, snapshot), runBox,
             Group(QStringLiteral("chart"), this, chart),
             ProgressRows({{"values:", label::dev_para::kValue},
                           {"run of value:", label::dev_para::kRunOfValue}})});
}

void TAnaDev::ConnectEvents() {
  OnChange(
      setting::dev_para::kStartStop, [this] { dev_->B_startStopClick(); }, false);
  for (const SettingName name : {setting::dev_para::kShowData, setting::dev_para::kShowAverage,
                                 setting::dev_para::kShowTrend, setting::dev_para::kSaveSnapshot}) {
    OnChange(
        name, [this] { dev_->UpdateSeriesVisibility(); }, false);
  }
  const auto read = [this] { dev_->ReadStudySettings(); };
  for (const DevParaRow& row : kDevParaRowControls) {
    for (const SettingName name : {row.active, row.from, row.to}) {
      OnChange(name, read);
    }
  }
  OnChange(setting::dev_para::kIncrement, read);
  OnChange(setting::dev_para::kMultiply, read);
  OnChange(setting::dev_para::kCalculationsPerRound, read);
  OnChange(
      setting::dev_para::kBasicName, [this] { dev_->E_bNameChange(); }, false);
}

// ---- TanaMinDist

TanaMinDist::TanaMinDist(AppContext& context)
    : StudyWindow(context, MinDistSettings(), QStringLiteral("TanaMinDist"),
                  QStringLiteral("analyse min distance")) {
  QWidget* controls = BuildControls();
  auto study = std::make_unique<MinDistStudy>(MakeStudyContext(), Settings());
  min_dist_ = study.get();
  Attach(std::move(study), min_dist_->Chart_IS, min_dist_->labels, controls);
  ConnectEvents();
  SetPreferredSize({1060, 620});
}

QWidget* TanaMinDist::BuildControls() {
  auto* range = new QGridLayout;
  range->addWidget(new QLabel(QStringLiteral("minDist Value"), this), 0, 0, 1, 4);
  range->addWidget(new QLabel(QStringLiteral("values from:"), this), 1, 0);
  range->addWidget(Control(setting::min_dist::kValuesFrom), 1, 1);
  range->addWidget(new QLabel(QStringLiteral("to:"), this), 1, 2);
  range->addWidget(Control(setting::min_dist::kValuesTo), 1, 3);
  for (const SettingName edit : {setting::min_dist::kValuesFrom, setting::min_dist::kValuesTo}) {
    Control(edit)->setFixedWidth(kValueEditWidth);
  }
  auto* form = new QFormLayout;
  AddRows(form, {setting::min_dist::kIncrement, setting::min_dist::kTimesteps,
                 setting::min_dist::kCalculationsPerValue});
  auto* settings = new QVBoxLayout;
  settings->addLayout(range);
  settings->addLayout(form);

  auto* run = new QHBoxLayout;
  AddButton(run, QStringLiteral("B_start"), QStringLiteral("new start"),
            [this] { min_dist_->B_startClick(); });
  AddButton(
      run, QStringLiteral("B_break"), QStringLiteral("start / stop"),
      [this] { min_dist_->B_breakClick(); }, false);
  auto* runBox = new QWidget(this);
  runBox->setLayout(run);

  auto* chart = new QFormLayout;
  AddRows(chart, {setting::min_dist::kShowData, setting::min_dist::kShowAverage,
                  setting::min_dist::kShowTrend, setting::min_dist::kShowCurveFit,
                  setting::min_dist::kPolyDegree});
  chart->addRow(ChartButtons());

  return Column(this, {Group(QStringLiteral("settings"), this, settings), runBox,
                       Group(QStringLiteral("chart"), this, chart), ProgressRows({})});
}

void TanaMinDist::ConnectEvents() {
  for (const SettingName name :
       {setting::min_dist::kValuesFrom, setting::min_dist::kValuesTo, setting::min_dist::kTimesteps,
        setting::min_dist::kCalculationsPerValue, setting::min_dist::kIncrement}) {
    OnChange(
        name, [this] { min_dist_->ShowPlannedRuns(); }, false);
  }
  for (const SettingName name : {setting::min_dist::kShowData, setting::min_dist::kShowAverage,
                                 setting::min_dist::kShowTrend, setting::min_dist::kShowCurveFit}) {
    OnChange(
        name, [this] { min_dist_->UpdateSeriesVisibility(); }, false);
  }
  OnChange(
      setting::min_dist::kPolyDegree, [this] { min_dist_->UpD_polyDegSegClick(); }, false);
}

// ---- Tana_clusterGrow

Tana_clusterGrow::Tana_clusterGrow(AppContext& context)
    : StudyWindow(context, ClusterGrowthSettings(), QStringLiteral("Tana_clusterGrow"),
                  QStringLiteral("analyse cluster growth")) {
  QWidget* controls = BuildControls();
  auto study = std::make_unique<ClusterGrowthStudy>(MakeStudyContext(), Settings());
  growth_ = study.get();
  Attach(std::move(study), growth_->Chart_growCluster, growth_->labels, controls);
  ConnectEvents();
  SetPreferredSize({1060, 620});
}

QWidget* Tana_clusterGrow::BuildControls() {
  auto* settings = new QFormLayout;
  settings->addRow(new QLabel(QStringLiteral("growing cluster:"), this));
  AddRows(settings, {setting::cluster_growth::kMeasureSteps, setting::cluster_growth::kGrowUntil,
                     setting::cluster_growth::kCalculations});
  SetSpinStep(setting::cluster_growth::kGrowUntil, 10);

  auto* run = new QHBoxLayout;
  AddButton(run, QStringLiteral("B_start"), QStringLiteral("new start"),
            [this] { growth_->B_startClick(); });
  AddButton(
      run, QStringLiteral("B_break"), QStringLiteral("start / stop"),
      [this] { growth_->B_breakClick(); }, false);
  auto* runBox = new QWidget(this);
  runBox->setLayout(run);

  auto* chart = new QFormLayout;
  AddRows(chart, {setting::cluster_growth::kShowData, setting::cluster_growth::kShowAverage,
                  setting::cluster_growth::kShowTrend});
  chart->addRow(ChartButtons());

  return Column(this, {Group(QStringLiteral("settings"), this, settings), runBox,
                       Group(QStringLiteral("chart"), this, chart), ProgressRows({})});
}

void Tana_clusterGrow::ConnectEvents() {
  for (const SettingName name :
       {setting::cluster_growth::kMeasureSteps, setting::cluster_growth::kGrowUntil,
        setting::cluster_growth::kCalculations}) {
    OnChange(
        name, [this] { growth_->ShowPlannedRuns(); }, false);
  }
  for (const SettingName name :
       {setting::cluster_growth::kShowData, setting::cluster_growth::kShowAverage,
        setting::cluster_growth::kShowTrend}) {
    OnChange(
        name, [this] { growth_->UpdateSeriesVisibility(); }, false);
  }
}

}  // namespace veltmoor
