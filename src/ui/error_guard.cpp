#include "ui/error_guard.h"

#include <QMessageBox>
#include <exception>

namespace veltmoor {

namespace {

void ShowInBox(QWidget* parent, const QString& message) {
  QMessageBox::critical(parent, QStringLiteral("veltmoor"), message);
}

ErrorPresenter& Presenter() {
  static ErrorPresenter presenter = ShowInBox;
  return presenter;
}

bool g_showing = false;

void Present(QWidget* parent, const QString& message) {
  if (g_showing) {
    return;
  }
  g_showing = true;
  Presenter()(parent, message);
  g_showing = false;
}

}  // namespace

void SetErrorPresenter(ErrorPresenter presenter) {
  Presenter() = presenter ? std::move(presenter) : ErrorPresenter(ShowInBox);
}

bool RunGuarded(QWidget* parent, const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    Present(parent, QString::fromUtf8(e.what()));
  } catch (...) {
    Present(parent, QStringLiteral("unexpected failure"));
  }
  return false;
}

}  // namespace veltmoor
