#include "analysis/town_measures.h"

#include <algorithm>

namespace veltmoor {

namespace {

using nlohmann::json;

json Number(const std::optional<double>& value) {
  return value ? json(*value) : json();
}

}  // namespace

const std::vector<std::string>& StreetStatisticNames() {
  static const std::vector<std::string> names = {"n",
                                                 "m",
                                                 "k_avg",
                                                 "streets_per_node_avg",
                                                 "intersection_count",
                                                 "dead_end_count",
                                                 "street_length_total",
                                                 "street_length_avg",
                                                 "street_segment_count",
                                                 "edge_length_total",
                                                 "edge_length_avg",
                                                 "circuity_avg",
                                                 "self_loop_proportion",
                                                 "orientation_entropy",
                                                 "node_density_km",
                                                 "intersection_density_km",
                                                 "edge_density_km",
                                                 "street_density_km",
                                                 "street_segment_density_km",
                                                 "detour_pairs",
                                                 "detour_mean",
                                                 "detour_q1",
                                                 "detour_median",
                                                 "detour_q3"};
  return names;
}

namespace {

json CountsJson(const std::vector<std::uint64_t>& counts, std::uint64_t n, bool proportions) {
  json object = json::object();
  for (std::size_t k = 0; k < counts.size(); ++k) {
    object[std::to_string(k)] = proportions
                                    ? json(static_cast<double>(counts[k]) / static_cast<double>(n))
                                    : json(counts[k]);
  }
  return object;
}

// The statistics that are lengths, densities or detour ratios.
void LengthsJson(const StreetNetworkStats& s, json& out) {
  out["street_length_total"] = s.street_length_total;
  out["street_length_avg"] = Number(s.street_length_avg);
  out["edge_length_total"] = s.edge_length_total;
  out["edge_length_avg"] = Number(s.edge_length_avg);
  out["circuity_avg"] = Number(s.circuity_avg);
  out["node_density_km"] = Number(s.node_density_km);
  out["intersection_density_km"] = Number(s.intersection_density_km);
  out["edge_density_km"] = Number(s.edge_density_km);
  out["street_density_km"] = Number(s.street_density_km);
  out["street_segment_density_km"] = Number(s.street_segment_density_km);
  out["detour_pairs"] = s.detour_pairs;
  out["detour_mean"] = Number(s.detour_mean);
  out["detour_q1"] = Number(s.detour_q1);
  out["detour_median"] = Number(s.detour_median);
  out["detour_q3"] = Number(s.detour_q3);
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() < 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

MapScale SyntheticScale(int cell_size, int height) {
  MapScale scale;
  scale.metres_per_fine_cell = cell_size / 3.0;
  scale.frame = {0.0, static_cast<double>(height), 1.0};
  scale.units = "a synthetic world: 1 pixel counts as 1 metre";
  return scale;
}

json LandscapeJson(const LandscapeMetrics& m, const LandscapeRules& rules, const MapScale& scale) {
  json out;
  out["Rules"] = {{"PatchRule", rules.patch_rule},
                  {"BoundaryEdge", rules.boundary_edge},
                  {"StreetsDeveloped", rules.streets_developed}};
  out["Units"] = scale.units;
  out["CellMetres"] = Number(scale.metres_per_fine_cell);
  for (const std::string& name : LandscapeMetricNames()) {
    out[name] = Number(LandscapeMetric(m, name));
  }
  out["NP"] = m.NP;
  return out;
}

json StreetNetworkJson(const StreetNetworkStats& s, const DetourSample& sample,
                       const MapScale& scale) {
  json out;
  out["Units"] = scale.units;
  out["DetourSample"] = {{"Seed", sample.seed},
                         {"Sources", sample.sources},
                         {"TargetsPerSource", sample.targets_per_source}};
  out["n"] = s.n;
  out["m"] = s.m;
  out["k_avg"] = Number(s.k_avg);
  out["streets_per_node_avg"] = Number(s.streets_per_node_avg);
  out["streets_per_node_counts"] = CountsJson(s.streets_per_node_counts, s.n, false);
  out["streets_per_node_proportions"] = CountsJson(s.streets_per_node_counts, s.n, true);
  out["intersection_count"] = s.intersection_count;
  out["dead_end_count"] = s.dead_end_count;
  out["street_segment_count"] = s.street_segment_count;
  out["self_loop_proportion"] = Number(s.self_loop_proportion);
  out["orientation_entropy"] = Number(s.orientation_entropy);
  LengthsJson(s, out);
  if (!scale.metres_per_fine_cell) {
    for (auto& [key, value] : out.items()) {
      if (key.find("length") != std::string::npos || key.find("density") != std::string::npos ||
          key.starts_with("detour_") || key == "circuity_avg" || key == "orientation_entropy") {
        value = key == "detour_pairs" ? json(0) : json();
      }
    }
  }
  return out;
}

json MaskLandscapeJson(const LandscapeMask& mask, const MapScale& scale,
                       const LandscapeRules& rules) {
  return LandscapeJson(ComputeLandscapeMetrics(mask, scale.metres_per_fine_cell, rules), rules,
                       scale);
}

json NetworkMeasuresJson(const StreetNetwork& network, std::size_t fine_cells,
                         const MapScale& scale, const DetourSample& sample) {
  std::optional<double> area;
  if (scale.metres_per_fine_cell) {
    area =
        static_cast<double>(fine_cells) * *scale.metres_per_fine_cell * *scale.metres_per_fine_cell;
  }
  json out = StreetNetworkJson(ComputeStreetNetworkStats(network, area, sample), sample, scale);
  out["Area_m2"] = area ? json(*area) : json();
  return out;
}

json TownMeasuresJson(const World& world, const MapScale& scale, const LandscapeRules& rules,
                      const DetourSample& sample) {
  json out;
  out["Landscape"] =
      MaskLandscapeJson(DevelopedMask(world.FineGrid, rules.streets_developed), scale, rules);
  out["StreetNetwork"] = NetworkMeasuresJson(NetworkOfWorld(world, scale.frame),
                                             world.FineGrid.Cells().size(), scale, sample);
  return out;
}

const std::vector<std::string>& TownMeasureNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const std::string& name : LandscapeMetricNames()) {
      list.push_back("Landscape." + name);
    }
    for (const std::string& name : StreetStatisticNames()) {
      list.push_back("StreetNetwork." + name);
    }
    return list;
  }();
  return names;
}

bool IsTownMeasureName(std::string_view name) {
  const auto& names = TownMeasureNames();
  if (std::find(names.begin(), names.end(), name) != names.end()) {
    return true;
  }
  for (const std::string_view group :
       {"StreetNetwork.streets_per_node_counts.", "StreetNetwork.streets_per_node_proportions."}) {
    if (name.starts_with(group) && AllDigits(name.substr(group.size()))) {
      return true;
    }
  }
  return false;
}

std::optional<double> TownMeasure(const json& measures, std::string_view name) {
  if (!IsTownMeasureName(name)) {
    return std::nullopt;
  }
  const json* node = &measures;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t dot = std::min(name.find('.', start), name.size());
    const std::string key(name.substr(start, dot - start));
    if (!node->is_object() || !node->contains(key)) {
      return std::nullopt;
    }
    node = &(*node)[key];
    start = dot + 1;
  }
  return node->is_number() ? std::optional<double>(node->get<double>()) : std::nullopt;
}

}  // namespace veltmoor
