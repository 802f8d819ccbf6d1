// veltmoor: the desktop simulator of urban growth.
#include <QApplication>

#include "ui/desktop_program.h"
#include "ui/main_form.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("veltmoor"));
  veltmoor::DesktopProgram program = veltmoor::StartDesktopProgram(true);
  return QApplication::exec();
}
