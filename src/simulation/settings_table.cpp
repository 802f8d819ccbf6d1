// The controls of the simulation window whose values the behaviour reads, with the texts
// and defaults the window starts with. Grouped by tab in the window's tab order.
#include <string>
#include <utility>
#include <vector>

#include "simulation/setting_rows.h"
#include "simulation/settings.h"

namespace veltmoor {

namespace {

constexpr const char* kFieldTypes = "field types";
constexpr const char* kDevelopment = "development settings";
constexpr const char* kBuilding = "building";
constexpr const char* kAnalyseGraph = "analyse graph";
constexpr const char* kAnalyseStructure = "analyse structure";
constexpr const char* kBuildingAnalysis = "building structure analysis";

// The four field types exclude each other.
constexpr const char* kFieldTypeGroup = "fieldType";

using namespace setting_rows;

// Where a control carries a second label after it (se_clusterRds: "cluster rounds",
// E_nodeThresh: "(=1 for higwayman)", SE_minDist: "(only for interlink)"), the caption is
// the label in front of it; the trailing text is fixed decoration the front end adds.
std::vector<SettingDef> SimulationTable() {
  return {
      // Setup, run control and street growth.
      Spin(setting::kCellScale, "cell size:", "24", 1, 1000, kFieldTypes),
      Check(setting::kCenterNode, "start with initial street", true, kFieldTypes),
      Radio(setting::kNetworkOnly, "network only", false, kFieldTypes, kFieldTypeGroup),
      Radio(setting::kBoom, "boom", false, kFieldTypes, kFieldTypeGroup),
      Radio(setting::kInterlink, "interlink", false, kFieldTypes, kFieldTypeGroup),
      Radio(setting::kCluster, "cluster", true, kFieldTypes, kFieldTypeGroup),
      Spin(setting::kClusterRounds, "start with", "3", 0, 10000, kFieldTypes),
      Spin(setting::kStopAt, "auto-stop at :", "500", 1, 33000, kFieldTypes),
      Edit(setting::kNoiseWeight, "noise weight :", "0,1", kFieldTypes),
      Edit(setting::kGrowThreshold, "grow thresh. :", "0,1", kFieldTypes),
      Spin(setting::kMinDistance, "min Distance:", "3", 1, 10000, kFieldTypes),
      Spin(setting::kNodeSize, "node size:", "5", 1, 1000, kFieldTypes),
      Check(setting::kNodeNumbers, "run with node numbers", false, kFieldTypes),

      // Development process and the resulting-force curve.
      Spin(setting::kGrowthRate, "growth rate :", "5", 1, 10000, kDevelopment),
      Spin(setting::kStreetStep, "max street step:", "3", 1, 10000, kDevelopment),
      Edit(setting::kCentripetalWeight, "centripetal weight (w1) :", "2,0", kDevelopment),
      Edit(setting::kCentrifugalWeight, "centrifugal weight (w2) :", "1,0", kDevelopment),
      Edit(setting::kCentripetalScale, "x  scale (A):", "1,7", kDevelopment),
      Edit(setting::kCentrifugalScale, "x  scale (B):", "2,0", kDevelopment),
      Edit(setting::kRandomScale, "random scale :", "1,0", kDevelopment),
      Edit(setting::kDevelopmentThreshold, "development threshold :", "0,1", kDevelopment),
      Check(setting::kPlotRandom, "show in plot", false, kDevelopment),

      // Building rules.
      Toggle(setting::kAutoBuild, "auto build", true, kBuilding),
      Spin(setting::kGenA, "gen A:", "7", 0, 8, kBuilding),
      Spin(setting::kGenB, "gen B:", "0", 0, 8, kBuilding),
      Spin(setting::kGenC, "gen C:", "1", 0, 8, kBuilding),
      Spin(setting::kGenD, "gen D:", "3", 0, 8, kBuilding),

      // Node colouring by the network measures.
      Track(setting::kColorAdjust, "adjust:", "5", 0, 10, kAnalyseGraph),
      Spin(setting::kLocalRadius, "radius:", "4", 1, 1000, kAnalyseGraph),
      Check(setting::kUseLocalMeasure, "use local measure:", true, kAnalyseGraph),

      // Fractal analyses and the map layers.
      Check(setting::kCenterGravity, "center gravity", false, kAnalyseStructure),
      Check(setting::kShowAgentLayer, "show agent layer", true, kAnalyseStructure),
      Check(setting::kShowCellLayer, "show cell layer", true, kAnalyseStructure),

      // The building-rule study.
      Check(setting::kRule8114, "activate rule 1: 8114", true, kBuildingAnalysis),
      Check(setting::kRule7013, "activate rule 2: 7013", true, kBuildingAnalysis),
      Check(setting::kRule5012, "activate rule 3: 5012", true, kBuildingAnalysis),
      Check(setting::kRule3011, "activate rule 4: 3011", true, kBuildingAnalysis),
      Check(setting::kRule3010, "activate rule 5: 3010", true, kBuildingAnalysis),
      Spin(setting::kRoundsPerRule, "rounds per rule", "10", 1, 1000, kBuildingAnalysis),
      Spin(setting::kStepsPerRound, "steps per round", "500", 1, 1000, kBuildingAnalysis),
  };
}

}  // namespace

const SettingsRegistry& SimulationSettings() {
  static const SettingsRegistry registry(SimulationTable());
  return registry;
}

}  // namespace veltmoor
