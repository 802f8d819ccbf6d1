#include "ui/error_guard.h"

#include <QMessageBox>
#include <exception>

namespace veltmoor {

namespace {

void ShowInBox(QWidget* parent, const QString& message) {
  QMessageBox::critical(parent, QStringLiteral("veltmoor"), message);
}

}  // namespace

ErrorGuard::ErrorGuard() : presenter_(ShowInBox) {}

void ErrorGuard::SetPresenter(ErrorPresenter presenter) {
  presenter_ = presenter ? std::move(presenter) : ErrorPresenter(ShowInBox);
}

void ErrorGuard::Present(QWidget* parent, const QString& message) {
  if (showing_) {
    return;
  }
  showing_ = true;
  presenter_(parent, message);
  showing_ = false;
}

bool ErrorGuard::Run(QWidget* parent, const std::function<void()>& handler) {
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
