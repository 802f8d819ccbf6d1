// The program-wide state of the desktop program: one world shared by every window, and the
// services it draws on.
#pragma once

#include <filesystem>
#include <memory>

#include "analysis/periodic_analyses.h"
#include "render/qt_canvas.h"
#include "simulation/random_source.h"
#include "simulation/settings.h"
#include "simulation/simulation.h"
#include "ui/error_guard.h"
#include "views/map_sink.h"

namespace veltmoor {

class TMainForm;

struct AppContext {
  AppContext() : router(defaults), sim(router, random, canvases) {
    InstallPeriodicAnalyses(sim);
    InstallMapSink(sim);
  }
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

  MapSettings defaults;  // read until a window routes its own controls
  SettingsRouter router;
  RandomSource random;
  QtCanvasFactory canvases;
  Simulation sim;
  TMainForm* frame = nullptr;
  ErrorGuard errors;
  // The folder under which the studies' "pictures" and "data" folders lie; empty means
  // beside the executable (tests keep their files in a scratch folder). A study window
  // reads it when it is created.
  std::filesystem::path study_files_folder;
  // Set while a worker thread reads the world (saving it): timers leave it alone.
  bool world_busy = false;
};

// Marks the world busy for a scope.
class WorldBusy {
 public:
  explicit WorldBusy(AppContext& context) : context_(context) { context_.world_busy = true; }
  ~WorldBusy() { context_.world_busy = false; }
  WorldBusy(const WorldBusy&) = delete;
  WorldBusy& operator=(const WorldBusy&) = delete;

 private:
  AppContext& context_;
};

}  // namespace veltmoor
