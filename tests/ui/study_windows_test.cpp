// The study windows driven as a user drives them: opened from the simulation window's
// buttons, set to a tiny study, run to their end tick by tick, with their pictures and data
// file checked on disk.
#include "ui/study_windows.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "qt_app.h"
#include "render/composite.h"
#include "simulation/window_outputs.h"
#include "studies/building_rule_study.h"
#include "ui/app_context.h"
#include "ui/chart_editor.h"
#include "ui/chart_view.h"
#include "ui/desktop_program.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"

namespace veltmoor {
namespace {

// Ticks while the study runs, with a bound so a fault cannot hang the tests.
long long RunToEnd(StudyWindow& window, long long max_ticks = 20000) {
  long long ticks = 0;
  while (window.StudyObject().Running() && ticks < max_ticks) {
    window.StudyTimerTick();
    ++ticks;
  }
  return ticks;
}

class StudyWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApp();
    ASSERT_TRUE(files_.isValid());
    program_ = StartDesktopProgram(true);
    program_.context->study_files_folder = files_.path().toStdString();
    program_.context->errors.SetPresenter(
        [this](QWidget*, const QString& message) { errors_.push_back(message); });
    program_.frame->SetConfirmation([this](const QString& text) {
      asked_.push_back(text);
      return answer_;
    });
    // A small world keeps every run short.
    SimWindow().Settings().SetText(setting::kCellScale, "60");
  }

  TForm1& SimWindow() { return *program_.simulation; }
  template <typename Window>
  Window& Open(const char* button, const char* windowClass) {
    SimWindow().Button(QLatin1StringView(button))->click();
    auto* window =
        qobject_cast<Window*>(program_.frame->FindChildWindow(QLatin1StringView(windowClass)));
    EXPECT_NE(window, nullptr) << windowClass;
    // Lets the frame, which is never shown here, settle its children's sizes.
    QApplication::processEvents();
    return *window;
  }
  static QString LabelText(StudyWindow& window, const char* name) {
    window.RefreshViews();
    return window.findChild<QLabel*>(QLatin1StringView(name))->text();
  }
  static void Type(StudyWindow& window, SettingName edit, const char* text) {
    auto* line = qobject_cast<QLineEdit*>(window.Settings().Control(edit));
    line->selectAll();
    QTest::keyClicks(line, QString::fromUtf8(text));
  }
  QString InFiles(const QString& relative) const { return files_.filePath(relative); }

  QTemporaryDir files_;
  DesktopProgram program_;
  std::vector<QString> errors_;
  std::vector<QString> asked_;
  QMessageBox::StandardButton answer_ = QMessageBox::Ok;
};

TEST_F(StudyWindowsTest, ButtonsOpenTheStudyWindowsWithTheirControlsAndDefaults) {
  TAnaDev& dev = Open<TAnaDev>("B_anaDevPara", "TAnaDev");
  EXPECT_EQ(dev.windowTitle(), QStringLiteral("AnaDevPara"));
  EXPECT_EQ(dev.Settings().Text(SettingName{"E0_valTo"}), "10,0");
  EXPECT_EQ(dev.Settings().Text(SettingName{"E4_valFrom"}), "1");
  EXPECT_EQ(dev.Settings().Text(setting::dev_para::kIncrement), "0,2");
  EXPECT_EQ(dev.Settings().Text(setting::dev_para::kTimeUntilNextStep), "300");
  EXPECT_EQ(dev.Settings().Text(setting::dev_para::kBasicName), "xx_Veltmoor");
  EXPECT_FALSE(dev.Settings().Checked(SettingName{"CB1_acti"}));
  EXPECT_EQ(dev.findChild<QCheckBox*>(QStringLiteral("CB_trendShow"))->text(),
            QStringLiteral("show trend"));
  for (const char* button : {"B_start", "B_undoZ", "Button1"}) {
    EXPECT_NE(dev.Button(QLatin1StringView(button)), nullptr) << button;
  }
  EXPECT_EQ(dev.findChild<QPushButton*>(QStringLiteral("B_startStop"))->text(),
            QStringLiteral("start / stop"));
  EXPECT_EQ(LabelText(dev, "Lbl_proceed"), QStringLiteral("/ 0"));
  dev.findChild<QCheckBox*>(QStringLiteral("CB1_acti"))
      ->click();  // 1,0 to 10,0 by 0,2, two runs each
  EXPECT_EQ(LabelText(dev, "Lbl_proceed"), QStringLiteral("/ 92"));

  TanaMinDist& minDist = Open<TanaMinDist>("B_anaMinDist", "TanaMinDist");
  EXPECT_EQ(minDist.windowTitle(), QStringLiteral("analyse min distance"));
  EXPECT_EQ(LabelText(minDist, "Lbl_proceed"), QStringLiteral("/ 100"));
  Type(minDist, setting::min_dist::kIncrement, "3");
  EXPECT_EQ(LabelText(minDist, "Lbl_proceed"), QStringLiteral("/ 40"));
  Type(minDist, setting::min_dist::kIncrement, "0");  // a sweep that would never end
  EXPECT_EQ(LabelText(minDist, "Lbl_proceed"), QStringLiteral("/ \u2013 plan refused"));
  Type(minDist, setting::min_dist::kIncrement, "3");
  EXPECT_EQ(minDist.Settings().Text(setting::min_dist::kPolyDegree), "3");

  Tana_clusterGrow& growth = Open<Tana_clusterGrow>("B_anaGraphSize", "Tana_clusterGrow");
  EXPECT_EQ(growth.windowTitle(), QStringLiteral("analyse cluster growth"));
  EXPECT_EQ(growth.Settings().Text(setting::cluster_growth::kGrowUntil), "1000");
  EXPECT_EQ(LabelText(growth, "Lbl_proceed"), QStringLiteral("/ 10"));
  EXPECT_EQ(growth.Button(QStringLiteral("B_break"))->text(), QStringLiteral("start / stop"));

  // A second click offers the open window; OK switches to it.
  SimWindow().Button(QStringLiteral("B_anaDevPara"))->click();
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_TRUE(asked_[0].startsWith(QStringLiteral("Form \"AnaDevPara\" already created.")));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(StudyWindowsTest, DevelopmentParameterStudyWritesItsPicturesAndDataFile) {
  TAnaDev& dev = Open<TAnaDev>("B_anaDevPara", "TAnaDev");
  dev.DevPara().SetBaseSeed(11);
  WidgetSettings& own = dev.Settings();
  own.SetChecked(SettingName{"CB1_acti"}, true);
  own.SetText(SettingName{"E1_valTo"}, "1,2");
  own.SetText(setting::dev_para::kTimeUntilNextStep, "3");
  own.SetText(setting::dev_para::kCalculationsPerRound, "1");
  own.SetChecked(setting::dev_para::kSaveSnapshot, true);
  SimWindow().Timer1().start();
  // Pictures are drawn from the world and the chart, so minimised windows still give them.
  qobject_cast<QMdiSubWindow*>(SimWindow().parentWidget())->showMinimized();
  qobject_cast<QMdiSubWindow*>(dev.parentWidget())->showMinimized();
  QApplication::processEvents();

  // With "start / stop" up, "new start" prepares the study and waits.
  dev.Button(QStringLiteral("B_start"))->click();
  EXPECT_FALSE(dev.StudyObject().Running());
  EXPECT_FALSE(SimWindow().Timer1().isActive());
  dev.findChild<QPushButton*>(QStringLiteral("B_startStop"))->click();
  EXPECT_TRUE(dev.StudyTimer().isActive());
  RunToEnd(dev);

  EXPECT_TRUE(errors_.empty()) << errors_.front().toStdString();
  EXPECT_FALSE(dev.StudyTimer().isActive());
  EXPECT_EQ(dev.DevPara().Chart_devPara.Find("ser_Connect")->Count(), 2u);
  EXPECT_EQ(SimWindow().Settings().Text(setting::kCentripetalWeight), "1,2");
  dev.View()->Refresh();
  EXPECT_GT(dev.View()->chart()->series().size(), 0);

  const QSize mapSize = ComposeMap(program_.context->sim).size();
  for (const char* name : {"xx_Veltmoor_main_1_3.jpg", "xx_Veltmoor_main_2_3.jpg"}) {
    const QImage picture(InFiles(QStringLiteral("pictures/") + QString::fromUtf8(name)));
    ASSERT_FALSE(picture.isNull()) << name;
    EXPECT_EQ(picture.size(), mapSize) << name;
  }
  const QImage measure(InFiles(QStringLiteral("pictures/xx_Veltmoor_measure_3_3.jpg")));
  ASSERT_FALSE(measure.isNull());
  EXPECT_EQ(measure.size(), dev.View()->size().expandedTo(QSize(640, 480)));
  EXPECT_EQ(QDir(InFiles(QStringLiteral("pictures"))).entryList(QDir::Files).size(), 3);
  EXPECT_TRUE(QFile::exists(InFiles(QStringLiteral("data/xx_Veltmoor_3.tee"))));
}

TEST_F(StudyWindowsTest, MinimumDistanceStudyDrivesTheStartUpSimulationWindow) {
  // A second simulation window must not take the study's values.
  answer_ = QMessageBox::Yes;
  program_.frame->Action(QStringLiteral("FileNew"))->trigger();
  TanaMinDist& minDist = Open<TanaMinDist>("B_anaMinDist", "TanaMinDist");
  minDist.MinDist().SetBaseSeed(5);
  Type(minDist, setting::min_dist::kValuesFrom, "2");
  Type(minDist, setting::min_dist::kValuesTo, "3");
  Type(minDist, setting::min_dist::kTimesteps, "4");
  Type(minDist, setting::min_dist::kCalculationsPerValue, "2");
  EXPECT_EQ(LabelText(minDist, "Lbl_proceed"), QStringLiteral("/ 4"));

  minDist.Button(QStringLiteral("B_start"))->click();
  EXPECT_TRUE(minDist.StudyTimer().isActive());
  EXPECT_EQ(SimWindow().Settings().Text(setting::kMinDistance), "2");
  EXPECT_TRUE(SimWindow().Settings().Checked(setting::kNetworkOnly));
  minDist.Button(QStringLiteral("B_break"))->click();
  EXPECT_FALSE(minDist.StudyTimer().isActive());
  minDist.Button(QStringLiteral("B_break"))->click();
  RunToEnd(minDist);
  // After the last value, "start / stop" leaves the study ended instead of measuring a
  // distance beyond the sweep.
  minDist.Button(QStringLiteral("B_break"))->click();
  EXPECT_FALSE(minDist.StudyTimer().isActive());
  RunToEnd(minDist);

  EXPECT_TRUE(errors_.empty());
  const chart::Chart& chart = minDist.MinDist().Chart_IS;
  EXPECT_EQ(chart.Find("Series_IS")->Count(), 4u);
  EXPECT_EQ(chart.Find("Series_IS_Avg")->Count(), 2u);
  EXPECT_EQ(LabelText(minDist, "Lbl_akt"), QStringLiteral("4"));
  EXPECT_EQ(SimWindow().Settings().Text(setting::kMinDistance), "3");
  TForm1* second = nullptr;
  for (QMdiSubWindow* child : program_.frame->MdiArea()->subWindowList(QMdiArea::CreationOrder)) {
    if (auto* window = qobject_cast<TForm1*>(child->widget()); window != &SimWindow()) {
      second = window != nullptr ? window : second;
    }
  }
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Settings().Text(setting::kMinDistance), "3");  // its own default, untouched
  EXPECT_FALSE(second->Settings().Checked(setting::kNetworkOnly));
}

TEST_F(StudyWindowsTest, ClusterGrowthStudyAveragesItsRunsStepByStep) {
  Tana_clusterGrow& growth = Open<Tana_clusterGrow>("B_anaGraphSize", "Tana_clusterGrow");
  growth.ClusterGrowth().SetBaseSeed(3);
  growth.Settings().SetText(setting::cluster_growth::kMeasureSteps, "2");
  growth.Settings().SetText(setting::cluster_growth::kGrowUntil, "4");
  growth.Settings().SetText(setting::cluster_growth::kCalculations, "2");
  EXPECT_EQ(LabelText(growth, "Lbl_proceed"), QStringLiteral("/ 2"));
  growth.Button(QStringLiteral("B_start"))->click();
  RunToEnd(growth);

  EXPECT_TRUE(errors_.empty());
  const chart::Chart& chart = growth.ClusterGrowth().Chart_growCluster;
  const chart::Series& ml = *chart.Find("Series_ML");
  ASSERT_EQ(ml.Count(), 4u);
  EXPECT_EQ(ml.XValue(0), 3.0);
  EXPECT_EQ(ml.XValue(3), 5.0);
  EXPECT_EQ(chart.Find("Series_ML_Avg")->Count(), 2u);
  EXPECT_EQ(chart.Title(), "growing cluster with minDist = 3");
}

TEST_F(StudyWindowsTest, StudyTimerRunsTheStudyToItsEndOnItsOwn) {
  Tana_clusterGrow& growth = Open<Tana_clusterGrow>("B_anaGraphSize", "Tana_clusterGrow");
  growth.Settings().SetText(setting::cluster_growth::kMeasureSteps, "2");
  growth.Settings().SetText(setting::cluster_growth::kGrowUntil, "4");
  growth.Settings().SetText(setting::cluster_growth::kCalculations, "2");
  growth.Button(QStringLiteral("B_start"))->click();
  QElapsedTimer waited;
  waited.start();
  while (growth.StudyTimer().isActive() && waited.elapsed() < 10000) {
    QTest::qWait(5);
  }
  EXPECT_FALSE(growth.StudyObject().Running());
  EXPECT_EQ(growth.ClusterGrowth().Chart_growCluster.Find("Series_ML")->Count(), 4u);
  EXPECT_EQ(LabelText(growth, "lbl_pSteps"), QStringLiteral("4"));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(StudyWindowsTest, BuildingRuleStudyWithOnlyRuleThreeTicked) {
  WidgetSettings& settings = SimWindow().Settings();
  for (const SettingName rule :
       {setting::kRule8114, setting::kRule7013, setting::kRule3011, setting::kRule3010}) {
    settings.SetChecked(rule, false);
  }
  settings.SetText(setting::kRoundsPerRule, "2");
  settings.SetText(setting::kStepsPerRound, "1");
  SimWindow().Timer1().start();
  SimWindow().Button(QStringLiteral("B_startBuildAna"))->click();
  EXPECT_TRUE(SimWindow().Timer_buildAna().isActive());
  EXPECT_FALSE(SimWindow().Timer1().isActive());
  EXPECT_EQ(settings.Text(setting::kGenA) + settings.Text(setting::kGenB) +
                settings.Text(setting::kGenC) + settings.Text(setting::kGenD),
            "5012");
  int ticks = 0;
  while (SimWindow().Timer_buildAna().isActive() && ticks < 100) {
    SimWindow().Timer_buildAnaTimer();
    ++ticks;
  }
  EXPECT_EQ(ticks, 2);  // one time step per study run, two runs of the one rule
  EXPECT_TRUE(errors_.empty());
  const chart::Series& ml = program_.context->sim.charts.GetSeries(series_name::kRuleMeanLength);
  ASSERT_EQ(ml.Count(), 2u);
  EXPECT_EQ(ml.XValue(0), 3.0);
  EXPECT_EQ(ml.XValue(1), 3.0);
}

TEST_F(StudyWindowsTest, SettingsThatNeverEndAreRefusedOnce) {
  TAnaDev& dev = Open<TAnaDev>("B_anaDevPara", "TAnaDev");
  dev.Settings().SetChecked(SettingName{"CB1_acti"}, true);
  dev.Settings().SetText(setting::dev_para::kIncrement, "0");
  dev.findChild<QPushButton*>(QStringLiteral("B_startStop"))->click();
  dev.Button(QStringLiteral("B_start"))->click();
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(errors_[0].contains(QStringLiteral("increment"))) << errors_[0].toStdString();

  TanaMinDist& minDist = Open<TanaMinDist>("B_anaMinDist", "TanaMinDist");
  Type(minDist, setting::min_dist::kIncrement,
       "-1");  // "-" alone is no number yet, and says nothing
  EXPECT_EQ(errors_.size(), 1u);
  minDist.Button(QStringLiteral("B_start"))->click();
  ASSERT_EQ(errors_.size(), 2u);
  EXPECT_FALSE(minDist.StudyTimer().isActive());
}

TEST_F(StudyWindowsTest, DataFileThatCannotBeWrittenStopsTheStudyWithOneMessage) {
  // "data" is taken by a plain file, so the folder cannot be made.
  QFile blocker(InFiles(QStringLiteral("data")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  TAnaDev& dev = Open<TAnaDev>("B_anaDevPara", "TAnaDev");
  dev.Settings().SetChecked(SettingName{"CB1_acti"}, true);
  dev.Settings().SetText(SettingName{"E1_valTo"}, "1,0");
  dev.Settings().SetText(setting::dev_para::kTimeUntilNextStep, "1");
  dev.Settings().SetText(setting::dev_para::kCalculationsPerRound, "1");
  dev.findChild<QPushButton*>(QStringLiteral("B_startStop"))->click();
  dev.Button(QStringLiteral("B_start"))->click();
  RunToEnd(dev);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(errors_[0].contains(QStringLiteral("xx_Veltmoor_2.tee"))) << errors_[0].toStdString();
  EXPECT_FALSE(dev.StudyTimer().isActive());
}

TEST_F(StudyWindowsTest, ClosingTheSimulationWindowStopsARunningStudy) {
  Tana_clusterGrow& growth = Open<Tana_clusterGrow>("B_anaGraphSize", "Tana_clusterGrow");
  growth.Button(QStringLiteral("B_start"))->click();
  growth.StudyTimerTick();
  qobject_cast<QMdiSubWindow*>(SimWindow().parentWidget())->close();
  growth.StudyTimerTick();
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_FALSE(growth.StudyTimer().isActive());
}

TEST_F(StudyWindowsTest, MinimisedSimulationWindowIsStillOpenForTheStudies) {
  TanaMinDist& minDist = Open<TanaMinDist>("B_anaMinDist", "TanaMinDist");
  qobject_cast<QMdiSubWindow*>(SimWindow().parentWidget())->showMinimized();
  QApplication::processEvents();
  // Typing in a study's edit boxes is no failure: the texts stay as typed.
  Type(minDist, setting::min_dist::kValuesFrom, "2");
  Type(minDist, setting::min_dist::kValuesTo, "2");
  Type(minDist, setting::min_dist::kTimesteps, "3");
  Type(minDist, setting::min_dist::kCalculationsPerValue, "1");
  EXPECT_TRUE(errors_.empty()) << errors_.front().toStdString();
  EXPECT_EQ(minDist.Settings().Text(setting::min_dist::kTimesteps), "3");
  EXPECT_EQ(LabelText(minDist, "Lbl_proceed"), QStringLiteral("/ 1"));

  minDist.Button(QStringLiteral("B_start"))->click();
  EXPECT_TRUE(minDist.StudyTimer().isActive());
  RunToEnd(minDist);
  EXPECT_TRUE(errors_.empty()) << errors_.front().toStdString();
  EXPECT_EQ(minDist.MinDist().Chart_IS.Find("Series_IS")->Count(), 1u);

  // Hidden is open too; only a closed window is gone.
  SimWindow().parentWidget()->hide();
  minDist.Button(QStringLiteral("B_start"))->click();
  minDist.StudyTimerTick();
  EXPECT_TRUE(errors_.empty()) << errors_.front().toStdString();
  EXPECT_TRUE(minDist.StudyTimer().isActive());
}

TEST_F(StudyWindowsTest, StartStopShowsWhetherTheStudyRuns) {
  TAnaDev& dev = Open<TAnaDev>("B_anaDevPara", "TAnaDev");
  auto* toggle = dev.findChild<QPushButton*>(QStringLiteral("B_startStop"));
  dev.Settings().SetChecked(SettingName{"CB1_acti"}, true);
  dev.Settings().SetText(SettingName{"E1_valTo"}, "1,0");
  dev.Settings().SetText(setting::dev_para::kTimeUntilNextStep, "1");
  dev.Settings().SetText(setting::dev_para::kCalculationsPerRound, "1");
  toggle->click();
  dev.Button(QStringLiteral("B_start"))->click();
  EXPECT_TRUE(toggle->isChecked());
  RunToEnd(dev);
  // The study ended on its own: one click starts it again, so the button is up.
  EXPECT_TRUE(errors_.empty());
  EXPECT_FALSE(toggle->isChecked());

  // So does a data file that cannot be written ("data" is taken by a plain file).
  QFile blocker(InFiles(QStringLiteral("data")));
  ASSERT_TRUE(QFile::remove(InFiles(QStringLiteral("data/xx_Veltmoor_2.tee"))));
  ASSERT_TRUE(QDir(InFiles(QStringLiteral("data"))).removeRecursively());
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  dev.Button(QStringLiteral("B_start"))->click();
  toggle->click();
  EXPECT_TRUE(dev.StudyTimer().isActive());
  RunToEnd(dev);
  EXPECT_EQ(errors_.size(), 1u);
  EXPECT_FALSE(dev.StudyTimer().isActive());
  EXPECT_FALSE(toggle->isChecked());
}

TEST_F(StudyWindowsTest, PlannedRunsFollowMultiply) {
  TAnaDev& dev = Open<TAnaDev>("B_anaDevPara", "TAnaDev");
  dev.findChild<QCheckBox*>(QStringLiteral("CB1_acti"))->click();
  Type(dev, setting::dev_para::kIncrement, "2");  // 1, 3, 5, 7, 9; two runs each
  EXPECT_EQ(LabelText(dev, "Lbl_proceed"), QStringLiteral("/ 10"));
  dev.findChild<QCheckBox*>(QStringLiteral("cb_multiply"))->click();  // 1, 2, 4, 8
  EXPECT_EQ(LabelText(dev, "Lbl_proceed"), QStringLiteral("/ 8"));
  dev.findChild<QCheckBox*>(QStringLiteral("cb_multiply"))->click();
  EXPECT_EQ(LabelText(dev, "Lbl_proceed"), QStringLiteral("/ 10"));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(StudyWindowsTest, FailedPictureStopsTheStudyAndResumingTakesItAgain) {
  // "pictures" is taken by a plain file, so no picture can be written.
  QFile blocker(InFiles(QStringLiteral("pictures")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  TAnaDev& dev = Open<TAnaDev>("B_anaDevPara", "TAnaDev");
  dev.DevPara().SetBaseSeed(4);
  WidgetSettings& own = dev.Settings();
  own.SetChecked(SettingName{"CB1_acti"}, true);
  own.SetText(SettingName{"E1_valTo"}, "2,0");
  own.SetText(setting::dev_para::kIncrement, "1");
  own.SetText(setting::dev_para::kTimeUntilNextStep, "2");
  own.SetText(setting::dev_para::kCalculationsPerRound, "1");
  own.SetChecked(setting::dev_para::kSaveSnapshot, true);
  auto* toggle = dev.findChild<QPushButton*>(QStringLiteral("B_startStop"));
  toggle->click();
  dev.Button(QStringLiteral("B_start"))->click();
  RunToEnd(dev);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(errors_[0].contains(QStringLiteral("xx_Veltmoor_main_1_2.jpg")))
      << errors_[0].toStdString();
  // Still at the first value: nothing of the next one has run.
  EXPECT_EQ(dev.DevPara().State().ValueIndex, 1u);
  EXPECT_EQ(SimWindow().Settings().Text(setting::kCentripetalWeight), "1");
  EXPECT_EQ(dev.DevPara().Chart_devPara.Find("ser_Connect")->Count(), 1u);

  ASSERT_TRUE(QFile::remove(InFiles(QStringLiteral("pictures"))));
  toggle->click();
  RunToEnd(dev);
  EXPECT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(QFile::exists(InFiles(QStringLiteral("pictures/xx_Veltmoor_main_1_2.jpg"))));
  EXPECT_TRUE(QFile::exists(InFiles(QStringLiteral("pictures/xx_Veltmoor_main_2_2.jpg"))));
  // The run before the picture is measured once.
  EXPECT_EQ(dev.DevPara().Chart_devPara.Find("ser_Connect")->Count(), 2u);
}

TEST_F(StudyWindowsTest, StudyReopensAClosedConnectivityTable) {
  QWidget* table = program_.frame->FindChildWindow(QStringLiteral("TConnectivityTable"));
  ASSERT_NE(table, nullptr);
  table->parentWidget()->close();
  QApplication::processEvents();
  ASSERT_EQ(program_.frame->FindChildWindow(QStringLiteral("TConnectivityTable")), nullptr);
  Tana_clusterGrow& growth = Open<Tana_clusterGrow>("B_anaGraphSize", "Tana_clusterGrow");
  growth.Settings().SetText(setting::cluster_growth::kMeasureSteps, "2");
  growth.Settings().SetText(setting::cluster_growth::kGrowUntil, "2");
  growth.Settings().SetText(setting::cluster_growth::kCalculations, "1");
  growth.Button(QStringLiteral("B_start"))->click();
  RunToEnd(growth);
  EXPECT_NE(program_.frame->FindChildWindow(QStringLiteral("TConnectivityTable")), nullptr);
  EXPECT_TRUE(asked_.empty());
  EXPECT_EQ(program_.frame->MdiArea()->activeSubWindow()->widget(), &growth);
}

TEST_F(StudyWindowsTest, EditOpensTheChartEditorAndUndoZoomResetsTheZoom) {
  TanaMinDist& minDist = Open<TanaMinDist>("B_anaMinDist", "TanaMinDist");
  QString editedTitle;
  QTimer::singleShot(0, [&editedTitle] {
    if (auto* editor = qobject_cast<ChartEditor*>(QApplication::activeModalWidget())) {
      editedTitle = editor->TitleEdit()->text();
      editor->reject();
    }
  });
  minDist.Button(QStringLiteral("Button1"))->click();
  EXPECT_EQ(editedTitle, QStringLiteral("mean length / min distance for connections"));

  minDist.View()->chart()->zoomIn();
  EXPECT_TRUE(minDist.View()->IsZoomed());
  minDist.Button(QStringLiteral("B_undoZ"))->click();
  EXPECT_FALSE(minDist.View()->IsZoomed());
}

}  // namespace
}  // namespace veltmoor
