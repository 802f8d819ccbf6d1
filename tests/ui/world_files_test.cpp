// World files in the desktop program: saved, loaded back exactly, and a bad file refused
// with the current world kept.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "chart/chart_file.h"
#include "qt_app.h"
#include "simulation/setup.h"
#include "simulation/window_outputs.h"
#include "support/scratch_folder.h"
#include "ui/app_context.h"
#include "ui/background_work.h"
#include "ui/chart_view.h"
#include "ui/chart_window.h"
#include "ui/desktop_program.h"
#include "ui/main_form.h"
#include "ui/map_panel.h"
#include "ui/simulation_window.h"
#include "ui/text_viewer.h"

namespace veltmoor {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(WorldFilesTest, SavedWorldLoadsBackAndABadFileKeepsTheWorld) {
  test::TestApp();
  std::vector<QString> errors;
  DesktopProgram program = StartDesktopProgram(false);
  program.context->errors.SetPresenter(
      [&errors](QWidget*, const QString& message) { errors.push_back(message); });
  TForm1& window = *program.simulation;
  World& world = program.context->sim.world;
  EXPECT_NE(program.frame->Action(QStringLiteral("WorldLoad")), nullptr);
  EXPECT_EQ(program.frame->Action(QStringLiteral("WorldSaveAs"))->text().remove(QLatin1Char('&')),
            QStringLiteral("Welt speichern unter…"));

  window.findChild<QRadioButton*>(QStringLiteral("RB_boom"))->click();
  window.Button(QStringLiteral("B_ITL_start"))->click();
  for (int i = 0; i < 15; ++i) {
    window.Timer1Timer();
  }
  const testing::ScratchFolder scratch("world-files");
  const fs::path& dir = scratch.path();
  const fs::path saved = dir / "world.json";
  ASSERT_TRUE(window.SaveWorldAs(QString::fromStdString(saved.string())));
  const std::uint32_t nodes = world.NodeCount;

  nlohmann::json bad = nlohmann::json::parse(Read(saved));
  bad["SubState"][0][0] = 9;
  std::ofstream(dir / "bad.json") << bad.dump();
  window.Button(QStringLiteral("B_setup"))->click();  // a fresh world, different from the saved one
  const std::uint32_t fresh = world.NodeCount;
  EXPECT_FALSE(window.LoadWorld(QString::fromStdString((dir / "bad.json").string())));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].contains(QStringLiteral("'SubState'[0][0]"))) << errors[0].toStdString();
  EXPECT_EQ(world.NodeCount, fresh);

  ASSERT_TRUE(window.LoadWorld(QString::fromStdString(saved.string())));
  EXPECT_EQ(world.NodeCount, nodes);
  EXPECT_EQ(world.TimeStep, 15u);
  const fs::path again = dir / "again.json";
  ASSERT_TRUE(window.SaveWorldAs(QString::fromStdString(again.string())));
  EXPECT_EQ(Read(again), Read(saved));
}

class WorldCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApp();
    ASSERT_TRUE(dir_.isValid());
    program_ = StartDesktopProgram(false);
    program_.context->errors.SetPresenter(
        [this](QWidget*, const QString& message) { errors_.push_back(message); });
    program_.frame->SetQuestion([this](const QString& text) {
      asked_.push_back(text);
      return answer_;
    });
    program_.frame->SetConfirmation([](const QString&) { return QMessageBox::Yes; });
  }

  TForm1& Window() { return *program_.simulation; }
  World& world() { return program_.context->sim.world; }
  QString Path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
  // A boom town of `steps` steps saved as world.json.
  QString GrowAndSave(int steps) {
    Window().findChild<QRadioButton*>(QStringLiteral("RB_boom"))->click();
    Window().Button(QStringLiteral("B_ITL_start"))->click();
    for (int i = 0; i < steps; ++i) {
      Window().Timer1Timer();
    }
    Window().Button(QStringLiteral("B_ITL_stop"))->click();
    const QString saved = Path("world.json");
    EXPECT_TRUE(Window().SaveWorldAs(saved));
    return saved;
  }
  // The saved world with one setting's text replaced.
  QString WithSetting(const QString& saved, const char* name, const char* text) {
    nlohmann::json document = nlohmann::json::parse(Read(saved.toStdString()));
    document["Settings"][name] = text;
    const QString path = Path((std::string(name) + ".json").c_str());
    std::ofstream(path.toStdString()) << document.dump();
    return path;
  }

  QTemporaryDir dir_;
  DesktopProgram program_;
  std::vector<QString> errors_;
  std::vector<QString> asked_;
  bool answer_ = true;
};

TEST_F(WorldCommandsTest, AWorldWithABadSettingIsRefusedBeforeAnythingChanges) {
  const QString saved = GrowAndSave(20);
  Window().Settings().SetChecked(setting::kCenterNode, false);
  Window().Button(QStringLiteral("B_setup"))->click();
  const std::uint32_t nodes = world().NodeCount;
  for (const auto& [name, text] :
       {std::pair{"E_fieldW", "abc"}, std::pair{"E_centriPe", "1e39"}, std::pair{"SE_nSz", "0"}}) {
    errors_.clear();
    // cb_centerNode stands before each of them in the file.
    nlohmann::json document = nlohmann::json::parse(Read(saved.toStdString()));
    document["Settings"]["cb_centerNode"] = "1";
    document["Settings"][name] = text;
    const QString bad = Path("bad.json");
    std::ofstream(bad.toStdString()) << document.dump();
    EXPECT_FALSE(Window().LoadWorld(bad)) << name;
    ASSERT_EQ(errors_.size(), 1u) << name;
    EXPECT_TRUE(errors_[0].contains(bad)) << errors_[0].toStdString();
    EXPECT_TRUE(errors_[0].contains(QString::fromUtf8(name))) << errors_[0].toStdString();
    EXPECT_EQ(world().NodeCount, nodes) << name;
    EXPECT_FALSE(Window().Settings().Checked(setting::kCenterNode)) << name;
  }
  EXPECT_EQ(Window().Settings().Text(setting::kNoiseWeight), "0,1");
  errors_.clear();
  std::ofstream(Path("measures.json").toStdString()) << R"({"NodeCount": 3, "MeanLength": 2})";
  EXPECT_FALSE(Window().LoadWorld(Path("measures.json")));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(errors_[0].endsWith(QStringLiteral("measures.json is not a world file")))
      << errors_[0].toStdString();

  EXPECT_TRUE(Window().LoadWorld(WithSetting(saved, "E_fieldW", "0,3")));
  EXPECT_EQ(Window().Settings().Text(setting::kNoiseWeight), "0,3");
  EXPECT_TRUE(Window().Settings().Checked(setting::kCenterNode));
}

TEST_F(WorldCommandsTest, WorldCommandsActOnTheActiveSimulationWindow) {
  const QString saved = GrowAndSave(10);
  const std::uint32_t nodes = world().NodeCount;
  Window().parentWidget()->close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  TMainForm& frame = *program_.frame;

  // With no simulation window the commands say so.
  frame.SaveWorldAs(Path("none.json"));
  frame.LoadWorld(saved);
  ASSERT_EQ(errors_.size(), 2u);
  EXPECT_TRUE(errors_[0].contains(QStringLiteral("kein Simulationsfenster")));
  EXPECT_FALSE(QFile::exists(Path("none.json")));

  frame.Action(QStringLiteral("FileNew"))->trigger();
  auto* fresh = qobject_cast<TForm1*>(frame.FindChildWindow(QStringLiteral("TForm1")));
  ASSERT_NE(fresh, nullptr);
  frame.MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(fresh->parentWidget()));
  frame.LoadWorld(saved);
  EXPECT_EQ(world().NodeCount, nodes);
  // Ten steps run: the last was step 9, as it was on screen when saved.
  fresh->RefreshViews();
  EXPECT_EQ(fresh->findChild<QLabel*>(QString::fromUtf8(label::kTimeStep.View()))->text(),
            QStringLiteral("9"));
  // A name without ".json" is saved as a world file the load dialog shows.
  frame.SaveWorldAs(Path("again"));
  EXPECT_TRUE(QFile::exists(Path("again.json")));
  EXPECT_EQ(errors_.size(), 2u) << errors_.back().toStdString();
}

TEST_F(WorldCommandsTest, OpenTellsWorldsChartsAndLargeTextFilesApart) {
  const QString saved = GrowAndSave(10);
  const std::uint32_t nodes = world().NodeCount;
  TMainForm& frame = *program_.frame;
  Window().Button(QStringLiteral("B_setup"))->click();

  // A world is offered as a world; "No" shows its text.
  answer_ = false;
  frame.OpenFile(saved);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_TRUE(asked_[0].contains(QStringLiteral("world.json")));
  EXPECT_NE(frame.FindChildWindow(QStringLiteral("TMDIChild")), nullptr);
  answer_ = true;
  frame.OpenFile(saved);
  EXPECT_EQ(world().NodeCount, nodes);

  // A chart file opens as a chart.
  chart::Chart chart("Chart_test", "a study");
  chart.AddSeries("ser_a", "a", chart::SeriesKind::Line).Add(1, 2);
  const QString tee = Path("study.tee");
  chart::SaveChartFile(chart, tee.toStdString());
  frame.OpenFile(tee);
  auto* chartWindow =
      qobject_cast<TChartWindow*>(frame.FindChildWindow(QStringLiteral("TChartWindow")));
  ASSERT_NE(chartWindow, nullptr);
  EXPECT_EQ(chartWindow->View()->Model()->Find("ser_a")->Count(), 1u);

  // A file of one 5 MB line shows its first part, in lines a view can lay out.
  const QString big = Path("big.txt");
  std::ofstream(big.toStdString()) << std::string(5 * 1024 * 1024, 'x');
  frame.OpenFile(big);
  TMDIChild* viewer = nullptr;
  for (QMdiSubWindow* child : frame.MdiArea()->subWindowList()) {
    if (child->widget()->windowTitle() == big) {
      viewer = qobject_cast<TMDIChild*>(child->widget());
    }
  }
  ASSERT_NE(viewer, nullptr);
  const QString shown = viewer->Memo()->toPlainText();
  EXPECT_LT(shown.size(), TMDIChild::kShownBytes + 2000);
  EXPECT_TRUE(shown.startsWith(QStringLiteral("[Nur die ersten")));
  EXPECT_TRUE(viewer->Memo()->isReadOnly());
  EXPECT_EQ(viewer->Memo()->blockCount(),
            1 + TMDIChild::kShownBytes / TMDIChild::kShownLineLength + 1);
  EXPECT_EQ(asked_.size(), 2u);
  EXPECT_TRUE(errors_.empty()) << errors_.front().toStdString();
}

TEST_F(WorldCommandsTest, AGeoreferencedWorldShowsMapCoordinatesUnderThePointer) {
  const QString saved = GrowAndSave(3);
  EXPECT_TRUE(Window().MapCoordinates(10, 20).isEmpty());
  nlohmann::json document = nlohmann::json::parse(Read(saved.toStdString()));
  // Cell size 24: a pixel is 30 / 8 = 3.75 m.
  const char* const utm32 =
      R"(PROJCS["ETRS89 / UTM zone 32N",GEOGCS["ETRS89",DATUM["ETRS89",SPHEROID["GRS 1980",)"
      R"(6378137,298.257222101]],PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433]],)"
      R"(PROJECTION["Transverse_Mercator"],PARAMETER["latitude_of_origin",0],)"
      R"(PARAMETER["central_meridian",9],PARAMETER["scale_factor",0.9996],)"
      R"(PARAMETER["false_easting",500000],PARAMETER["false_northing",0],UNIT["metre",1]])";
  document["Georeference"] = {
      {"CRS", utm32}, {"OriginX", 500000.0}, {"OriginY", 5700000.0}, {"FineCellSize", 30.0}};
  const QString placed = Path("placed.json");
  std::ofstream(placed.toStdString()) << document.dump();
  ASSERT_TRUE(Window().LoadWorld(placed)) << errors_.front().toStdString();
  EXPECT_EQ(Window().MapCoordinates(10, 20), QStringLiteral("x 500039,37   y 5699923,12"));
}

TEST_F(WorldCommandsTest, ALargeTownOpensFittedToTheWindow) {
  Simulation& sim = program_.context->sim;
  sim.map.PanelWidth = 2400;
  sim.map.PanelHeight = 1800;
  NewSetup(sim);
  const QString big = Path("big.json");
  ASSERT_TRUE(Window().SaveWorldAs(big));
  Window().Button(QStringLiteral("B_setup"))->click();
  ASSERT_TRUE(Window().LoadWorld(big));
  Window().RefreshViews();
  MapPanel* panel = Window().Panel();
  EXPECT_LT(panel->Zoom(), 1.0);
  const QSize room = panel->parentWidget()->parentWidget()->size();  // the scroll area's
  EXPECT_LE(panel->minimumSize().width(), room.width());
  EXPECT_LE(panel->minimumSize().height(), room.height());
  Window().findChild<QToolButton*>(QStringLiteral("B_zoomOne"))->click();
  Window().RefreshViews();
  EXPECT_EQ(panel->minimumSize(), QSize(2400, 1800));
  Window().findChild<QToolButton*>(QStringLiteral("B_zoomFit"))->click();
  EXPECT_LT(panel->Zoom(), 1.0);
}

TEST(BackgroundWorkTest, CancelLeavesAtOnceAndFailuresComeBack) {
  test::TestApp();
  std::atomic<bool> release{false};
  auto done = std::make_shared<std::atomic<bool>>(false);
  // The user presses "Abbrechen" once the busy dialog is up.
  QTimer press;
  press.setInterval(50);
  QObject::connect(&press, &QTimer::timeout, [] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QProgressDialog*>(top); dialog && dialog->isVisible()) {
        dialog->findChild<QPushButton*>()->click();
      }
    }
  });
  press.start();
  EXPECT_FALSE(RunInBackground(nullptr, QStringLiteral("waiting"), true, [&release, done] {
    while (!release) {
      QThread::msleep(5);
    }
    *done = true;
  }));
  EXPECT_FALSE(*done);
  release = true;
  QThreadPool::globalInstance()->waitForDone();
  EXPECT_TRUE(*done);

  EXPECT_THROW(RunInBackground(nullptr, QStringLiteral("failing"), false,
                               [] { throw WorldFileError("broken"); }),
               WorldFileError);
}

TEST(BackgroundWorkTest, TheBarShowsTheShareDoneAndCancelReachesTheWorker) {
  test::TestApp();
  auto stopped = std::make_shared<std::atomic<bool>>(false);
  int shown = -1;
  QTimer press;
  press.setInterval(20);
  QObject::connect(&press, &QTimer::timeout, [&shown] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QProgressDialog*>(top);
      if (dialog != nullptr && dialog->isVisible() && dialog->maximum() > 0) {
        shown = dialog->value() * 100 / dialog->maximum();
        dialog->findChild<QPushButton*>()->click();
      }
    }
  });
  press.start();
  EXPECT_FALSE(
      RunInBackground(nullptr, QStringLiteral("reading"), true, [stopped](WorkProgress& progress) {
        progress.Report(0.4);
        while (!progress.Cancelled()) {
          QThread::msleep(5);
        }
        *stopped = true;
      }));
  EXPECT_EQ(shown, 40);
  QThreadPool::globalInstance()->waitForDone();
  EXPECT_TRUE(*stopped);
}

}  // namespace
}  // namespace veltmoor
