#include "batch/batch_simulation.h"

#include "analysis/periodic_analyses.h"
#include "display/null_canvas.h"
#include "render/map_picture.h"
#include "render/qt_canvas.h"
#include "simulation/setup.h"
#include "views/map_sink.h"

namespace veltmoor {

BatchSimulation::BatchSimulation(const WorldOptions& options)
    : random(options.seed ? RandomSource(*options.seed) : RandomSource()) {
  ApplySettingOverrides(settings, options.sets);
  if (options.picture &&
      !DrawsBoundedPicture(options.full_picture, options.width, options.height)) {
    canvases = std::make_unique<QtCanvasFactory>();
  } else {
    canvases = std::make_unique<NullCanvasFactory>();
  }
  sim = std::make_unique<Simulation>(settings, random, *canvases);
  InstallPeriodicAnalyses(*sim);
  InstallMapSink(*sim);
  sim->map.PanelWidth = options.width;
  sim->map.PanelHeight = options.height;
}

bool DrawsBoundedPicture(bool full_picture, int width, int height) {
  return !full_picture && MapPictureSize(width, height) != QSize(width, height);
}

std::uint64_t WorldBytesOf(const BatchSimulation& batch) {
  return WorldBytes(batch.sim->map.PanelWidth, batch.sim->map.PanelHeight,
                    batch.settings.Int(setting::kCellScale));
}

}  // namespace veltmoor
