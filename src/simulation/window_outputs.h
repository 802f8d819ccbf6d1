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

// The charts of the simulation window.
namespace chart_name {
inline constexpr chart::ChartName kRadialFractal{"Chart_fractal"};
inline constexpr chart::ChartName kClusterSizes{"Ch_clusterSize"};
inline constexpr chart::ChartName kRankSize{"Chart_rank"};
inline constexpr chart::ChartName kDevelopedDensity{"Chart_denseA"};
inline constexpr chart::ChartName kStreetDensity{"Chart_denseD"};
inline constexpr chart::ChartName kPotentialConnectivity{"Chart_ConnPot"};
inline constexpr chart::ChartName kPotentialDensity{"Chart_PotDens"};
inline constexpr chart::ChartName kEdgesPerNode{"Chart_nodes"};
inline constexpr chart::ChartName kGridFractal{"Chart_FractGrid"};
inline constexpr chart::ChartName kSegregation{"Chart_IS"};
inline constexpr chart::ChartName kFreeNeighbours{"Chart_nNb"};
inline constexpr chart::ChartName kResultingForce{"Chart_resForce"};
inline constexpr chart::ChartName kSubTypeRatios{"Chart1"};
inline constexpr chart::ChartName kMainTypeRatios{"Chart2"};
inline constexpr chart::ChartName kBuildingRules{"Chart_buildAna"};
}  // namespace chart_name

// The series of the simulation window's charts; a name is unique across the window.
namespace series_name {
inline constexpr chart::SeriesName kEdgeFractal{"ser_fract"};
inline constexpr chart::SeriesName kEdgeFractalTrend{"ser_fractTrend"};
inline constexpr chart::SeriesName kEdgeFractalCorrelation{"ser_fractCorr1"};
inline constexpr chart::SeriesName kNodeFractal{"ser_f2"};
inline constexpr chart::SeriesName kNodeFractalTrend{"ser_ft2"};
inline constexpr chart::SeriesName kNodeFractalCorrelation{"ser_fractCorr2"};
inline constexpr chart::SeriesName kDevelopedFractal{"ser_devFract"};
inline constexpr chart::SeriesName kDevelopedFractalTrend{"ser_devFractTrend"};
inline constexpr chart::SeriesName kDevelopedFractalCorrelation{"ser_devFractCorr"};
inline constexpr chart::SeriesName kClusterSizes{"bar_clusterSize"};
inline constexpr chart::SeriesName kRankSize{"ser_rank"};
inline constexpr chart::SeriesName kRankSizeTrend{"ser_rankTrend"};
inline constexpr chart::SeriesName kRankSizeCorrelation{"ser_rankCorr"};
inline constexpr chart::SeriesName kDevelopedDensity{"ser_devDense"};
inline constexpr chart::SeriesName kBuildDensity{"ser_buildDense"};
inline constexpr chart::SeriesName kStreetDensity{"ser_streetDense"};
inline constexpr chart::SeriesName kPotentialConnectivity{"ser_ConnPot"};
inline constexpr chart::SeriesName kPotentialConnectivityCorrelation{"ser_ConnPotCorr"};
inline constexpr chart::SeriesName kPotentialDensity{"ser_PotDense"};
inline constexpr chart::SeriesName kPotentialDensityCorrelation{"ser_PotDenseCorr"};
inline constexpr chart::SeriesName kEdgesPerNode{"Ser_Edges"};
inline constexpr chart::SeriesName kGridFractal{"ser_DGrid"};
inline constexpr chart::SeriesName kGridFractalTrend{"ser_DGrid_Slope"};
inline constexpr chart::SeriesName kGridFractalCorrelation{"ser_DGrid_Corr"};
inline constexpr chart::SeriesName kSegregationByStep{"ser_IS"};
inline constexpr chart::SeriesName kRankSizeByStep{"ser_RS"};
inline constexpr chart::SeriesName kFreeNeighbours{"ser_freeNb"};
inline constexpr chart::SeriesName kResultingForce{"ser_custFkt"};
inline constexpr chart::SeriesName kBuildShare{"ser_blue_all"};
inline constexpr chart::SeriesName kFreeShare{"ser_green_all"};
inline constexpr chart::SeriesName kBuildFreeRatio{"ser_blue_green"};
inline constexpr chart::SeriesName kEmptyShare{"ser_white_all"};
inline constexpr chart::SeriesName kStreetShare{"ser_street_all"};
inline constexpr chart::SeriesName kDevelopedShare{"ser_dev_all"};
inline constexpr chart::SeriesName kRuleBuildFreeRatio{"ser_ratBlueGreen"};
inline constexpr chart::SeriesName kRuleBuildFreeRatioTrend{"trend_ratBlueGreen"};
inline constexpr chart::SeriesName kRuleBuildFreeRatioAverage{"avg_ratBlueGreen"};
inline constexpr chart::SeriesName kRuleMoreThanThree{"ser_greaterThree"};
inline constexpr chart::SeriesName kRuleMoreThanThreeTrend{"trend_greaterThree"};
inline constexpr chart::SeriesName kRuleMoreThanThreeAverage{"avg_greaterThree"};
inline constexpr chart::SeriesName kRuleMoreThanTwo{"ser_greaterTwo"};
inline constexpr chart::SeriesName kRuleMoreThanTwoTrend{"trend_greaterTwo"};
inline constexpr chart::SeriesName kRuleMoreThanTwoAverage{"avg_greaterTwo"};
inline constexpr chart::SeriesName kRuleMeanLength{"ser_bML"};
inline constexpr chart::SeriesName kRuleMeanLengthTrend{"trend_bML"};
inline constexpr chart::SeriesName kRuleMeanLengthAverage{"avg_bML"};
inline constexpr chart::SeriesName kRuleRadialDimension{"ser_D_rad"};
inline constexpr chart::SeriesName kRuleRadialDimensionTrend{"trend_D_rad"};
inline constexpr chart::SeriesName kRuleRadialDimensionAverage{"avg_D_rad"};
}  // namespace series_name

// Registers the window's labels with their first texts, adds the value-list rows and
// creates the charts.
void CreateSimulationOutputs(Labels& labels, ValueList& valueList, chart::ChartSet& charts);

}  // namespace veltmoor
