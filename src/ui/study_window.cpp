#include "ui/study_window.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <stdexcept>

#include "render/chart_image.h"
#include "render/composite.h"
#include "simulation/numbers.h"
#include "simulation/output_models.h"
#include "ui/app_context.h"
#include "ui/chart_editor.h"
#include "ui/chart_view.h"
#include "ui/error_guard.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"
#include "ui/snapshot.h"
#include "ui/window_arrangement.h"

namespace veltmoor {

namespace {

// Labels and chart follow a running study at this pace; the study itself ticks every
// millisecond.
constexpr int kRefreshMilliseconds = 50;

// A message the study left when it stopped goes the way of any failure, so it is shown in
// the same box (and tests see it the same way).
void ShowMessage(ErrorGuard& errors, QWidget* parent, const std::string& text) {
  errors.Run(parent, [&text] { throw std::runtime_error(text); });
}

std::filesystem::path StudyFilesFolder(const AppContext& context) {
  if (!context.study_files_folder.empty()) {
    return context.study_files_folder;
  }
  return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

}  // namespace

void WidgetControls::SetText(SettingName name, const std::string& text) {
  Target().SetText(name, text);
}

void WidgetControls::SetChecked(SettingName name, bool checked) {
  Target().SetChecked(name, checked);
}

WidgetSettings& WidgetControls::Target() const {
  WidgetSettings* settings = settings_();
  if (settings == nullptr) {
    throw std::runtime_error("The simulation window is closed; the study cannot go on.");
  }
  return *settings;
}

// The desktop's pictures, drawn from the model rather than grabbed from the screen, so a
// minimised or covered window still gives its picture: the map as veltmoor-batch draws its
// map.png at the end of a value, the study chart at the end of the study.
class StudyWindow::Pictures : public SnapshotTaker {
 public:
  explicit Pictures(StudyWindow& window) : window_(window) {}

  void Snapshot(const std::string& path, SnapshotKind kind) override {
    const QString file = QString::fromStdString(path);
    if (kind == SnapshotKind::Main) {
      SaveJpegViaBitmap(ComposeMap(window_.context_.sim), file);
      return;
    }
    ChartView* view = window_.View();
    if (view == nullptr) {
      throw std::runtime_error("no study chart to draw into '" + path + "'");
    }
    const QSize size = view->size().expandedTo(kSmallestChartPicture);
    SaveJpegViaBitmap(PaintChart(*view->Model(), size.width(), size.height()), file);
  }

 private:
  static constexpr QSize kSmallestChartPicture{640, 480};
  StudyWindow& window_;
};

StudyWindow::StudyWindow(AppContext& context, const SettingsRegistry& registry,
                         const QString& className, const QString& caption)
    : context_(context),
      settings_(registry),
      simulation_controls_([this]() -> WidgetSettings* {
        TForm1* simulation = SimulationWindow();
        return simulation != nullptr ? &simulation->Settings() : nullptr;
      }),
      pictures_(std::make_unique<Pictures>(*this)) {
  setWindowTitle(caption);
  setProperty("windowClass", className);
  timer_.setInterval(1);
  connect(&timer_, &QTimer::timeout, this, &StudyWindow::StudyTimerTick);
  refresh_.setInterval(kRefreshMilliseconds);
  connect(&refresh_, &QTimer::timeout, this, &StudyWindow::RefreshViews);
}

StudyWindow::~StudyWindow() = default;

StudyContext StudyWindow::MakeStudyContext() {
  return StudyContext{context_.sim, simulation_controls_, pictures_.get(),
                      StudyFilesFolder(context_)};
}

void StudyWindow::Attach(std::unique_ptr<Study> study, chart::Chart& chart, const Labels& labels,
                         QWidget* controls) {
  study_ = std::move(study);
  labels_ = &labels;
  view_ = new ChartView(&chart, this);
  view_->setObjectName(QString::fromStdString(chart.Name()));
  view_->setMinimumSize(420, 300);
  connect(view_, &ChartView::editRequested, this, [this] { OpenChartEditor(); });

  // A window tiled smaller than its contents scrolls them rather than cutting off the
  // chart's axes and legend.
  auto* contents = new QWidget;
  auto* layout = new QHBoxLayout(contents);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(controls);
  layout->addWidget(view_, 1);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(ScrollingContainer(contents, this));
  Settle();
  RefreshViews();
  refresh_.start();
}

TForm1* StudyWindow::SimulationWindow() const {
  if (context_.frame == nullptr) {
    return nullptr;
  }
  auto* simulation =
      qobject_cast<TForm1*>(context_.frame->FindChildWindow(QStringLiteral("TForm1")));
  // A window that is closing has cleared the world already. A minimised one hides its
  // contents but is still open.
  if (simulation == nullptr || simulation->Closed()) {
    return nullptr;
  }
  return simulation;
}

void StudyWindow::RouteToSimulation() {
  TForm1* simulation = SimulationWindow();
  if (simulation == nullptr) {
    throw std::runtime_error("No simulation window is open; the study needs one to run.");
  }
  context_.router.Route(simulation->Settings());
}

bool StudyWindow::Act(const std::function<void()>& handler, bool drives_simulation) {
  const bool ok = context_.errors.Run(this, [&] {
    if (drives_simulation) {
      RouteToSimulation();
    }
    handler();
  });
  Settle();
  RefreshViews();
  return ok;
}

void StudyWindow::StudyTimerTick() {
  if (context_.world_busy) {
    return;
  }
  if (!study_->Running()) {
    Settle();
    return;
  }
  const bool ok = context_.errors.Run(this, [this] {
    RouteToSimulation();
    study_->Tick();
  });
  if (!ok) {
    // Stopping keeps a failing tick from failing again every millisecond.
    study_->SetRunning(false);
  }
  Settle();
}

void StudyWindow::Settle() {
  if (std::string message = study_->TakeMessage(); !message.empty()) {
    ShowMessage(context_.errors, this, message);
  }
  if (run_toggle_ != nullptr && run_toggle_->isChecked() != study_->Running()) {
    const QSignalBlocker quiet(run_toggle_);
    run_toggle_->setChecked(study_->Running());
  }
  if (study_->Running() != timer_.isActive()) {
    if (study_->Running()) {
      timer_.start();
    } else {
      timer_.stop();
    }
  }
  // The study alone steps the simulation while it runs.
  Simulation& sim = context_.sim;
  if (study_->Running()) {
    sim.TimerEnabled = false;
  }
  if (TForm1* simulation = SimulationWindow();
      simulation != nullptr && !sim.TimerEnabled && simulation->Timer1().isActive()) {
    simulation->Timer1().stop();
  }
}

void StudyWindow::RefreshViews() {
  if (labels_ != nullptr && labels_->ChangeCount() != labels_seen_) {
    labels_seen_ = labels_->ChangeCount();
    for (auto& [name, label] : label_views_) {
      label->setText(QString::fromStdString(labels_->Get(name)));
    }
  }
  if (view_ != nullptr) {
    view_->Refresh();
  }
}

void StudyWindow::OpenChartEditor() {
  ChartEditor editor(*view_, context_.errors, this);
  editor.exec();
  view_->Refresh();
}

QPushButton* StudyWindow::Button(const QString& objectName) const {
  const auto it = buttons_.find(objectName);
  return it == buttons_.end() ? nullptr : it->second;
}

QWidget* StudyWindow::Control(SettingName name) {
  if (QWidget* made = settings_.Control(name)) {
    return made;
  }
  return settings_.CreateControl(settings_.Registry().Get(name), this);
}

void StudyWindow::AddRows(QFormLayout* form, std::initializer_list<SettingName> names) {
  for (const SettingName name : names) {
    const SettingDef& def = settings_.Registry().Get(name);
    QWidget* control = Control(name);
    const bool captioned = def.kind == ControlKind::CheckBox ||
                           def.kind == ControlKind::RadioButton ||
                           def.kind == ControlKind::ToggleButton;
    if (captioned) {
      form->addRow(control);
    } else {
      form->addRow(QString::fromStdString(def.caption), control);
    }
  }
}

QPushButton* StudyWindow::AddButton(QLayout* layout, const QString& name, const QString& caption,
                                    const std::function<void()>& handler, bool drives_simulation) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(name);
  connect(button, &QPushButton::clicked, this,
          [this, handler, drives_simulation] { Act(handler, drives_simulation); });
  layout->addWidget(button);
  buttons_[name] = button;
  return button;
}

QLabel* StudyWindow::AddLabel(LabelName name) {
  auto* label = new QLabel(QString::fromUtf8(name.View()), this);
  label->setObjectName(QString::fromUtf8(name.View()));
  label_views_.emplace_back(name, label);
  return label;
}

QWidget* StudyWindow::ProgressRows(std::initializer_list<std::pair<const char*, LabelName>> extra) {
  auto* holder = new QWidget(this);
  auto* form = new QFormLayout(holder);
  form->setContentsMargins(0, 0, 0, 0);
  form->addRow(QStringLiteral("steps:"), AddLabel(label::study::kSteps));
  for (const auto& [caption, name] : extra) {
    form->addRow(QString::fromUtf8(caption), AddLabel(name));
  }
  auto* runs = new QHBoxLayout;
  runs->addWidget(AddLabel(label::study::kRunsDone));
  runs->addWidget(AddLabel(label::study::kRunsPlanned));
  runs->addWidget(new QLabel(QStringLiteral(": calculations"), holder));
  runs->addStretch(1);
  form->addRow(runs);
  return holder;
}

QLayout* StudyWindow::ChartButtons() {
  auto* row = new QHBoxLayout;
  AddButton(
      row, QStringLiteral("B_undoZ"), QStringLiteral("undoZoom"),
      [this] { view_->Model()->UndoZoom(); }, false);
  AddButton(
      row, QStringLiteral("Button1"), QStringLiteral("edit"), [this] { OpenChartEditor(); }, false);
  return row;
}

void StudyWindow::SetSpinStep(SettingName name, int step) {
  if (auto* spin = qobject_cast<QSpinBox*>(Control(name))) {
    spin->setSingleStep(step);
  }
}

void StudyWindow::OnChange(SettingName name, const std::function<void()>& handler,
                           bool drives_simulation) {
  QWidget* control = Control(name);
  const auto act = [this, handler, drives_simulation] { Act(handler, drives_simulation); };
  if (auto* spin = qobject_cast<QSpinBox*>(control)) {
    connect(spin, &QSpinBox::valueChanged, this, act);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    // Half-typed text ("-", "1,") is not a number yet; a box on every keystroke would take
    // the edit away from the user. The text is refused when the study uses it.
    connect(edit, &QLineEdit::textEdited, this, [this, handler, drives_simulation] {
      Act(
          [&handler] {
            try {
              handler();
            } catch (const ConversionError&) {
            }
          },
          drives_simulation);
    });
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    connect(button, &QAbstractButton::clicked, this, act);
  }
}

QSize StudyWindow::sizeHint() const {
  return preferred_.isValid() ? preferred_ : QWidget::sizeHint();
}

void StudyWindow::SetPreferredSize(const QSize& size) {
  preferred_ = size;
  resize(size);
}

void StudyWindow::SetRunToggle(SettingName name) {
  run_toggle_ = qobject_cast<QAbstractButton*>(Control(name));
  if (study_) {
    Settle();
  }
}

void StudyWindow::closeEvent(QCloseEvent* event) {
  timer_.stop();
  refresh_.stop();
  if (study_) {
    study_->SetRunning(false);
  }
  event->accept();
}

}  // namespace veltmoor
