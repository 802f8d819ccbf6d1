// Work that may take seconds, such as reading or writing a large world, runs on a worker
// thread while a busy dialog shows that the program is at it; the windows stay painted.
#pragma once

#include <QString>
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

}  // namespace veltmoor
