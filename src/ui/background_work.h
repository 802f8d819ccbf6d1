// Work that may take seconds, such as reading or writing a large world, runs on a worker
// thread while a busy dialog shows that the program is at it; the windows stay painted.
#pragma once

#include <QString>
#include <atomic>
#include <functional>

class QWidget;

namespace veltmoor {

// Runs `work` on a worker thread and waits for it with the event loop running. Work that
// outlasts a moment brings up an application-modal busy dialog titled `label`, so no other
// command starts meanwhile (timers still tick). With `cancellable` the dialog offers
// "Abbrechen": the call then returns false at once and the work ends unobserved, so it
// must own everything it touches. An exception thrown by `work` is rethrown here.
bool RunInBackground(QWidget* parent, const QString& label, bool cancellable,
                     std::function<void()> work);

// Between the worker and the busy dialog: the share done, which turns the dialog's moving
// bar into a percentage, and "Abbrechen", which work that can stop early asks about.
class WorkProgress {
 public:
  void Report(double fraction);  // 0..1
  bool Cancelled() const { return cancelled_; }
  int Permille() const { return permille_; }  // -1 until the first report
  void Cancel() { cancelled_ = true; }

 private:
  std::atomic<int> permille_{-1};
  std::atomic<bool> cancelled_{false};
};

// The same for work that reports its progress.
bool RunInBackground(QWidget* parent, const QString& label, bool cancellable,
                     std::function<void(WorkProgress&)> work);

}  // namespace veltmoor
