// The one QApplication of a GUI test program, created on first use so that every test file
// can ask for it without knowing which test runs first. It is never destroyed: at exit Qt's
// own globals are gone already, and tearing the application down then would crash.
#pragma once

#include <QApplication>

namespace veltmoor::test {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "veltmoor_ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace veltmoor::test
