// One place where a failing handler is caught: its message is shown in a box, the operation
// is abandoned, and the program (and a running timer) carries on.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace veltmoor {

// Runs `handler`; returns false when it failed. While one error box is open, further
// failures (a timer tick failing again on the same bad setting) are not stacked on top.
bool RunGuarded(QWidget* parent, const std::function<void()>& handler);

// How a failure is shown; tests replace it to record the message instead of opening a box.
using ErrorPresenter = std::function<void(QWidget* parent, const QString& message)>;
void SetErrorPresenter(ErrorPresenter presenter);

}  // namespace veltmoor
