// One place where a failing handler is caught: its message is shown in a box, the operation
// is abandoned, and the program (and a running timer) carries on.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace veltmoor {

// How a failure is shown; tests replace it to record the message instead of opening a box.
using ErrorPresenter = std::function<void(QWidget* parent, const QString& message)>;

// The program's one error guard lives in its context, so every window shows failures the
// same way and a test can watch them without touching any other program.
class ErrorGuard {
 public:
  ErrorGuard();

  // Runs `handler`; returns false when it failed. While one error box is open, further
  // failures (a timer tick failing again on the same bad setting) are not stacked on top.
  bool Run(QWidget* parent, const std::function<void()>& handler);
  // An empty presenter brings the message box back.
  void SetPresenter(ErrorPresenter presenter);

 private:
  void Present(QWidget* parent, const QString& message);

  ErrorPresenter presenter_;
  bool showing_ = false;
};

}  // namespace veltmoor
