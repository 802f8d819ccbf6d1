// veltmoor: the desktop simulator of urban growth.
#include <QApplication>
#include <QCommandLineParser>

#include "ui/desktop_program.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("veltmoor"));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("The desktop simulator of urban growth."));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("world"),
                               QStringLiteral("A saved world (world.json) to open."),
                               QStringLiteral("[world]"));
  // --help and unknown options end here with their text, before any window opens.
  parser.process(app);
  const QStringList worlds = parser.positionalArguments();
  if (worlds.size() > 1) {
    parser.showHelp(2);
  }
  veltmoor::DesktopProgram program = veltmoor::StartDesktopProgram(true);
  if (!worlds.isEmpty()) {
    program.simulation->LoadWorld(worlds.front());
  }
  return QApplication::exec();
}
