// The street statistics of the shown town (OSMnx's basic_stats and more) as a small table
// on the "analyse graph" tab, computed when asked.
#pragma once

#include <QWidget>
#include <optional>

#include "geo/world_file.h"
#include "simulation/simulation.h"

class QTableWidget;

namespace veltmoor {

class StreetStatsTable : public QWidget {
 public:
  // `georeference` is read at each press: the world loaded from a file, or none.
  StreetStatsTable(QWidget* parent, const Simulation& sim,
                   const std::optional<Georeference>& georeference);

  // Recomputes the statistics of the world as it is now and fills the table.
  void Refresh();

 private:
  const Simulation& sim_;
  const std::optional<Georeference>& georeference_;
  QTableWidget* table_ = nullptr;
};

}  // namespace veltmoor
