// The simulation window's state without its widgets: the world, the output models it
// writes, and the services its operations read (settings, random numbers, canvases).
#pragma once

#include <functional>
#include <memory>

#include "chart/chart_set.h"
#include "display/canvas.h"
#include "simulation/connectivity_table_model.h"
#include "simulation/force_terms.h"
#include "simulation/growth_sink.h"
#include "simulation/map_layers.h"
#include "simulation/output_models.h"
#include "simulation/random_source.h"
#include "simulation/row_splitter.h"
#include "simulation/settings.h"
#include "simulation/world.h"

namespace veltmoor {

struct Simulation {
  Simulation(const SettingsSource& settings_source, RandomSource& random_source,
             CanvasFactory& canvas_factory);

  World world;
  // What the map panel shows of the world; its pictures come and go with the world.
  MapLayers map;

  // Output models of the simulation window.
  Labels labels;
  ValueList valueList;
  chart::ChartSet charts;
  // The dissimilarity grid of the connectivity table window.
  TextGrid DissimiGrid;
  // The connectivity table: hop distances and node measures.
  ConnectivityTableModel StringGrid1;
  // The colour legend of the node measures, 35 x 161 pixels.
  std::unique_ptr<Canvas> ImageGradient;

  const SettingsSource& settings;
  RandomSource& random;
  CanvasFactory& canvases;

  // The noise-free terms of the resulting force, kept from one scoring of the candidates
  // to the next.
  ForceTermsCache forceTerms;

  // The helper thread the potential passes share their rows with; it lives and ends with
  // the simulation.
  RowSplitter rows;

  // Where the growth rules report what they changed: nowhere until the builder installs a
  // sink (the views' InstallMapSink paints the map and writes the labels and charts).
  std::unique_ptr<GrowthSink> sink = std::make_unique<NullGrowthSink>();
  // What the growth rules touch of this simulation.
  GrowthContext Growth();

  // Whether the run's step timer is on. Operations switch it off; the desktop program maps
  // it onto Timer1 and veltmoor-batch loops while it is on.
  bool TimerEnabled = false;

  // Told after each source of ComputeAllPaths how far it has got, 0..99, always on the
  // thread that called it; the desktop program moves its progress bar, veltmoor-batch
  // prints to stderr.
  std::function<void(int)> PathProgress;
  // Asked before a study's path computation fills the connectivity table, so the desktop
  // program can open a table window again when the user has closed it.
  std::function<void()> TableWindowNeeded;
  // The structure measures a time step takes every tenth step once land develops. The model
  // knows no analysis: whoever builds the simulation installs them (InstallPeriodicAnalyses),
  // as a data collector is handed to a model; without it the step skips them.
  std::function<void(Simulation&)> PeriodicAnalyses;
};

}  // namespace veltmoor
