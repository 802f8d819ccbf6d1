// veltmoor: the desktop simulator of urban growth.
#include <QApplication>

#include "ui/desktop_program.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("veltmoor"));
  veltmoor::DesktopProgram program = veltmoor::StartDesktopProgram(true);
  // veltmoor FILE.json opens the simulation window on that world.
  if (argc > 1) {
    program.simulation->LoadWorld(QString::fromLocal8Bit(argv[1]));
  }
  return QApplication::exec();
}
