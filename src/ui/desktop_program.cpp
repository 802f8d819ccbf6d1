#include "ui/desktop_program.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>

#include "ui/app_context.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"
#include "ui/study_windows.h"
#include "ui/table_window.h"

namespace veltmoor {

DesktopProgram::DesktopProgram() = default;
DesktopProgram::DesktopProgram(DesktopProgram&&) noexcept = default;
DesktopProgram& DesktopProgram::operator=(DesktopProgram&&) noexcept = default;
// The frame owns the windows, which refer to the context: close the frame first.
DesktopProgram::~DesktopProgram() {
  if (context) {
    context->sim.TableWindowNeeded = nullptr;
  }
  frame.reset();
}

DesktopProgram StartDesktopProgram(bool show) {
  DesktopProgram program;
  program.context = std::make_unique<AppContext>();
  AppContext& context = *program.context;
  program.frame = std::make_unique<TMainForm>(context);
  TMainForm& frame = *program.frame;
  if (show) {
    // Without a window manager "maximised" means nothing; fill the screen by hand.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      frame.setGeometry(screen->availableGeometry());
    }
    frame.showMaximized();
  }

  frame.RegisterWindowClass(QStringLiteral("TForm1"), [&context] { return new TForm1(context); });
  frame.RegisterWindowClass(QStringLiteral("TAnaDev"), [&context] { return new TAnaDev(context); });
  frame.RegisterWindowClass(QStringLiteral("TanaMinDist"),
                            [&context] { return new TanaMinDist(context); });
  frame.RegisterWindowClass(QStringLiteral("Tana_clusterGrow"),
                            [&context] { return new Tana_clusterGrow(context); });

  frame.RegisterWindowClass(QStringLiteral("TConnectivityTable"),
                            [&context] { return new TConnectivityTable(context); });

  auto* simulation = new TForm1(context);
  frame.AddChild(simulation)->showMaximized();
  program.simulation = simulation;
  frame.AddChild(new TConnectivityTable(context));
  frame.MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(simulation->parentWidget()));
  context.sim.TableWindowNeeded = [&frame] {
    frame.EnsureChildWindow(QStringLiteral("TConnectivityTable"));
  };
  QPointer<TForm1> first(simulation);
  frame.SetWorldFiles(
      [first](const QString& path) {
        if (first) {
          first->LoadWorld(path);
        }
      },
      [first](const QString& path) {
        if (first) {
          first->SaveWorldAs(path);
        }
      });
  frame.SetTimerToggle([first] {
    if (first) {
      first->ToggleTimer();
    }
  });
  return program;
}

}  // namespace veltmoor
