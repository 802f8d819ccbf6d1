// The output models of the simulation window as the window first shows them: every label
// with its first text, the value list rows in display order, and every chart with its
// titles and (empty) series.
#pragma once

#include "chart/chart_set.h"
#include "simulation/output_models.h"

namespace veltmoor {

// The labels of the simulation window.
namespace label {
inline constexpr LabelName kNodeCount{"Lbl_nrNodes"};
inline constexpr LabelName kEdgeCount{"lbl_nrEdges"};
inline constexpr LabelName kMeanLength{"Lbl_ml"};
inline constexpr LabelName kTimeStep{"lbl_actTime"};
// The resulting force's weights as ratios: w1 : w2, A : B and w2 : w1.
inline constexpr LabelName kWeightRatio{"lbl_rat1"};
inline constexpr LabelName kScaleRatio{"lbl_rat2"};
inline constexpr LabelName kInverseWeightRatio{"lbl_rat3"};
// Shares of build-on cells with more than one, two and three build-on neighbours.
inline constexpr LabelName kMoreThanOneNeighbour{"lbl_grOne"};
inline constexpr LabelName kMoreThanTwoNeighbours{"lbl_grTwo"};
inline constexpr LabelName kMoreThanThreeNeighbours{"lbl_grThree"};
inline constexpr LabelName kColourScale{"Lbl_colScal"};
inline constexpr LabelName kColourHalf{"Lbl_half"};
inline constexpr LabelName kPathProgress{"lbl_calcer"};
}  // namespace label

// The value-list rows the analyses write.
namespace value_key {
inline constexpr ValueKey kGridDimension{"D_grid"};
inline constexpr ValueKey kGridSlope{"slope_grid"};
inline constexpr ValueKey kRadialDimension{"D_rad"};
inline constexpr ValueKey kRadialSlope{"slope_rad"};
inline constexpr ValueKey kNodeDimension{"D_nodes"};
inline constexpr ValueKey kNodeSlope{"slope_nodes"};
inline constexpr ValueKey kEdgeDimension{"D_edge"};
inline constexpr ValueKey kEdgeSlope{"slope_edge"};
inline constexpr ValueKey kSegregation{"IS_developed_cells"};
inline constexpr ValueKey kRankSlope{"slope_rank"};
}  // namespace value_key

// Registers the window's labels with their first texts, adds the value-list rows and
// creates the charts.
void CreateSimulationOutputs(Labels& labels, ValueList& valueList, chart::ChartSet& charts);

}  // namespace veltmoor
