#include "batch/compare_measures.h"

#include <cmath>
#include <sstream>

#include "geo/map_scale.h"
#include "studies/measurements.h"

namespace veltmoor {

namespace {

using nlohmann::json;

// Why a landscape metric of `metrics` is null, in the words a reader can act on.
std::string LandscapeWhy(const std::string& name, const json& metrics) {
  const std::uint64_t patches = metrics.value("NP", std::uint64_t{0});
  if (patches == 0) {
    return "no cell is developed";
  }
  if (name == "PAFRAC" && patches < 10) {
    return "fewer than 10 patches";
  }
  if (name == "CONTAG") {
    return "every cell is developed: one class only";
  }
  if (metrics["CellMetres"].is_null()) {
    return "no metric scale: " + metrics.value("Units", std::string());
  }
  if (name == "ENN_MN" && patches < 2) {
    return "one patch has no neighbour";
  }
  return "undefined for these patches";
}

std::string StreetWhy(const std::string& name, const json& stats) {
  if (stats.value("n", std::uint64_t{0}) == 0) {
    return "no street node";
  }
  if (stats["Area_m2"].is_null() &&
      (name.find("length") != std::string::npos || name.find("density") != std::string::npos ||
       name.starts_with("detour_") || name == "circuity_avg" || name == "orientation_entropy")) {
    return "no metric scale: " + stats.value("Units", std::string());
  }
  if (stats.value("m", std::uint64_t{0}) == 0) {
    return "no street";
  }
  if (name.starts_with("detour_")) {
    return "no pair of sampled places is joined by streets";
  }
  return "undefined for this network";
}

std::optional<double> NumberOf(const json& value) {
  if (!value.is_number()) {
    return std::nullopt;
  }
  const auto number = value.get<double>();
  return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
}

// One measure of both maps and their difference.
template <typename Why>
json Pair(const std::string& name, const json& simulated, const json& reference, Why why) {
  json pair = json::object();
  const std::optional<double> s = NumberOf(simulated.value(name, json()));
  const std::optional<double> r = NumberOf(reference.value(name, json()));
  const auto put = [&](const std::string& key, const std::optional<double>& value,
                       const std::string& reason) {
    if (value) {
      pair[key] = *value;
    } else {
      pair[key] = nullptr;
      pair[key + "Why"] = reason;
    }
  };
  put("Simulated", s, s ? std::string() : why(name, simulated));
  put("Reference", r, r ? std::string() : why(name, reference));
  put("Difference", s && r ? std::optional<double>(*s - *r) : std::nullopt,
      std::string("undefined for ") + (s ? "the reference" : "the simulated map"));
  return pair;
}

template <typename Why>
json Group(const std::vector<std::string>& names, const json& simulated, const json& reference,
           Why why) {
  json group = json::object();
  group["Units"] = {{"Simulated", simulated.value("Units", std::string())},
                    {"Reference", reference.value("Units", std::string())}};
  for (const std::string& name : names) {
    group[name] = Pair(name, simulated, reference, why);
  }
  return group;
}

std::string CsvNumber(const json& value) {
  return value.is_number() ? ShortestText(value.get<double>()) : std::string();
}

}  // namespace

MapScale ScaleOfMap(const DevelopedMap& map, const std::optional<WorldDocument>& world) {
  if (world) {
    return ScaleOfWorld(world->cell_size, world->height, world->georeference);
  }
  const GridFrame& f = map.frame;
  const LinearUnits units = LinearUnitsOf(f.crs_wkt);
  MapScale scale;
  scale.units = units.units;
  scale.frame = {f.origin_x, f.origin_y, f.cell_width};
  if (std::abs(f.cell_width) != std::abs(f.cell_height)) {
    scale.units += "; the cells are not square, so no lengths or areas";
  } else if (units.metres_per_unit) {
    scale.metres_per_fine_cell = std::abs(f.cell_width) * *units.metres_per_unit;
  }
  return scale;
}

MapMeasures MeasureMap(const MeasuredMap& map) {
  MapMeasures measures;
  measures.land = MaskLandscapeJson(map.land, map.scale, LandscapeRules());
  if (map.streets) {
    measures.streets = NetworkMeasuresJson(*map.streets, map.fine_cells, map.scale, DetourSample());
  }
  return measures;
}

json SideBySideJson(const MapMeasures& simulated, const MapMeasures& reference) {
  json out;
  out["Landscape"] = Group(LandscapeMetricNames(), simulated.land, reference.land, LandscapeWhy);
  out["Landscape"]["Rules"] = simulated.land["Rules"];
  if (simulated.streets && reference.streets) {
    out["StreetNetwork"] =
        Group(StreetStatisticNames(), *simulated.streets, *reference.streets, StreetWhy);
    out["StreetNetwork"]["DetourSample"] = (*simulated.streets)["DetourSample"];
  }
  return out;
}

std::string SideBySideCsv(const json& side_by_side) {
  std::ostringstream csv;
  csv << "group,measure,simulated,reference,difference\n";
  const std::pair<const char*, const std::vector<std::string>*> groups[] = {
      {"Landscape", &LandscapeMetricNames()}, {"StreetNetwork", &StreetStatisticNames()}};
  for (const auto& [group, names] : groups) {
    if (!side_by_side.contains(group)) {
      continue;
    }
    for (const std::string& name : *names) {
      const json& pair = side_by_side[group][name];
      csv << group << ',' << name << ',' << CsvNumber(pair["Simulated"]) << ','
          << CsvNumber(pair["Reference"]) << ',' << CsvNumber(pair["Difference"]) << '\n';
    }
  }
  return csv.str();
}

}  // namespace veltmoor
