#include "ui/background_work.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <exception>
#include <memory>

namespace veltmoor {

namespace {

// Short work ends before a dialog could do more than flash.
constexpr int kQuietMilliseconds = 150;
constexpr int kPermille = 1000;
constexpr int kProgressPollMilliseconds = 100;

}  // namespace

void WorkProgress::Report(double fraction) {
  permille_ = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kPermille);
}

bool RunInBackground(QWidget* parent, const QString& label, bool cancellable,
                     std::function<void()> work) {
  return RunInBackground(parent, label, cancellable,
                         [work = std::move(work)](WorkProgress&) { work(); });
}

bool RunInBackground(QWidget* parent, const QString& label, bool cancellable,
                     std::function<void(WorkProgress&)> work) {
  auto failure = std::make_shared<std::exception_ptr>();
  // Shared with the worker, which may outlive a cancelled call.
  auto progress = std::make_shared<WorkProgress>();
  const QFuture<void> future = QtConcurrent::run([work = std::move(work), failure, progress] {
    try {
      work(*progress);
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
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&dialog, progress] {
      if (const int done = progress->Permille(); done >= 0) {
        dialog.setMaximum(kPermille);
        dialog.setValue(done);
      }
    });
    poll.start(kProgressPollMilliseconds);
    bool cancelled = false;
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&] {
      if (cancellable) {
        cancelled = true;
        progress->Cancel();
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
