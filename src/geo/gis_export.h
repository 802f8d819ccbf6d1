// The world as GIS files, in the world's coordinate reference system:
//   landuse.tif   fine grid, Byte bands LandUse and SubState, the map's colours as table;
//   cells.tif     coarse grid, Float32 bands Potential, DevelopedCount, StreetCount, State;
//   network.gpkg  layer "nodes" (points: NodeId, Degree, ML, loc, sML, Measure) and layer
//                 "streets" (lines: FromNode, ToNode, Length between the node centres and
//                 TracedLength along the street's cells, in map units).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "geo/world_file.h"
#include "simulation/simulation.h"

namespace veltmoor {

// File name and content of each GIS file, made in memory so the caller writes them all or
// none. Throws GeoError when GDAL fails.
std::vector<std::pair<std::string, std::string>> GisFiles(const Simulation& sim,
                                                          const Georeference& georeference);

// The world's own reference, or the local one of a synthetic world.
Georeference ReferenceOf(const Simulation& sim, const std::optional<Georeference>& georeference);

}  // namespace veltmoor
