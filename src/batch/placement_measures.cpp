#include "batch/placement_measures.h"

#include <algorithm>

#include "batch/compare_command.h"
#include "validation/three_map.h"

namespace veltmoor {

const std::vector<std::string>& PlacementMeasureNames() {
  static const std::vector<std::string> names = {
      "FoM", "QuantityDisagreement", "AllocationDisagreement", "KappaSimulation", "LeeSallee"};
  return names;
}

bool IsPlacementMeasure(const std::string& name) {
  const auto& names = PlacementMeasureNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

double PerfectPlacement(const std::string& name) {
  return name == "QuantityDisagreement" || name == "AllocationDisagreement" ? 0.0 : 1.0;
}

DevelopedMap ReadMapOnStart(const std::string& path, const std::string& label,
                            const DevelopedMap& start, const std::string& start_path,
                            const std::optional<std::vector<double>>& developed) {
  DevelopedMap map = ReadDevelopedMap(path, developed, label);
  if (map.raster && !start.georeferenced) {
    throw MapInputError("--start '" + start_path + "' has no place on the earth, so the raster " +
                        label + " '" + path +
                        "' cannot be laid on it; start from a world brought in with import");
  }
  CheckSameFrame(map.frame, label + " '" + path + "'", start.frame, "--start '" + start_path + "'");
  if (map.developed == 0) {
    throw MapInputError(label + " '" + path + "' has no developed cell");
  }
  return map;
}

PlacementMaps ReadPlacementMaps(const std::string& start, const std::string& reference,
                                const std::optional<std::vector<double>>& developed) {
  PlacementMaps maps;
  maps.original = DevelopedMapOfWorld(ReadWorldFile(start));
  CheckComparableSize(maps.original.frame, "--start");
  maps.reference = ReadMapOnStart(reference, "--reference", maps.original, start, developed);
  return maps;
}

std::map<std::string, std::optional<double>> PlacementMeasures(const Simulation& sim,
                                                               const PlacementMaps& maps) {
  const std::vector<TFineCell>& cells = sim.world.FineGrid.Cells();
  std::vector<std::uint8_t> mask(cells.size());
  std::transform(cells.begin(), cells.end(), mask.begin(), [](const TFineCell& cell) {
    return static_cast<std::uint8_t>(cell.LandUse == kLandDeveloped ? 1 : 0);
  });
  const MaskView grown{maps.original.frame.columns, maps.original.frame.rows, mask};
  const ThreeMapComparison c =
      CompareThreeMaps(ViewOf(maps.original), ViewOf(maps.reference), grown, {}, {});
  std::map<std::string, std::optional<double>> measures;
  for (const NamedFigure& figure : CellFigures(c.model.counts)) {
    if (IsPlacementMeasure(figure.name)) {
      measures[figure.name] = figure.figure.value;
    }
  }
  return measures;
}

}  // namespace veltmoor
