// The output models of the simulation window as the window first shows them: every label
// with its first text, the value list rows in display order, and every chart with its
// titles and (empty) series.
#pragma once

#include "chart/chart_set.h"
#include "simulation/output_models.h"

namespace veltmoor {

void CreateSimulationOutputs(Labels& labels, ValueList& valueList, chart::ChartSet& charts);

}  // namespace veltmoor
