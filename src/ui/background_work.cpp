#include "ui/background_work.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <memory>

namespace veltmoor {

namespace {

// Short work ends before a dialog could do more than flash.
constexpr int kQuietMilliseconds = 150;

}  // namespace

bool RunInBackground(QWidget* parent, const QString& label, bool cancellable,
                     std::function<void()> work) {
  auto failure = std::make_shared<std::exception_ptr>();
  const QFuture<void> future = QtConcurrent::run([work = std::move(work), failure] {
    try {
      work();
    } catch (...) {
      *failure = std::current_exception();
    }
  });
  const QDeadlineTimer quiet(kQuietMilliseconds);
  while (!future.isFinished() && !quiet.hasExpired()) {
    QThread::msleep(2);
  }
  if (!future.isFinished()) {
    QEventLoop loop;
    QFutureWatcher<void> watcher;
    QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    QProgressDialog dialog(label, cancellable ? QStringLiteral("Abbrechen") : QString(), 0, 0,
                           parent);
    dialog.setWindowTitle(QStringLiteral("veltmoor"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    if (!cancellable) {
      dialog.setCancelButton(nullptr);
    }
    bool cancelled = false;
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&] {
      if (cancellable) {
        cancelled = true;
        loop.quit();
      } else {
        dialog.show();  // Escape closes the dialog, but the work is not to be left
      }
    });
    dialog.show();
    if (!future.isFinished()) {
      loop.exec();
    }
    if (cancelled) {
      return false;
    }
  }
  if (*failure) {
    std::rethrow_exception(*failure);
  }
  return true;
}

}  // namespace veltmoor
