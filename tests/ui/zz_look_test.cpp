#include <gtest/gtest.h>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include "qt_app.h"
#include "ui/desktop_program.h"
#include "ui/error_guard.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"
#include "ui/study_windows.h"
#include "ui/chart_view.h"
namespace veltmoor {
TEST(ZzLook, Windows) {
  test::TestApp();
  SetStudyFilesFolder("/tmp/look");
  SetErrorPresenter([](QWidget*, const QString& m) { fprintf(stderr, "ERR %s\n", qPrintable(m)); });
  DesktopProgram p = StartDesktopProgram(true);
  p.simulation->Settings().SetText("SE_cellScale", "40");
  for (auto [b, c] : {std::pair{"B_anaDevPara", "TAnaDev"}, {"B_anaMinDist", "TanaMinDist"}, {"B_anaGraphSize", "Tana_clusterGrow"}}) {
    p.simulation->Button(b)->click();
    auto* w = static_cast<StudyWindow*>(p.frame->FindChildWindow(c));
    w->parentWidget()->showNormal();
    QApplication::processEvents();
    w->grab().save(QString("/tmp/look/%1_before.png").arg(c));
  }
  auto* dev = static_cast<TAnaDev*>(p.frame->FindChildWindow("TAnaDev"));
  dev->Settings().SetChecked("CB1_acti", true);
  dev->Settings().SetText("E1_valTo", "1,4");
  dev->Settings().SetText("SE_toSteps", "20");
  dev->Settings().SetText("SE_perVal", "2");
  dev->Settings().SetChecked("Cb_saveSnap", true);
  dev->Settings().SetChecked("CB_trendShow", true);
  dev->findChild<QPushButton*>("B_startStop")->click();
  dev->Button("B_start")->click();
  while (dev->StudyObject().Running()) dev->StudyTimerTick();
  QApplication::processEvents();
  fprintf(stderr, "AXES %d size %dx%d\n", (int)dev->View()->chart()->axes().size(), dev->width(), dev->height());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
  dev->grab().save("/tmp/look/TAnaDev_after.png");
  dev->View()->grab().save("/tmp/look/TAnaDev_view.png");
  auto* md = static_cast<TanaMinDist*>(p.frame->FindChildWindow("TanaMinDist"));
  md->Settings().SetText("E_valTo", "4"); md->Settings().SetText("E_toSteps", "20"); md->Settings().SetText("E_calcVals", "3");
  md->Settings().SetChecked("CB_cFit_Seg", true);
  md->Button("B_start")->click();
  while (md->StudyObject().Running()) md->StudyTimerTick();
  QApplication::processEvents();
  md->grab().save("/tmp/look/TanaMinDist_after.png");
  auto* cg = static_cast<Tana_clusterGrow*>(p.frame->FindChildWindow("Tana_clusterGrow"));
  cg->Settings().SetText("E_toSteps", "30"); cg->Settings().SetText("E_measureSt", "5"); cg->Settings().SetText("E_calcVals", "3");
  cg->Button("B_start")->click();
  while (cg->StudyObject().Running()) cg->StudyTimerTick();
  QApplication::processEvents();
  cg->grab().save("/tmp/look/Tana_clusterGrow_after.png");
  p.simulation->Settings().SetText("SE_rdsPerVal", "2");
  p.simulation->Settings().SetText("SE_stepsPerRd", "20");
  p.simulation->Tabs()->setCurrentIndex(5);
  p.simulation->Button("B_startBuildAna")->click();
  while (p.simulation->Timer_buildAna().isActive()) p.simulation->Timer_buildAnaTimer();
  p.simulation->parentWidget()->showMaximized();
  p.simulation->RefreshViews();
  QApplication::processEvents();
  p.simulation->grab().save("/tmp/look/TForm1_buildAna.png");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
  p.simulation->grab().save("/tmp/look/TForm1_buildAna2.png");
  p.frame->grab().save("/tmp/look/frame.png");
}
}
