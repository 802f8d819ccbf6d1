// World files (world.json) as the commands and the desktop program read them: the model's
// reader (simulation/world_json.h), and a check that the georeference's CRS is one GDAL
// knows.
#pragma once

#include <string>
#include <string_view>

#include "simulation/world_json.h"

namespace veltmoor {

// Parses and checks a world file's text (hostile input). Throws WorldFileError.
WorldDocument ParseWorldDocument(std::string_view text);
// Reads and checks a world file, streaming. Throws WorldFileError naming the file, or
// WorldReadCancelled when `progress` returns false.
WorldDocument ReadWorldFile(const std::string& path, const WorldReadProgress& progress = nullptr);

}  // namespace veltmoor
