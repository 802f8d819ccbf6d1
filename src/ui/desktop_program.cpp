#include "ui/desktop_program.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>
#include <functional>
#include <stdexcept>

#include "ui/app_context.h"
#include "ui/import_dialog.h"
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

TForm1* SimulationWindowToActOn(const TMainForm& frame) {
  // The active child first, then the one active most recently before it.
  const auto children = frame.MdiArea()->subWindowList(QMdiArea::ActivationHistoryOrder);
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    auto* window = qobject_cast<TForm1*>((*child)->widget());
    if (window != nullptr && !window->Closed()) {
      return window;
    }
  }
  return nullptr;
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
  ErrorGuard& errors = context.errors;
  const auto onSimulationWindow = [&frame, &errors](const std::function<void(TForm1&)>& act) {
    if (TForm1* window = SimulationWindowToActOn(frame)) {
      act(*window);
      return;
    }
    errors.Run(&frame, [] {
      throw std::runtime_error("Es ist kein Simulationsfenster offen; \"Neu\" öffnet eines.");
    });
  };
  frame.SetWorldFiles(
      [onSimulationWindow](const QString& path) {
        onSimulationWindow([&path](TForm1& window) { window.LoadWorld(path); });
      },
      [onSimulationWindow](const QString& path) {
        onSimulationWindow([&path](TForm1& window) { window.SaveWorldAs(path); });
      });
  frame.SetTownCommands(
      [&frame, &context] {
        TownImportDialog dialog(&frame);
        if (dialog.exec() != QDialog::Accepted) {
          return;
        }
        TForm1* window = SimulationWindowToActOn(frame);
        if (window == nullptr) {
          window = new TForm1(context);
          frame.AddChild(window)->showMaximized();
        }
        window->ImportTown(dialog.TakeImport(), dialog.HasStreets());
      },
      [onSimulationWindow](const QString& folder) {
        onSimulationWindow([&folder](TForm1& window) { window.ExportGis(folder); });
      });
  frame.SetResultHandler([onSimulationWindow](const QString& path) {
    onSimulationWindow([&path](TForm1& window) { window.OpenResult(path); });
  });
  // The tool bar's button belongs to the start-up window while it is open.
  frame.SetTimerToggle([first, onSimulationWindow] {
    if (first && !first->Closed()) {
      first->ToggleTimer();
    } else {
      onSimulationWindow([](TForm1& window) { window.ToggleTimer(); });
    }
  });
  return program;
}

}  // namespace veltmoor
