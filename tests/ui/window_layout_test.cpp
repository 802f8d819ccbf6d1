// The desktop program on a screen of a given size: window arrangements, child windows
// smaller than their contents, and the room the charts get.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLegend>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>

#include "qt_app.h"
#include "ui/app_context.h"
#include "ui/chart_view.h"
#include "ui/desktop_program.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"
#include "ui/study_windows.h"

namespace veltmoor {
namespace {

class WindowLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApp();
    program_ = StartDesktopProgram(false);
    program_.context->errors.SetPresenter(
        [this](QWidget*, const QString& message) { errors_.push_back(message); });
    program_.frame->SetConfirmation([](const QString&) { return QMessageBox::Ok; });
  }

  void ShowFrame(const QSize& size) {
    program_.frame->resize(size);
    program_.frame->show();
    QApplication::processEvents();
  }
  QMdiArea& Area() { return *program_.frame->MdiArea(); }
  QList<QMdiSubWindow*> Children() { return Area().subWindowList(QMdiArea::CreationOrder); }
  void Trigger(const char* action) {
    program_.frame->Action(QLatin1StringView(action))->trigger();
    QApplication::processEvents();
  }
  void OpenStudies() {
    program_.simulation->Button(QStringLiteral("B_anaMinDist"))->click();
    program_.simulation->Button(QStringLiteral("B_anaDevPara"))->click();
    QApplication::processEvents();
  }

  DesktopProgram program_;
  std::vector<QString> errors_;
};

TEST_F(WindowLayoutTest, TheThreeArrangementsDoDifferentThings) {
  ShowFrame({1280, 800});
  OpenStudies();
  ASSERT_EQ(Children().size(), 4);
  const QRect area = Area().viewport()->rect();

  Trigger("WindowTileHorizontal");  // one above the other
  int top = -1;
  for (QMdiSubWindow* child : Children()) {
    EXPECT_EQ(child->geometry().left(), area.left());
    EXPECT_EQ(child->width(), area.width());
    EXPECT_GT(child->geometry().top(), top);
    top = child->geometry().top();
  }

  Trigger("WindowTileVertical");  // side by side
  int left = -1;
  for (QMdiSubWindow* child : Children()) {
    EXPECT_EQ(child->geometry().top(), area.top());
    EXPECT_EQ(child->height(), area.height());
    EXPECT_GT(child->geometry().left(), left);
    left = child->geometry().left();
  }

  // "Alle anordnen" lines up the minimised windows along the bottom and leaves the others.
  Children()[0]->showMinimized();
  Children()[2]->showMinimized();
  QApplication::processEvents();
  const QRect open = Children()[1]->geometry();
  Children()[2]->move(300, 100);
  Trigger("WindowArrangeAll");
  const QRect first = Children()[0]->geometry();
  const QRect second = Children()[2]->geometry();
  EXPECT_EQ(first.bottom(), area.bottom());
  EXPECT_EQ(second.bottom(), area.bottom());
  EXPECT_EQ(first.left(), area.left());
  EXPECT_EQ(second.left(), first.right() + 1);
  EXPECT_EQ(Children()[1]->geometry(), open);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(WindowLayoutTest, MinimiseAllAndTheWindowList) {
  ShowFrame({1280, 800});
  OpenStudies();
  for (QMdiSubWindow* child : Children()) {
    child->showMaximized();
  }
  QApplication::processEvents();
  Trigger("WindowMinimizeAll");
  for (QMdiSubWindow* child : Children()) {
    EXPECT_TRUE(child->isMinimized()) << child->windowTitle().toStdString();
  }

  // Chosen in the "Fenster" list, a minimised window comes back.
  QMenu* windows = nullptr;
  for (QAction* menu : program_.frame->menuBar()->actions()) {
    if (menu->text() == QStringLiteral("&Fenster")) {
      windows = menu->menu();
    }
  }
  ASSERT_NE(windows, nullptr);
  emit windows->aboutToShow();
  const QList<QAction*> items = windows->actions();
  QAction* second = items[items.size() - Children().size() + 1];
  second->trigger();
  QApplication::processEvents();
  EXPECT_FALSE(Children()[1]->isMinimized());
  EXPECT_EQ(Area().activeSubWindow(), Children()[1]);
}

TEST_F(WindowLayoutTest, TiledWindowsKeepTheirTilesAndScrollTheirContents) {
  ShowFrame({1280, 800});
  OpenStudies();
  Trigger("WindowTileVertical");
  const QRect area = Area().viewport()->rect();
  for (QMdiSubWindow* child : Children()) {
    SCOPED_TRACE(child->windowTitle().toStdString());
    // A window that cannot be as small as its tile would overlap its neighbour and lose
    // its right part under the frame's edge.
    EXPECT_TRUE(area.contains(child->geometry()));
    EXPECT_LE(child->width(), area.width() / 4 + 4);
  }
  // The study's chart keeps its size inside a scrolling window rather than being squeezed.
  auto* study = qobject_cast<TAnaDev*>(program_.frame->FindChildWindow(QStringLiteral("TAnaDev")));
  ASSERT_NE(study, nullptr);
  EXPECT_GE(study->View()->width(), 300);
  EXPECT_NE(study->findChild<QScrollArea*>(), nullptr);
}

TEST_F(WindowLayoutTest, StructureChartsHaveRoomMaximisedAndAt1280x800) {
  for (const QSize screen : {QSize(1280, 800), QSize(1600, 1000)}) {
    SCOPED_TRACE(screen.width());
    ShowFrame(screen);
    TForm1& window = *program_.simulation;
    qobject_cast<QMdiSubWindow*>(window.parentWidget())->showMaximized();
    window.Tabs()->setCurrentIndex(4);
    QApplication::processEvents();
    auto* outer = window.findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(outer, nullptr);
    auto* strip = window.findChild<QTabWidget*>(QStringLiteral("ChartStrip"));
    ASSERT_NE(strip, nullptr);
    for (const char* name :
         {"Chart_fractal", "Ch_clusterSize", "Chart_rank", "Chart_denseA", "Chart_denseD",
          "Chart_ConnPot", "Chart_PotDens", "Chart_IS", "Chart_FractGrid"}) {
      SCOPED_TRACE(name);
      auto* view = window.findChild<ChartView*>(QLatin1StringView(name));
      ASSERT_NE(view, nullptr);
      if (strip->indexOf(view->parentWidget()) >= 0) {
        strip->setCurrentWidget(view->parentWidget());
        QApplication::processEvents();
      }
      // The whole chart is in the window's view, at a size its axes and legend fit.
      QWidget* seen = outer->viewport();
      EXPECT_TRUE(seen->rect().contains(QRect(view->mapTo(seen, QPoint(0, 0)), view->size())));
      EXPECT_GE(view->height(), 200);
      EXPECT_GE(view->width(), 280);
    }
  }
}

TEST_F(WindowLayoutTest, ValueListKeysAndEdgesLegend) {
  ShowFrame({1280, 800});
  TForm1& window = *program_.simulation;
  window.Tabs()->setCurrentIndex(4);
  window.RefreshViews();
  QApplication::processEvents();
  auto* values = window.findChild<QTableWidget*>(QStringLiteral("ValueListEditor1"));
  const QFontMetrics metrics(values->font());
  for (const char* key : {"IS_developed_cells", "Nodes (radial a.)"}) {
    EXPECT_GE(values->columnWidth(0), metrics.horizontalAdvance(QString::fromUtf8(key))) << key;
  }
  auto* edges = window.findChild<ChartView*>(QStringLiteral("Chart_nodes"));
  ASSERT_NE(edges, nullptr);
  EXPECT_FALSE(edges->chart()->legend()->isVisible());
}

}  // namespace
}  // namespace veltmoor
