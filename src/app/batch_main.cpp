// veltmoor-batch: the simulator without a window.
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "batch/batch_cli.h"

namespace {

// Qt's start-up notes (such as the missing runtime folder of a headless session) are not
// the user's business; real warnings still reach stderr.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  const QByteArray text = message.toLocal8Bit();
  if (type == QtDebugMsg || type == QtInfoMsg ||
      std::strncmp(text.constData(), "QStandardPaths:", 15) == 0) {
    return;
  }
  std::cerr << text.constData() << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  qInstallMessageHandler(QuietMessages);
  // Pictures are painted off-screen; no display is needed or wanted.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  int qt_argc = 1;
  QGuiApplication app(qt_argc, argv);
  return veltmoor::RunBatch(argc, argv, std::cout, std::cerr);
}
