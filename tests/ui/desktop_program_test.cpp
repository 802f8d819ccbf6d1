// The desktop program driven as a user drives it: buttons clicked, timer ticks, mouse on
// the map, windows closed and opened.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "qt_app.h"
#include "simulation/connectivity_table_model.h"
#include "simulation/setup.h"
#include "simulation/simulation.h"
#include "simulation/world.h"
#include "ui/app_context.h"
#include "ui/desktop_program.h"
#include "ui/main_form.h"
#include "ui/map_panel.h"
#include "ui/simulation_window.h"
#include "ui/table_window.h"

namespace veltmoor {
namespace {

class DesktopProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApp();
    program_ = StartDesktopProgram(false);
    program_.context->errors.SetPresenter(
        [this](QWidget*, const QString& message) { errors_.push_back(message); });
    program_.frame->SetConfirmation([this](const QString& text) {
      asked_.push_back(text);
      return answer_;
    });
  }

  TForm1& Window() { return *program_.simulation; }
  World& world() { return program_.context->sim.world; }
  MapLayers& map() { return program_.context->sim.map; }
  QList<QMdiSubWindow*> Children() const {
    return program_.frame->MdiArea()->subWindowList(QMdiArea::CreationOrder);
  }
  int Count(const char* windowClass) const {
    int count = 0;
    for (QMdiSubWindow* child : Children()) {
      count += child->widget()->property("windowClass").toString() == QLatin1StringView(windowClass)
                   ? 1
                   : 0;
    }
    return count;
  }
  void Click(const char* button) { Window().Button(QLatin1StringView(button))->click(); }
  void Ticks(int n) {
    for (int i = 0; i < n && Window().Timer1().isActive(); ++i) {
      Window().Timer1Timer();
    }
  }
  void RunBoom(int steps) {
    Window().findChild<QRadioButton*>(QStringLiteral("RB_boom"))->click();
    Click("B_ITL_start");
    Ticks(steps);
  }
  QString LabelText(const char* name) {
    Window().RefreshViews();
    return Window().findChild<QLabel*>(QLatin1StringView(name))->text();
  }

  DesktopProgram program_;
  std::vector<QString> errors_;
  std::vector<QString> asked_;
  QMessageBox::StandardButton answer_ = QMessageBox::Ok;
};

TEST_F(DesktopProgramTest, StartUpCreatesSimulationThenTableWindow) {
  // A maximised child adds its caption to the frame's, as in any multiple-document frame.
  EXPECT_TRUE(program_.frame->windowTitle().startsWith(QStringLiteral("veltmoor")))
      << program_.frame->windowTitle().toStdString();
  const auto children = Children();
  ASSERT_EQ(children.size(), 2);
  EXPECT_EQ(children[0]->widget()->property("windowClass"), QStringLiteral("TForm1"));
  EXPECT_EQ(children[0]->widget()->windowTitle(), QStringLiteral("growing network"));
  EXPECT_EQ(children[1]->widget()->property("windowClass"), QStringLiteral("TConnectivityTable"));
  EXPECT_EQ(children[1]->widget()->windowTitle(), QStringLiteral("Connectivity Table"));
  EXPECT_EQ(world().NodeCount, 1u);
  EXPECT_FALSE(program_.frame->Action(QStringLiteral("FileSave"))->isEnabled());
  EXPECT_FALSE(program_.frame->Action(QStringLiteral("FileSaveAs"))->isEnabled());
}

TEST_F(DesktopProgramTest, NewAsksBeforeMakingASecondSimulationWindow) {
  program_.frame->Action(QStringLiteral("FileNew"))->trigger();
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(
      asked_[0],
      QStringLiteral("Form \"growing network\" already created. Select OK to switch to it, Yes to "
                     "create a new form instance."));
  EXPECT_EQ(Count("TForm1"), 1);

  answer_ = QMessageBox::Yes;
  program_.frame->Action(QStringLiteral("FileNew"))->trigger();
  EXPECT_EQ(Count("TForm1"), 2);
  // Both windows show the one world; the second one's setup replaced it.
  EXPECT_EQ(world().NodeCount, 1u);
}

TEST_F(DesktopProgramTest, StartGrowsTheTownAndStopResetsTheFieldType) {
  RunBoom(50);
  EXPECT_TRUE(Window().Timer1().isActive());
  EXPECT_EQ(world().TimeStep, 50u);
  EXPECT_EQ(LabelText("lbl_actTime"), QStringLiteral("49"));
  EXPECT_GT(world().NodeCount, 1u);
  EXPECT_EQ(LabelText("Lbl_nrNodes"), QString::number(world().NodeCount));
  Click("B_ITL_stop");
  EXPECT_FALSE(Window().Timer1().isActive());
  EXPECT_EQ(world().FieldType, kFieldStopped);
}

TEST_F(DesktopProgramTest, CalcPathesFillsTheTableAndColoursTheNodes) {
  RunBoom(40);
  Click("B_ITL_stop");
  Click("B_CalcPathes");
  const auto& table = program_.context->sim.StringGrid1;
  EXPECT_EQ(table.NodeRows(), static_cast<int>(world().NodeCount));
  auto* view = program_.frame->findChild<QTableView*>(QStringLiteral("StringGrid1"));
  ASSERT_NE(view, nullptr);
  static_cast<TConnectivityTable*>(
      program_.frame->FindChildWindow(QStringLiteral("TConnectivityTable")))
      ->Sync();
  EXPECT_EQ(view->model()->rowCount(), static_cast<int>(world().NodeCount) + 1);
  // ML and sML hold decimals such as "3,14285714285714": their columns fit them.
  for (const int fromEnd : {3, 2}) {
    const int column = view->model()->columnCount() - fromEnd;
    const QString text = view->model()->index(0, column).data().toString();
    EXPECT_GE(view->columnWidth(column), view->fontMetrics().horizontalAdvance(text))
        << text.toStdString();
  }
  bool coloured = false;
  for (const auto& node : world().NodeList) {
    coloured = coloured || node->Color != colours::kGrey;
  }
  EXPECT_TRUE(coloured);
  EXPECT_NE(LabelText("Lbl_ml"), QStringLiteral("ML"));
}

TEST_F(DesktopProgramTest, BadDecimalIsShownOnceAndStopsTheRunUntilFixed) {
  Window().Settings().SetText(setting::kCentripetalWeight, "0.x");
  Window().findChild<QRadioButton*>(QStringLiteral("RB_cluster"))->click();
  Click("B_ITL_start");
  Ticks(5);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], QStringLiteral("centripetal weight (w1): '0.x' is not a number"));
  EXPECT_FALSE(Window().Timer1().isActive());
  Window().Settings().SetText(setting::kCentripetalWeight, "2,0");
  Click("B_ITL_start");
  const auto before = world().TimeStep;
  Ticks(2);
  EXPECT_EQ(world().TimeStep, before + 2);
  EXPECT_EQ(errors_.size(), 1u);
}

TEST_F(DesktopProgramTest, EveryNewWorldShowsItsFineLayer) {
  for (const char* view : {"Button7", "Button8"}) {  // "pot. field", "cand. sites"
    Click(view);
    EXPECT_FALSE(map().Visible.Fine) << view;
    Click("B_setup");
    EXPECT_TRUE(map().Visible.Fine) << view;
  }
}

TEST_F(DesktopProgramTest, ClosedTableWindowIsReopenedByThePathComputation) {
  QWidget* table = program_.frame->FindChildWindow(QStringLiteral("TConnectivityTable"));
  ASSERT_NE(table, nullptr);
  table->parentWidget()->close();
  QApplication::processEvents();
  EXPECT_EQ(Count("TConnectivityTable"), 0);
  Click("B_CalcPathes");
  EXPECT_EQ(Count("TConnectivityTable"), 1);
  EXPECT_TRUE(asked_.empty());
}

TEST_F(DesktopProgramTest, MouseOnTheMapPlantsNodesAndDevelopsLand) {
  MapPanel* panel = Window().Panel();
  QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(30, 30));
  EXPECT_EQ(world().NodeCount, 2u);
  EXPECT_EQ(world().CellGrid(1, 1).State, kStateNode);
  QTest::mouseClick(panel, Qt::RightButton, {}, QPoint(100, 100));
  EXPECT_EQ(world().CellGrid(4, 4).DevelopedCount, 1);
  // A press in the margin beyond the last cell does nothing.
  QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(605, 680));
  EXPECT_EQ(world().NodeCount, 2u);
}

TEST_F(DesktopProgramTest, AnyButtonRecordsThePressAtTheFlooredPixel) {
  MapPanel* panel = Window().Panel();
  auto press = [panel](Qt::MouseButton button, QPointF position) {
    QMouseEvent event(QEvent::MouseButtonPress, position, panel->mapToGlobal(position), button,
                      button, Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &event);
  };
  press(Qt::BackButton, QPointF(30, 30));
  EXPECT_EQ(map().DragStartCell, &world().CellGrid(1, 1));
  press(Qt::ForwardButton, QPointF(100, 100));
  EXPECT_EQ(map().DragStartCell, &world().CellGrid(4, 4));
  // 23.6 is pixel 23 of cell 0; rounded it would be pixel 24, the first of cell 1.
  press(Qt::LeftButton, QPointF(23.6, 5.0));
  EXPECT_EQ(map().DragStartCell, &world().CellGrid(0, 0));
}

TEST_F(DesktopProgramTest, AZoomedMapStillTakesClicksAtTheirMapPixel) {
  MapPanel* panel = Window().Panel();
  panel->SetZoom(0.5);
  Window().RefreshViews();
  EXPECT_EQ(panel->minimumSize(), QSize((map().PanelWidth + 1) / 2, (map().PanelHeight + 1) / 2));
  QMouseEvent event(QEvent::MouseButtonPress, QPointF(50, 50), panel->mapToGlobal(QPointF(50, 50)),
                    Qt::BackButton, Qt::BackButton, Qt::NoModifier);
  QCoreApplication::sendEvent(panel, &event);
  EXPECT_EQ(map().DragStartCell, &world().CellGrid(4, 4));  // map pixel (100, 100)

  Window().ZoomBy(4);  // four steps double the scale
  EXPECT_NEAR(panel->Zoom(), 1.0, 1e-12);
  panel->SetZoom(1000);
  EXPECT_EQ(panel->Zoom(), MapPanel::kMaxZoom);
  Window().findChild<QToolButton*>(QStringLiteral("B_zoomOne"))->click();
  EXPECT_EQ(panel->Zoom(), 1.0);
}

// A map larger than the window (a loaded town) scrolls instead of being cut off, and
// "new setup" builds the next world for the window again, not for the large map.
TEST_F(DesktopProgramTest, ALargeMapScrollsAndANewSetupFitsTheWindowAgain) {
  Simulation& sim = program_.context->sim;
  sim.map.PanelWidth = 2400;
  sim.map.PanelHeight = 1800;
  NewSetup(sim);
  Window().RefreshViews();
  MapPanel* panel = Window().Panel();
  EXPECT_EQ(panel->minimumSize(), QSize(2400, 1800));

  Click("B_setup");
  Window().RefreshViews();
  EXPECT_LT(sim.map.PanelWidth, 2400);
  EXPECT_LT(sim.map.PanelHeight, 1800);
  EXPECT_EQ(panel->minimumSize(), QSize(sim.map.PanelWidth, sim.map.PanelHeight));
}

TEST_F(DesktopProgramTest, ToolBarButtonFlipsTheStartUpWindowsTimer) {
  QAction* toggle = program_.frame->Action(QStringLiteral("ToggleTimer"));
  toggle->trigger();
  EXPECT_TRUE(Window().Timer1().isActive());
  toggle->trigger();
  EXPECT_FALSE(Window().Timer1().isActive());
}

}  // namespace
}  // namespace veltmoor
