#include "ui/desktop_program.h"

#include <QPointer>

#include "ui/app_context.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"
#include "ui/study_placeholder.h"

namespace veltmoor {

DesktopProgram StartDesktopProgram(bool show) {
  DesktopProgram program;
  program.context = std::make_unique<AppContext>();
  AppContext& context = *program.context;
  program.frame = std::make_unique<TMainForm>(context);
  TMainForm& frame = *program.frame;
  if (show) {
    frame.showMaximized();
  }

  frame.RegisterWindowClass("TForm1", [&context] { return new TForm1(context); });
  frame.RegisterWindowClass("TAnaDev", [] {
    return CreateStudyPlaceholder("TAnaDev", QStringLiteral("AnaDevPara"));
  });
  frame.RegisterWindowClass("TanaMinDist", [] {
    return CreateStudyPlaceholder("TanaMinDist", QStringLiteral("analyse min distance"));
  });
  frame.RegisterWindowClass("Tana_clusterGrow", [] {
    return CreateStudyPlaceholder("Tana_clusterGrow", QStringLiteral("analyse cluster growth"));
  });

  auto* simulation = new TForm1(context);
  frame.AddChild(simulation)->showMaximized();
  program.simulation = simulation;
  QPointer<TForm1> first(simulation);
  frame.SetTimerToggle([first] {
    if (first) {
      first->ToggleTimer();
    }
  });
  return program;
}

}  // namespace veltmoor
