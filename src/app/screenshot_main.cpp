// veltmoor-screenshot: drives the desktop program as a user would (a boom run, then
// "calcPathes" and "fractal A.") and saves a picture of the frame, for the documentation.
// With --bench STEPS it instead runs a boom town from the real 1 ms timer with the map
// shown and reports the step rate and the longest wait a click would have had.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <string>

#include "simulation/world.h"
#include "studies/analyseDevPara.h"
#include "ui/app_context.h"
#include "ui/desktop_program.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"
#include "ui/study_windows.h"

namespace {

int Bench(int steps) {
  veltmoor::DesktopProgram program = veltmoor::StartDesktopProgram(true);
  program.frame->showNormal();
  program.frame->setGeometry(0, 0, 1600, 1000);
  veltmoor::TForm1& window = *program.simulation;
  window.findChild<QRadioButton*>(QStringLiteral("RB_boom"))->click();
  // The step limit ends the run at the last step, like a user's auto-stop.
  window.Settings().SetText(veltmoor::setting::kStopAt, std::to_string(steps - 1));
  QElapsedTimer clock;
  QElapsedTimer sinceLast;
  qint64 longestGap = 0;
  // A zero-interval timer runs whenever the event loop is free: the gaps between its runs
  // are how long a click would have waited.
  QTimer probe;
  probe.setInterval(0);
  const veltmoor::World& world = program.context->sim.world;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    // The first steps share the loop with the window's first layout and paint.
    if (world.TimeStep > 10) {
      longestGap = std::max(longestGap, sinceLast.nsecsElapsed());
    }
    sinceLast.restart();
    if (!window.Timer1().isActive()) {
      QApplication::quit();
    }
  });
  clock.start();
  sinceLast.start();
  window.Button(QStringLiteral("B_ITL_start"))->click();
  probe.start();
  QApplication::exec();
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  std::cout << "desktop: " << steps << " steps in " << seconds << " s, "
            << static_cast<double>(steps) / seconds << " steps/s, longest wait for a click "
            << static_cast<double>(longestGap) / 1e6 << " ms\n";
  return 0;
}

// A short study of the window class `study_class` run to its end in a small world; its
// window is the one pictured.
QWidget* RunStudy(veltmoor::DesktopProgram& program, const QString& study_class) {
  program.simulation->Settings().SetText(veltmoor::setting::kCellScale, "60");
  auto* study = qobject_cast<veltmoor::StudyWindow*>(program.frame->OpenOrSwitch(study_class));
  if (study == nullptr) {
    return nullptr;
  }
  veltmoor::WidgetSettings& own = study->Settings();
  if (study_class == QStringLiteral("TAnaDev")) {
    own.SetChecked(veltmoor::SettingName{"CB1_acti"}, true);
    own.SetText(veltmoor::SettingName{"E1_valTo"}, "3,0");
    own.SetText(veltmoor::setting::dev_para::kIncrement, "1");
    own.SetText(veltmoor::setting::dev_para::kTimeUntilNextStep, "20");
    own.SetChecked(veltmoor::setting::dev_para::kShowTrend, true);
    own.SetChecked(veltmoor::setting::dev_para::kStartStop, true);
  } else if (study_class == QStringLiteral("TanaMinDist")) {
    own.SetText(veltmoor::setting::min_dist::kValuesTo, "4");
    own.SetText(veltmoor::setting::min_dist::kTimesteps, "30");
    own.SetText(veltmoor::setting::min_dist::kCalculationsPerValue, "3");
  } else {
    own.SetText(veltmoor::setting::cluster_growth::kMeasureSteps, "10");
    own.SetText(veltmoor::setting::cluster_growth::kGrowUntil, "60");
    own.SetText(veltmoor::setting::cluster_growth::kCalculations, "3");
  }
  study->Button(QStringLiteral("B_start"))->click();
  for (int tick = 0; tick < 200000 && study->StudyObject().Running(); ++tick) {
    study->StudyTimerTick();
  }
  if (study_class == QStringLiteral("TAnaDev")) {
    study->StudyObject()
        .StudyChart()
        .Get(veltmoor::series_name::dev_para::kMeanLength)
        .SetVisible(true);
  }
  study->RefreshViews();
  return study;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--bench") {
    QApplication app(argc, argv);
    return Bench(std::atoi(argv[2]));
  }
  if (argc < 2) {
    std::cerr << "usage: veltmoor-screenshot OUT.png [STEPS [TAB [WIDTHxHEIGHT [STUDY]]]]\n";
    return 2;
  }
  QApplication app(argc, argv);
  const QString out = QString::fromLocal8Bit(argv[1]);
  const int steps = argc > 2 ? std::atoi(argv[2]) : 300;
  const int tab = argc > 3 ? std::atoi(argv[3]) : 4;
  int width = 1600;
  int height = 1000;
  if (argc > 4) {
    const QStringList size = QString::fromLocal8Bit(argv[4]).split(QLatin1Char('x'));
    width = size.value(0).toInt();
    height = size.value(1).toInt();
  }
  const QString study_class = argc > 5 ? QString::fromLocal8Bit(argv[5]) : QString();

  veltmoor::DesktopProgram program = veltmoor::StartDesktopProgram(true);
  program.frame->showNormal();
  program.frame->setGeometry(0, 0, width, height);
  veltmoor::TForm1& window = *program.simulation;
  if (!study_class.isEmpty()) {
    QWidget* study = RunStudy(program, study_class);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    return study != nullptr && study->grab().save(out) ? 0 : 1;
  }
  window.findChild<QRadioButton*>(QStringLiteral("RB_boom"))->click();
  window.Button(QStringLiteral("B_ITL_start"))->click();
  for (int i = 0; i < steps && window.Timer1().isActive(); ++i) {
    window.Timer1Timer();
  }
  window.Button(QStringLiteral("B_ITL_stop"))->click();
  window.Button(QStringLiteral("B_CalcPathes"))->click();
  window.Button(QStringLiteral("Button4"))->click();
  window.Tabs()->setCurrentIndex(tab);
  QApplication::processEvents();
  window.RefreshViews();
  window.RefreshCharts();
  // Rebuilt charts drop their old axes with deleteLater; let those go before the picture.
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  if (!program.frame->grab().save(out)) {
    std::cerr << "cannot write " << out.toStdString() << "\n";
    return 1;
  }
  std::cout << "saved " << out.toStdString() << "\n";
  return 0;
}
