// veltmoor-screenshot: drives the desktop program as a user would (a boom run, then
// "calcPathes" and "fractal A.") and saves a picture of the frame, for the documentation.
#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <cstdlib>
#include <iostream>
#include <string>

#include "ui/desktop_program.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: veltmoor-screenshot OUT.png [STEPS [TAB]]\n";
    return 2;
  }
  QApplication app(argc, argv);
  const QString out = QString::fromLocal8Bit(argv[1]);
  const int steps = argc > 2 ? std::atoi(argv[2]) : 300;
  const int tab = argc > 3 ? std::atoi(argv[3]) : 4;

  veltmoor::DesktopProgram program = veltmoor::StartDesktopProgram(true);
  program.frame->showNormal();
  program.frame->setGeometry(0, 0, 1600, 1000);
  veltmoor::TForm1& window = *program.simulation;
  window.findChild<QRadioButton*>("RB_boom")->click();
  window.Button("B_ITL_start")->click();
  for (int i = 0; i < steps && window.Timer1().isActive(); ++i) {
    window.Timer1Timer();
  }
  window.Button("B_ITL_stop")->click();
  window.Button("B_CalcPathes")->click();
  window.Button("Button4")->click();
  window.Tabs()->setCurrentIndex(tab);
  window.RefreshViews();
  QApplication::processEvents();
  window.RefreshViews();
  if (!program.frame->grab().save(out)) {
    std::cerr << "cannot write " << out.toStdString() << "\n";
    return 1;
  }
  std::cout << "saved " << out.toStdString() << "\n";
  return 0;
}
