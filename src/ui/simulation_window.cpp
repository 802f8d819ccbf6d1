#include "ui/simulation_window.h"
#include "ui/street_stats_table.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "analysis/cluster.h"
#include "analysis/dijkstra.h"
#include "analysis/fractal.h"
#include "growth/building_rules.h"
#include "growth/map_interaction.h"
#include "growth/run_control.h"
#include "render/qt_canvas.h"
#include "simulation/numbers.h"
#include "simulation/resulting_force.h"
#include "simulation/setup.h"
#include "simulation/window_outputs.h"
#include "studies/building_rule_study.h"
#include "ui/app_context.h"
#include "ui/chart_editor.h"
#include "ui/chart_view.h"
#include "ui/error_guard.h"
#include "ui/main_form.h"
#include "ui/map_panel.h"
#include "ui/street_stats_table.h"
#include "ui/study_window.h"
#include "ui/window_arrangement.h"
#include "views/layers.h"

namespace veltmoor {

namespace {

const char* const kFieldTypes = "field types";
const char* const kDevelopment = "development settings";
const char* const kBuilding = "building";
const char* const kAnalyseGraph = "analyse graph";
const char* const kAnalyseStructure = "analyse structure";
const char* const kBuildingAnalysis = "building structure analysis";

// Texts that stand after a control on the same line.
const std::map<std::string_view, QString> kTrailingTexts = {
    {setting::kClusterRounds.View(), QStringLiteral("cluster rounds")},
    {setting::kGrowThreshold.View(), QStringLiteral("(=1 for higwayman)")},
    {setting::kMinDistance.View(), QStringLiteral("(only for interlink)")},
};

// One zoom step: four steps halve or double the scale, near enough.
constexpr double kZoomStep = 1.189207115002721;  // 2^(1/4)

// Settings whose change redraws the resulting-force curve and the proportions.
const SettingName kForceSettings[] = {setting::kCentripetalWeight, setting::kCentrifugalWeight,
                                      setting::kCentripetalScale, setting::kCentrifugalScale,
                                      setting::kRandomScale};

}  // namespace

TForm1::TForm1(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context), settings_(SimulationSettings()) {
  setWindowTitle(QStringLiteral("growing network"));
  setProperty("windowClass", QStringLiteral("TForm1"));

  panel_ = new MapPanel(sim(), this);
  panel_->SetMouseHandler([this](bool press, MouseButton button, int x, int y) {
    Act([&] {
      if (press) {
        Panel_PaintMouseDown(sim(), button, x, y);
      } else {
        Panel_PaintMouseUp(sim(), button, x, y);
      }
    });
  });

  panel_->SetHoverHandler([this](int x, int y) { ShowMapCoordinates(x, y); });

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("PageControl1");
  tabs_->addTab(BuildFieldTypesTab(), QString::fromUtf8(kFieldTypes));
  tabs_->addTab(BuildDevelopmentTab(), QString::fromUtf8(kDevelopment));
  tabs_->addTab(BuildBuildingTab(), QString::fromUtf8(kBuilding));
  tabs_->addTab(BuildAnalyseGraphTab(), QString::fromUtf8(kAnalyseGraph));
  tabs_->addTab(BuildAnalyseStructureTab(), QString::fromUtf8(kAnalyseStructure));
  tabs_->addTab(BuildBuildingAnalysisTab(), QString::fromUtf8(kBuildingAnalysis));
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { RefreshCharts(); });

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  map_scroll_ = new QScrollArea(splitter);
  map_scroll_->setWidget(panel_);
  map_scroll_->setWidgetResizable(true);
  map_scroll_->setMinimumWidth(300);
  splitter->addWidget(BuildMapView(splitter));
  splitter->addWidget(tabs_);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({640, 760});
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(ScrollingContainer(splitter, this));

  ConnectSettingEvents();

  timer1_.setInterval(1);
  connect(&timer1_, &QTimer::timeout, this, &TForm1::Timer1Timer);
  refresh_.setInterval(40);
  connect(&refresh_, &QTimer::timeout, this, &TForm1::RefreshViews);
  refresh_.start();

  // The world is built for the panel's size before the window is maximised.
  Act([this] {
    sim().map.PanelWidth = panel_->sizeHint().width();
    sim().map.PanelHeight = panel_->sizeHint().height();
    NewSetup(sim());
  });
  resize(1400, 820);
}

TForm1::~TForm1() = default;

Simulation& TForm1::sim() {
  return context_.sim;
}

bool TForm1::Act(const std::function<void()>& handler) {
  context_.router.Route(settings_);
  const bool ok = context_.errors.Run(this, handler);
  SyncTimer();
  RefreshViews();
  return ok;
}

void TForm1::SyncTimer() {
  // Operations switch the run off in the core; the timer follows. Only "start" and the
  // tool bar switch it on.
  if (!sim().TimerEnabled && timer1_.isActive()) {
    timer1_.stop();
  }
}

void TForm1::Timer1Timer() {
  if (context_.world_busy) {
    return;
  }
  context_.router.Route(settings_);
  if (!context_.errors.Run(this, [this] { SimulationStep(sim()); })) {
    // A step that fails fails again on the next tick: the run stops, so the failure is
    // reported once and the user can reach the settings, until "start" again.
    StopAfterFailure();
  }
  SyncTimer();
}

void TForm1::StopAfterFailure() {
  sim().TimerEnabled = false;
  timer1_.stop();
}

void TForm1::ToggleTimer() {
  if (timer1_.isActive()) {
    sim().TimerEnabled = false;
    timer1_.stop();
  } else {
    sim().TimerEnabled = true;
    timer1_.start();
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  closed_ = true;
  timer1_.stop();
  timer_buildAna_.stop();
  context_.errors.Run(this, [this] { ClearWorld(sim()); });
  event->accept();
}

QPushButton* TForm1::Button(const QString& objectName) const {
  const auto it = buttons_.find(objectName);
  return it == buttons_.end() ? nullptr : it->second;
}

QPushButton* TForm1::AddButton(QLayout* layout, const QString& name, const QString& caption,
                               const std::function<void()>& handler) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(name);
  connect(button, &QPushButton::clicked, this, [this, handler] { Act(handler); });
  layout->addWidget(button);
  buttons_[name] = button;
  return button;
}

QLabel* TForm1::AddLabel(LabelName name) {
  auto* label = new QLabel(QString::fromStdString(sim().labels.Get(name)), this);
  label->setObjectName(QString::fromUtf8(name.View()));
  label->setMinimumWidth(40);
  labels_.emplace_back(name, label);
  return label;
}

QWidget* TForm1::LabelRow(const QString& caption, LabelName name) {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(caption, row));
  layout->addWidget(AddLabel(name), 1);
  return row;
}

void TForm1::AddSettings(QFormLayout* form, const std::string& tab) {
  for (const SettingDef& def : settings_.Registry().All()) {
    if (def.tab != tab) {
      continue;
    }
    QWidget* control = settings_.CreateControl(def, this);
    const bool captioned = def.kind == ControlKind::CheckBox ||
                           def.kind == ControlKind::RadioButton ||
                           def.kind == ControlKind::ToggleButton;
    QWidget* field = control;
    if (const auto trailing = kTrailingTexts.find(def.name); trailing != kTrailingTexts.end()) {
      field = new QWidget(this);
      auto* line = new QHBoxLayout(field);
      line->setContentsMargins(0, 0, 0, 0);
      line->addWidget(control);
      line->addWidget(new QLabel(trailing->second, field), 1);
    }
    if (captioned) {
      form->addRow(field);
    } else {
      form->addRow(QString::fromStdString(def.caption), field);
    }
  }
}

QWidget* TForm1::ChartGrid(std::initializer_list<chart::ChartName> charts, int columns) {
  auto* holder = new QWidget(this);
  auto* grid = new QGridLayout(holder);
  grid->setContentsMargins(0, 0, 0, 0);
  int index = 0;
  for (const chart::ChartName name : charts) {
    chart::Chart& model = sim().charts.Get(name);
    auto* view = new ChartView(&model, holder);
    view->setObjectName(QString::fromUtf8(name.View()));
    view->setMinimumHeight(230);
    connect(view, &ChartView::editRequested, this, [this](chart::Chart* edited) {
      // The segregation chart and the sub-type chart share one editor.
      chart::Chart* target = edited;
      if (edited->Name() == chart_name::kSubTypeRatios.View()) {
        target = &sim().charts.Get(chart_name::kSegregation);
      }
      ChartView* targetView = chart_views_.at(target->Name());
      ChartEditor editor(*targetView, context_.errors, this);
      editor.exec();
    });
    chart_views_[name.Str()] = view;
    grid->addWidget(view, index / columns, index % columns);
    ++index;
  }
  return holder;
}

QWidget* TForm1::BuildMapView(QWidget* parent) {
  auto* view = new QWidget(parent);
  auto* layout = new QVBoxLayout(view);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  auto* tools = new QHBoxLayout;
  const auto addTool = [this, tools, view](const char* name, const QString& caption,
                                           const QString& hint, auto action) {
    auto* button = new QToolButton(view);
    button->setObjectName(QLatin1StringView(name));
    button->setText(caption);
    button->setToolTip(hint);
    connect(button, &QToolButton::clicked, this, action);
    tools->addWidget(button);
  };
  addTool("B_zoomFit", QStringLiteral("fit"), QStringLiteral("the whole map in the window"),
          [this] { FitMap(); });
  addTool("B_zoomOne", QStringLiteral("1:1"), QStringLiteral("one map pixel a screen pixel"),
          [this] { panel_->SetZoom(1.0); });
  addTool("B_zoomIn", QStringLiteral("+"), QStringLiteral("larger (Ctrl + wheel)"),
          [this] { ZoomBy(1); });
  addTool("B_zoomOut", QStringLiteral("\u2212"), QStringLiteral("smaller (Ctrl + wheel)"),
          [this] { ZoomBy(-1); });
  tools->addStretch(1);
  addTool("B_resultOff", QStringLiteral("\u00d7 Ergebnis"),
          QStringLiteral("remove the result layer"), [this] { ShowResultLayer(nullptr); });
  result_off_ = view->findChild<QToolButton*>(QStringLiteral("B_resultOff"));
  result_off_->hide();
  layout->addLayout(tools);
  // Its own row, wrapped: a long legend must not widen the map's side of the window.
  result_legend_ = new QLabel(view);
  result_legend_->setObjectName(QStringLiteral("ResultLegend"));
  result_legend_->setTextFormat(Qt::RichText);
  result_legend_->setWordWrap(true);
  result_legend_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  result_legend_->hide();
  layout->addWidget(result_legend_);
  layout->addWidget(map_scroll_, 1);
  connect(panel_, &MapPanel::zoomRequested, this, &TForm1::ZoomBy);
  return view;
}

void TForm1::FitMap() {
  panel_->SetZoom(panel_->FittingZoom(map_scroll_->maximumViewportSize()));
}

void TForm1::ZoomBy(int steps) {
  panel_->SetZoom(panel_->Zoom() * std::pow(kZoomStep, steps));
}

QWidget* TForm1::BuildFieldTypesTab() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  AddSettings(form, kFieldTypes);
  layout->addLayout(form);

  auto* run = new QHBoxLayout;
  AddButton(run, QStringLiteral("B_setup"), QStringLiteral("new setup"), [this] {
    // The visible part of the panel: a map loaded larger than the window makes the panel
    // itself larger, and a new world should fit the window again.
    const QSize visible = map_scroll_->maximumViewportSize();
    sim().map.PanelWidth = visible.width();
    sim().map.PanelHeight = visible.height();
    panel_->SetZoom(1.0);
    ShowResultLayer(nullptr);
    B_setupClick(sim());
  });
  QPushButton* start =
      AddButton(run, QStringLiteral("B_ITL_start"), QStringLiteral("start"), [this] {
        StartRun(sim());
        timer1_.start();
      });
  start->setDefault(true);
  AddButton(run, QStringLiteral("B_ITL_stop"), QStringLiteral("stop"), [this] {
    StopRun(sim());
    timer1_.stop();
  });
  layout->addLayout(run);

  auto* characteristics = new QGroupBox(QStringLiteral("graph characteristics"), page);
  auto* figures = new QVBoxLayout(characteristics);
  figures->addWidget(LabelRow(QStringLiteral("actual timestep :"), label::kTimeStep));
  figures->addWidget(LabelRow(QStringLiteral("nodes:"), label::kNodeCount));
  figures->addWidget(LabelRow(QStringLiteral("edges:"), label::kEdgeCount));
  figures->addWidget(LabelRow(QStringLiteral("mean length:"), label::kMeanLength));
  layout->addWidget(characteristics);

  auto* studies = new QGroupBox(QStringLiteral("parameter studies"), page);
  auto* studyButtons = new QHBoxLayout(studies);
  AddButton(studyButtons, QStringLiteral("B_anaMinDist"), QStringLiteral("anal. minDist"),
            [this] { OpenStudy(QStringLiteral("TanaMinDist")); });
  AddButton(studyButtons, QStringLiteral("B_anaDevPara"), QStringLiteral("Anal. Dev. Param."),
            [this] { OpenStudy(QStringLiteral("TAnaDev")); });
  AddButton(studyButtons, QStringLiteral("B_anaGraphSize"), QStringLiteral("anal. graph size"),
            [this] { OpenStudy(QStringLiteral("Tana_clusterGrow")); });
  layout->addWidget(studies);
  layout->addStretch(1);
  return page;
}

QWidget* TForm1::BuildDevelopmentTab() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  AddSettings(form, kDevelopment);
  layout->addLayout(form);
  auto* proportions = new QGroupBox(QStringLiteral("proportions"), page);
  auto* ratios = new QGridLayout(proportions);
  ratios->addWidget(new QLabel(QStringLiteral("w1/w2   |   A/B   |   w2/w1"), proportions), 0, 0, 1,
                    3);
  ratios->addWidget(AddLabel(label::kWeightRatio), 1, 0);
  ratios->addWidget(AddLabel(label::kScaleRatio), 1, 1);
  ratios->addWidget(AddLabel(label::kInverseWeightRatio), 1, 2);
  layout->addWidget(proportions);
  layout->addWidget(ChartGrid({chart_name::kResultingForce}, 1), 1);
  return page;
}

QWidget* TForm1::BuildBuildingTab() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* rules = new QGroupBox(QStringLiteral("building rules"), page);
  auto* form = new QFormLayout(rules);
  AddSettings(form, kBuilding);
  auto* random = new QHBoxLayout;
  AddButton(random, QStringLiteral("b_rndBuild"), QStringLiteral("random buildings"),
            [this] { RandomBuildings(sim().Growth()); });
  form->addRow(random);
  layout->addWidget(rules);

  auto* neighbours = new QGroupBox(QStringLiteral("neigbour conditions"), page);
  auto* grid = new QGridLayout(neighbours);
  const std::pair<const char*, LabelName> rows[] = {
      {"more than one build on neighbours:", label::kMoreThanOneNeighbour},
      {"more than two build on neighbours:", label::kMoreThanTwoNeighbours},
      {"more than tree build on neighbours:", label::kMoreThanThreeNeighbours}};
  int row = 0;
  for (const auto& [caption, name] : rows) {
    grid->addWidget(new QLabel(QString::fromUtf8(caption), neighbours), row, 0);
    grid->addWidget(AddLabel(name), row, 1);
    grid->addWidget(new QLabel(QStringLiteral("%"), neighbours), row, 2);
    ++row;
  }
  layout->addWidget(neighbours);
  layout->addStretch(1);
  return page;
}

QWidget* TForm1::BuildGradientGroup() {
  auto* group = new QGroupBox(QStringLiteral("colour gradient"), this);
  auto* canvas = new QWidget(group);
  canvas->setFixedSize(130, 190);
  gradient_ = new QLabel(canvas);
  gradient_->setObjectName("ImageGradient");
  gradient_->setGeometry(50, 21, 35, 161);
  auto* top = new QLabel(QStringLiteral("0.0 -"), canvas);
  top->move(12, 15);
  auto* bottom = new QLabel(QStringLiteral("1.0 -"), canvas);
  bottom->move(12, 170);
  QLabel* half = AddLabel(label::kColourHalf);
  half->setParent(canvas);
  half->setText(QStringLiteral("0.5 -"));
  half->move(12, 92);

  auto* slider = new QWidget(group);
  auto* sliderLayout = new QVBoxLayout(slider);
  sliderLayout->addWidget(new QLabel(QStringLiteral("adjust:"), slider));
  const SettingDef& def = settings_.Registry().Get(setting::kColorAdjust);
  QWidget* track = settings_.CreateControl(def, slider);
  track->setMinimumHeight(150);
  sliderLayout->addWidget(track, 1);
  sliderLayout->addWidget(AddLabel(label::kColourScale));

  auto* layout = new QHBoxLayout(group);
  layout->addWidget(canvas);
  layout->addWidget(slider);
  layout->addStretch(1);
  return group;
}

QWidget* TForm1::BuildAnalyseGraphTab() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* buttons = new QHBoxLayout;
  AddButton(buttons, QStringLiteral("B_CalcPathes"), QStringLiteral("calcPathes"), [this] {
    EnsureTableWindow();
    WithProgressPanel([this] { B_CalcPathesClick(sim()); });
  });
  AddButton(buttons, QStringLiteral("Button5"), QStringLiteral("show table"), [this] {
    if (context_.frame != nullptr) {
      EnsureTableWindow();
      if (QWidget* table = context_.frame->FindChildWindow(QStringLiteral("TConnectivityTable"))) {
        context_.frame->MdiArea()->setActiveSubWindow(
            qobject_cast<QMdiSubWindow*>(table->parentWidget()));
      }
    }
  });
  layout->addLayout(buttons);

  auto* top = new QHBoxLayout;
  top->addWidget(BuildGradientGroup());
  auto* measures = new QFormLayout;
  for (const SettingDef& def : settings_.Registry().All()) {
    if (def.tab == kAnalyseGraph && def.Name() != setting::kColorAdjust) {
      QWidget* control = settings_.CreateControl(def, this);
      if (def.kind == ControlKind::CheckBox) {
        measures->addRow(control);
      } else {
        measures->addRow(QString::fromStdString(def.caption), control);
      }
    }
  }
  top->addLayout(measures, 1);
  top->addWidget(new StreetStatsTable(page, sim(), georeference_), 1);
  layout->addLayout(top);
  layout->addWidget(ChartGrid({chart_name::kEdgesPerNode}, 1), 1);
  return page;
}

QWidget* TForm1::BuildAnalyseStructureTab() {
  auto* page = new QWidget(this);
  auto* outer = new QVBoxLayout(page);
  auto* views = new QGridLayout;
  auto* viewButtons = new QHBoxLayout;
  AddButton(viewButtons, QStringLiteral("Button3"), QStringLiteral("show states"),
            [this] { ShowStatesView(sim()); });
  AddButton(viewButtons, QStringLiteral("Button6"), QStringLiteral("sub states"),
            [this] { ShowSubStatesView(sim()); });
  AddButton(viewButtons, QStringLiteral("Button7"), QStringLiteral("pot. field"),
            [this] { ShowPotentialView(sim()); });
  AddButton(viewButtons, QStringLiteral("Button8"), QStringLiteral("cand. sites"),
            [this] { ShowCandidateSitesView(sim()); });
  AddButton(viewButtons, QStringLiteral("Button9"), QStringLiteral("gray agents"),
            [this] { GreyAllNodes(sim()); });
  views->addLayout(viewButtons, 0, 0, 1, 2);
  auto* analysisButtons = new QHBoxLayout;
  AddButton(analysisButtons, QStringLiteral("Button4"), QStringLiteral("fractal A."), [this] {
    EnsureTableWindow();
    WithProgressPanel([this] { Button4Click(sim()); });
  });
  AddButton(analysisButtons, QStringLiteral("B_showCluster"), QStringLiteral("show cluster"),
            [this] { ShowClusters(sim()); });
  AddButton(analysisButtons, QStringLiteral("B_agRepaint"), QStringLiteral("rePaint nodes"),
            [this] { RepaintNodes(sim()); });
  views->addLayout(analysisButtons, 1, 0, 1, 2);
  auto* checks = new QHBoxLayout;
  for (const SettingDef& def : settings_.Registry().All()) {
    if (def.tab == kAnalyseStructure) {
      checks->addWidget(settings_.CreateControl(def, this));
    }
  }
  views->addLayout(checks, 2, 0, 1, 2);
  outer->addLayout(views);

  value_list_ = new QTableWidget(0, 2, page);
  value_list_->setObjectName("ValueListEditor1");
  value_list_->setHorizontalHeaderLabels(
      {QStringLiteral("Fractal Analysis"), QStringLiteral("Values")});
  value_list_->verticalHeader()->hide();
  value_list_->horizontalHeader()->setStretchLastSection(true);
  value_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  value_list_->setMinimumHeight(200);
  value_list_->setMaximumWidth(320);

  auto* body = new QWidget(page);
  auto* bodyLayout = new QHBoxLayout(body);
  bodyLayout->setContentsMargins(0, 0, 0, 0);
  bodyLayout->addWidget(value_list_);
  bodyLayout->addWidget(ChartGrid({chart_name::kSegregation}, 1), 1);

  // The analyses' charts do not fit under the value list at any usable size: one at a
  // time, chosen by its tab, and the user drags the split between them and the list.
  auto* strip = new QTabWidget(page);
  strip->setObjectName("ChartStrip");
  strip->setDocumentMode(true);
  strip->setUsesScrollButtons(true);
  const std::pair<chart::ChartName, const char*> stripCharts[] = {
      {chart_name::kGridFractal, "grid fractal"},
      {chart_name::kRadialFractal, "radial fractal"},
      {chart_name::kClusterSizes, "cluster sizes"},
      {chart_name::kRankSize, "rank-size"},
      {chart_name::kDevelopedDensity, "density developed"},
      {chart_name::kStreetDensity, "density streets"},
      {chart_name::kPotentialConnectivity, "potential / connectivity"},
      {chart_name::kPotentialDensity, "potential / density"}};
  for (const auto& [name, caption] : stripCharts) {
    strip->addTab(ChartGrid({name}, 1), QString::fromUtf8(caption));
  }
  connect(strip, &QTabWidget::currentChanged, this, [this] { RefreshCharts(); });

  auto* split = new QSplitter(Qt::Vertical, page);
  split->setObjectName("StructureSplitter");
  split->setChildrenCollapsible(false);
  split->addWidget(body);
  split->addWidget(strip);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 1);
  outer->addWidget(split, 1);
  return page;
}

QWidget* TForm1::BuildBuildingAnalysisTab() {
  own_controls_ = std::make_unique<WidgetControls>([this] { return &settings_; });
  building_study_ =
      std::make_unique<BuildingRuleStudy>(StudyContext{sim(), *own_controls_, nullptr, {}});
  timer_buildAna_.setInterval(1);
  connect(&timer_buildAna_, &QTimer::timeout, this, &TForm1::Timer_buildAnaTimer);

  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* study = new QGroupBox(QStringLiteral("analyse building rules"), page);
  auto* form = new QFormLayout(study);
  AddSettings(form, kBuildingAnalysis);
  if (auto* steps = qobject_cast<QSpinBox*>(settings_.Control(setting::kStepsPerRound))) {
    steps->setSingleStep(10);
  }
  if (auto* rounds = qobject_cast<QSpinBox*>(settings_.Control(setting::kRoundsPerRule))) {
    connect(rounds, &QSpinBox::valueChanged, this,
            [this] { Act([this] { building_study_->SE_rdsPerValChange(); }); });
  }
  auto* buttons = new QHBoxLayout;
  AddButton(buttons, QStringLiteral("B_startBuildAna"), QStringLiteral("new start"), [this] {
    building_study_->B_startBuildAnaClick();
    SyncBuildingStudyTimer();
  });
  AddButton(buttons, QStringLiteral("B_stopBuildAna"), QStringLiteral("start / stop"), [this] {
    building_study_->B_stopBuildAnaClick();
    SyncBuildingStudyTimer();
  });
  AddButton(buttons, QStringLiteral("Button11"), QStringLiteral("edit"), [this] {
    ChartEditor editor(*chart_views_.at(chart_name::kBuildingRules.Str()), context_.errors, this);
    editor.exec();
  });
  form->addRow(buttons);
  auto* top = new QHBoxLayout;
  top->addWidget(study);
  top->addWidget(ChartGrid({chart_name::kBuildingRules}, 1), 1);
  layout->addLayout(top, 1);
  layout->addWidget(ChartGrid({chart_name::kSubTypeRatios, chart_name::kMainTypeRatios,
                               chart_name::kFreeNeighbours},
                              3),
                    1);
  return page;
}

void TForm1::Timer_buildAnaTimer() {
  if (context_.world_busy) {
    return;
  }
  context_.router.Route(settings_);
  if (!context_.errors.Run(this, [this] { building_study_->Tick(); })) {
    // Stopped, so a failing tick is reported once rather than every millisecond.
    building_study_->SetRunning(false);
  }
  SyncBuildingStudyTimer();
}

void TForm1::SyncBuildingStudyTimer() {
  if (!building_study_->Running()) {
    timer_buildAna_.stop();
    return;
  }
  if (!timer_buildAna_.isActive()) {
    timer_buildAna_.start();
  }
  sim().TimerEnabled = false;
  timer1_.stop();
}

void TForm1::ConnectSettingEvents() {
  for (const SettingName radio :
       {setting::kNetworkOnly, setting::kBoom, setting::kInterlink, setting::kCluster}) {
    if (auto* button = qobject_cast<QRadioButton*>(settings_.Control(radio))) {
      connect(button, &QRadioButton::clicked, this,
              [this] { Act([this] { ReadFieldType(sim().world, sim().settings); }); });
    }
  }
  // A decimal box is checked when it is left, never per keystroke: "-" and "1e" are on the
  // way to a number. A box left holding no number stops the run, which would fail on it.
  for (const SettingDef& def : settings_.Registry().All()) {
    auto* edit = qobject_cast<QLineEdit*>(settings_.Control(def.Name()));
    if (edit == nullptr) {
      continue;
    }
    const bool force = std::find(std::begin(kForceSettings), std::end(kForceSettings),
                                 def.Name()) != std::end(kForceSettings);
    connect(edit, &QLineEdit::editingFinished, this, [this, name = def.Name(), force] {
      const bool ok = Act([this, name, force] {
        settings_.Float(name);
        if (force) {
          ShowProportions(sim());
          ResetResultingForceCurve(sim());
        }
      });
      if (!ok) {
        StopAfterFailure();
      }
    });
  }
  if (auto* plot = qobject_cast<QAbstractButton*>(settings_.Control(setting::kPlotRandom))) {
    connect(plot, &QAbstractButton::clicked, this,
            [this] { Act([this] { ResetResultingForceCurve(sim()); }); });
  }
  if (auto* size = qobject_cast<QSpinBox*>(settings_.Control(setting::kNodeSize))) {
    connect(size, &QSpinBox::valueChanged, this, [this] { Act([this] { RepaintNodes(sim()); }); });
  }
  if (auto* track = qobject_cast<QSlider*>(settings_.Control(setting::kColorAdjust))) {
    connect(track, &QSlider::valueChanged, this,
            [this] { Act([this] { AdjustColourScale(sim()); }); });
  }
  if (auto* agents = qobject_cast<QAbstractButton*>(settings_.Control(setting::kShowAgentLayer))) {
    connect(agents, &QAbstractButton::toggled, this, [this](bool on) {
      sim().map.Visible.Agent = on;
      RefreshViews();
    });
  }
  if (auto* cells = qobject_cast<QAbstractButton*>(settings_.Control(setting::kShowCellLayer))) {
    connect(cells, &QAbstractButton::toggled, this, [this](bool on) {
      sim().map.Visible.CellLayers = on;
      RefreshViews();
    });
  }
}

void TForm1::EnsureTableWindow() {
  if (context_.frame != nullptr) {
    context_.frame->EnsureChildWindow(QStringLiteral("TConnectivityTable"));
    if (auto* own = qobject_cast<QMdiSubWindow*>(parentWidget())) {
      context_.frame->MdiArea()->setActiveSubWindow(own);
    }
  }
}

void TForm1::WithProgressPanel(const std::function<void()>& work) {
  struct PanelGuard {
    TForm1* window;
    ~PanelGuard() {
      window->panel_->ShowProgress(false);
      window->sim().PathProgress = nullptr;
    }
  } guard{this};
  panel_->ShowProgress(true);
  sim().PathProgress = [this](int percent) { panel_->SetProgress(percent); };
  work();
}

QString TForm1::MapCoordinates(int x, int y) const {
  if (!georeference_ || georeference_->crs_wkt.empty() || context_.sim.world.CellSize <= 0) {
    return {};
  }
  const double unit = UnitsPerPixel(*georeference_, context_.sim.world.CellSize);
  // The centre of the pixel, in the CRS's units.
  const double east = georeference_->origin_x + (x + 0.5) * unit;
  const double north = georeference_->origin_y - (y + 0.5) * unit;
  return QStringLiteral("x %1   y %2")
      .arg(QString::fromStdString(FormatNumber(RoundTo2(east))),
           QString::fromStdString(FormatNumber(RoundTo2(north))));
}

void TForm1::ShowMapCoordinates(int x, int y) {
  if (context_.frame == nullptr) {
    return;
  }
  const QString text = MapCoordinates(x, y);
  if (!text.isEmpty()) {
    context_.frame->statusBar()->showMessage(text);
  }
}

void TForm1::OpenStudy(const QString& className) {
  if (context_.frame != nullptr) {
    context_.frame->OpenOrSwitch(className);
  }
}

void TForm1::RefreshViews() {
  const Simulation& s = context_.sim;
  if (s.labels.ChangeCount() != labels_seen_) {
    labels_seen_ = s.labels.ChangeCount();
    for (const auto& [name, label] : labels_) {
      const std::string text = s.labels.Get(name);
      if (name == label::kColourHalf) {
        if (const int top = s.labels.Top(name); top >= 0) {
          label->move(label->x(), top);
        }
        continue;
      }
      label->setText(QString::fromStdString(text));
    }
  }
  if (s.valueList.ChangeCount() != values_seen_) {
    values_seen_ = s.valueList.ChangeCount();
    const auto& rows = s.valueList.Rows();
    value_list_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
      value_list_->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(rows[r].first)));
      value_list_->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(rows[r].second)));
    }
    // Keys are read in full; the values have the rest of the width.
    value_list_->resizeColumnToContents(0);
  }
  if (const auto* legend = dynamic_cast<const QtCanvas*>(s.ImageGradient.get());
      legend != nullptr && legend->ChangeCount() != gradient_seen_) {
    gradient_seen_ = legend->ChangeCount();
    gradient_->setPixmap(QPixmap::fromImage(legend->Image()));
  }
  // Charts are costly to rebuild and change only every tenth step: refresh the visible
  // ones a few times a second, the rest when their tab is shown.
  if (++refresh_ticks_ % 6 == 0) {
    RefreshCharts();
  }
  panel_->RefreshIfChanged();
}

void TForm1::RefreshCharts() {
  for (auto& [name, view] : chart_views_) {
    if (view->isVisible()) {
      view->Refresh();
    }
  }
}

}  // namespace veltmoor
