// Start-up of the desktop program: the frame, the about dialog, the simulation window and
// the connectivity table window, in that order.
#pragma once

#include <memory>

namespace veltmoor {

struct AppContext;
class TMainForm;
class TForm1;

struct DesktopProgram {
  DesktopProgram();
  DesktopProgram(DesktopProgram&&) noexcept;
  DesktopProgram& operator=(DesktopProgram&&) noexcept;
  ~DesktopProgram();

  std::unique_ptr<AppContext> context;
  std::unique_ptr<TMainForm> frame;
  TForm1* simulation = nullptr;  // the start-up simulation window
};

// The simulation window the world-file commands act on: the active one, else the one
// active last; nullptr when none is open.
TForm1* SimulationWindowToActOn(const TMainForm& frame);

// Builds the program's windows; `show` maximises and shows the frame.
DesktopProgram StartDesktopProgram(bool show);

}  // namespace veltmoor
