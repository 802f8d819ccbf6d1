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
      Spin("SE_cellScale", "cell size:", "24", 1, 1000, kFieldTypes),
      Check("cb_centerNode", "start with initial street", true, kFieldTypes),
      Radio("RB_netOnly", "network only", false, kFieldTypes, kFieldTypeGroup),
      Radio("RB_boom", "boom", false, kFieldTypes, kFieldTypeGroup),
      Radio("RB_interlink", "interlink", false, kFieldTypes, kFieldTypeGroup),
      Radio("RB_cluster", "cluster", true, kFieldTypes, kFieldTypeGroup),
      Spin("se_clusterRds", "start with", "3", 0, 10000, kFieldTypes),
      Spin("SE_stopAt", "auto-stop at :", "500", 1, 33000, kFieldTypes),
      Edit("E_fieldW", "noise weight :", "0,1", kFieldTypes),
      Edit("E_nodeThresh", "grow thresh. :", "0,1", kFieldTypes),
      Spin("SE_minDist", "min Distance:", "3", 1, 10000, kFieldTypes),
      Spin("SE_nSz", "node size:", "5", 1, 1000, kFieldTypes),
      Check("CB_nodeLbl", "run with node numbers", false, kFieldTypes),

      // Development process and the resulting-force curve.
      Spin("SE_HWM_gRate", "growth rate :", "5", 1, 10000, kDevelopment),
      Spin("SE_strStep", "max street step:", "3", 1, 10000, kDevelopment),
      Edit("E_centriPe", "centripetal weight (w1) :", "2,0", kDevelopment),
      Edit("E_centriFu", "centrifugal weight (w2) :", "1,0", kDevelopment),
      Edit("E_peScale", "x  scale (A):", "1,7", kDevelopment),
      Edit("E_fuScale", "x  scale (B):", "2,0", kDevelopment),
      Edit("E_rndScale", "random scale :", "1,0", kDevelopment),
      Edit("E_devThresh", "development threshold :", "0,1", kDevelopment),
      Check("cb_plotRnd", "show in plot", false, kDevelopment),

      // Building rules.
      Toggle("b_autoBuild", "auto build", true, kBuilding),
      Spin("SE_genA", "gen A:", "7", 0, 8, kBuilding),
      Spin("SE_genB", "gen B:", "0", 0, 8, kBuilding),
      Spin("SE_genC", "gen C:", "1", 0, 8, kBuilding),
      Spin("SE_genD", "gen D:", "3", 0, 8, kBuilding),

      // Node colouring by the network measures.
      Track("TB_color", "adjust:", "5", 0, 10, kAnalyseGraph),
      Spin("SE_locRad", "radius:", "4", 1, 1000, kAnalyseGraph),
      Check("CB_locMeas", "use local measure:", true, kAnalyseGraph),

      // Fractal analyses and the map layers.
      Check("cb_centerGrav", "center gravity", false, kAnalyseStructure),
      Check("CB_agLayer", "show agent layer", true, kAnalyseStructure),
      Check("CB_cellLayer", "show cell layer", true, kAnalyseStructure),

      // The building-rule study.
      Check("cb_r8114", "activate rule 1: 8114", true, kBuildingAnalysis),
      Check("cb_r7013", "activate rule 2: 7013", true, kBuildingAnalysis),
      Check("cb_r5012", "activate rule 3: 5012", true, kBuildingAnalysis),
      Check("cb_r3011", "activate rule 4: 3011", true, kBuildingAnalysis),
      Check("cb_r3010", "activate rule 5: 3010", true, kBuildingAnalysis),
      Spin("SE_rdsPerVal", "rounds per rule", "10", 1, 1000, kBuildingAnalysis),
      Spin("SE_stepsPerRd", "steps per round", "500", 1, 1000, kBuildingAnalysis),
  };
}

}  // namespace

const SettingsRegistry& SimulationSettings() {
  static const SettingsRegistry registry(SimulationTable());
  return registry;
}

}  // namespace veltmoor
