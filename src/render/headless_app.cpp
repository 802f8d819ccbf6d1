#include "render/headless_app.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace veltmoor {

namespace {

// Notes such as the missing runtime folder of a headless session are not the user's
// business; real warnings still reach stderr.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  const QByteArray text = message.toLocal8Bit();
  if (type == QtDebugMsg || type == QtInfoMsg ||
      std::strncmp(text.constData(), "QStandardPaths:", 15) == 0) {
    return;
  }
  std::cerr << text.constData() << "\n";
}

}  // namespace

std::unique_ptr<QGuiApplication> StartHeadlessApplication(char* program_name) {
  qInstallMessageHandler(QuietMessages);
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  // Qt keeps a reference to the argument count for the application's whole life.
  static int qt_argc = 1;
  static char* qt_argv[] = {program_name, nullptr};
  return std::make_unique<QGuiApplication>(qt_argc, qt_argv);
}

}  // namespace veltmoor
