// What the study windows share: their own controls built from the study's registry, the
// study's 1 ms timer, the simulation window the study drives, the study chart with its
// editor, the pictures of the development-parameter study, and one way of showing failures.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "simulation/output_models.h"
#include "studies/study.h"
#include "ui/widget_settings.h"

class QFormLayout;
class QAbstractButton;
class QLabel;
class QLayout;
class QPushButton;

namespace veltmoor {

struct AppContext;
class ChartView;
class TForm1;

// A window's controls as a study writes them, found when written: the window may have
// closed since the study began, and then the write fails with a message saying so.
class WidgetControls : public SimulationControls {
 public:
  explicit WidgetControls(std::function<WidgetSettings*()> settings)
      : settings_(std::move(settings)) {}
  void SetText(SettingName name, const std::string& text) override;
  void SetChecked(SettingName name, bool checked) override;

 private:
  WidgetSettings& Target() const;
  std::function<WidgetSettings*()> settings_;
};

class StudyWindow : public QWidget {
  Q_OBJECT
 public:
  ~StudyWindow() override;

  // One tick of the study's timer: the simulation's settings routed to the simulation
  // window, the study's tick run, the timers brought in line with the study. A failing tick
  // or a study that stopped with a message is shown once and leaves the timer off.
  void StudyTimerTick();
  QTimer& StudyTimer() { return timer_; }
  Study& StudyObject() { return *study_; }
  WidgetSettings& Settings() { return settings_; }
  ChartView* View() const { return view_; }
  QPushButton* Button(const QString& objectName) const;
  // The simulation window the study drives: the first one of the frame, or nullptr when
  // none is open.
  TForm1* SimulationWindow() const;
  // Labels and chart brought up to date with the study.
  void RefreshViews();
  void OpenChartEditor();

  // The frame opens a child at its size hint; a study window wants room for its chart.
  QSize sizeHint() const override;

 protected:
  StudyWindow(AppContext& context, const SettingsRegistry& registry, const QString& className,
              const QString& caption);

  // What a study of this window is made with: the simulation, the simulation window's
  // controls, the pictures and the files folder.
  StudyContext MakeStudyContext();
  // Takes the study, shows its chart beside `controls` and its labels.
  void Attach(std::unique_ptr<Study> study, chart::Chart& chart, const Labels& labels,
              QWidget* controls);

  // A user's action: failures shown in a box, the study's message shown, timers and views
  // brought up to date. With `drives_simulation` the simulation's settings are routed to
  // the simulation window first, and the action fails when there is none.
  bool Act(const std::function<void()>& handler, bool drives_simulation = true);

  // Builders for the windows' layouts.
  QWidget* Control(SettingName name);
  void AddRows(QFormLayout* form, std::initializer_list<SettingName> names);
  QPushButton* AddButton(QLayout* layout, const QString& name, const QString& caption,
                         const std::function<void()>& handler, bool drives_simulation = true);
  QLabel* AddLabel(LabelName name);
  // "steps:" and the step label, then the runs done, "/ planned" and ": calculations".
  QWidget* ProgressRows(std::initializer_list<std::pair<const char*, LabelName>> extra);
  // The chart group's buttons "undoZoom" and "edit".
  QLayout* ChartButtons();
  void SetSpinStep(SettingName name, int step);
  // Runs `handler` (through Act) when the user changes the control.
  void OnChange(SettingName name, const std::function<void()>& handler,
                bool drives_simulation = true);

  void SetPreferredSize(const QSize& size);
  // A toggle button that starts and stops the study: drawn down exactly while the study
  // runs, also after the study stopped on its own.
  void SetRunToggle(SettingName name);

  void closeEvent(QCloseEvent* event) override;

 private:
  class Pictures;

  void RouteToSimulation();
  // Shows the study's stop message, if any, and puts the timers in line with the study.
  void Settle();

  AppContext& context_;
  WidgetSettings settings_;
  WidgetControls simulation_controls_;
  std::unique_ptr<Pictures> pictures_;
  std::unique_ptr<Study> study_;
  const Labels* labels_ = nullptr;
  ChartView* view_ = nullptr;
  QTimer timer_;
  QTimer refresh_;
  std::vector<std::pair<LabelName, QLabel*>> label_views_;
  std::map<QString, QPushButton*> buttons_;
  QAbstractButton* run_toggle_ = nullptr;
  std::uint64_t labels_seen_ = ~std::uint64_t{0};
  QSize preferred_;
};

}  // namespace veltmoor
