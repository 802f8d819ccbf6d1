// What the growth rules touch, handed to them in one piece: the world they change, the
// settings and random numbers they read, and a sink for what they report. The rules never
// see the window's outputs or the map pictures; whoever builds the simulation decides where
// the reports go (the views install a sink that paints and writes the labels).
#pragma once

#include <cstddef>
#include <string>

#include "chart/chart.h"
#include "simulation/output_models.h"

namespace veltmoor {

struct World;
struct TCell;
struct TFineCell;
class TAgent;
class SettingsSource;
class RandomSource;
class ForceTermsCache;
class RowSplitter;

// Told of every change a rule makes that someone may want to show. The world is already
// changed when a report arrives.
class GrowthSink {
 public:
  GrowthSink() = default;
  GrowthSink(const GrowthSink&) = delete;
  GrowthSink& operator=(const GrowthSink&) = delete;
  GrowthSink(GrowthSink&&) = delete;
  GrowthSink& operator=(GrowthSink&&) = delete;
  virtual ~GrowthSink() = default;

  // A cell's or fine cell's Color changed.
  virtual void CellChanged(const World& world, const TCell& cell) = 0;
  virtual void CellChanged(const World& world, const TFineCell& fine) = 0;
  // A node was appended as NodeList[index]; `numbered` when its number is to be shown.
  virtual void NodeCreated(const World& world, const TAgent& node, std::size_t index,
                           bool numbered) = 0;
  // Segments were added to the network.
  virtual void StreetsChanged(const World& world) = 0;
  virtual void Label(LabelName name, std::string text) = 0;
  virtual void ClearSeries(chart::SeriesName series) = 0;
  virtual void AddPoint(chart::SeriesName series, double x, double y) = 0;
};

// Forgets every report: a world grown for its numbers alone.
class NullGrowthSink final : public GrowthSink {
 public:
  void CellChanged(const World& /*world*/, const TCell& /*cell*/) override {}
  void CellChanged(const World& /*world*/, const TFineCell& /*fine*/) override {}
  void NodeCreated(const World& /*world*/, const TAgent& /*node*/, std::size_t /*index*/,
                   bool /*numbered*/) override {}
  void StreetsChanged(const World& /*world*/) override {}
  void Label(LabelName /*name*/, std::string /*text*/) override {}
  void ClearSeries(chart::SeriesName /*series*/) override {}
  void AddPoint(chart::SeriesName /*series*/, double /*x*/, double /*y*/) override {}
};

// The references stay owned by the simulation; a context lives no longer than one call.
struct GrowthContext {
  World& world;
  const SettingsSource& settings;
  RandomSource& random;
  GrowthSink& sink;
  // The noise-free force terms, kept from one scoring of the candidates to the next.
  ForceTermsCache& forceTerms;
  // The helper thread the potential passes share rows with; null runs them on the caller.
  RowSplitter* rows;
  // The step timer: a rule that finds nothing more to do switches it off.
  bool& running;
};

}  // namespace veltmoor
