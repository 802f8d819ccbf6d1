// Small helpers over GDAL shared by the GIS import and export: registration, errors with
// GDAL's own text, datasets that close themselves, and files made in GDAL's memory.
#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "geo/world_file.h"

namespace veltmoor {

// A GIS file or GDAL operation that failed; the message carries GDAL's own text.
class GeoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Registers GDAL's drivers once.
void EnsureGdal();

// `what`, followed by GDAL's last error message when it has one.
[[noreturn]] void ThrowGdalError(const std::string& what);

struct DatasetCloser {
  void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

// A folder in GDAL's memory file system, removed with everything in it when this goes.
class MemoryFolder {
 public:
  MemoryFolder();
  ~MemoryFolder();
  MemoryFolder(const MemoryFolder&) = delete;
  MemoryFolder& operator=(const MemoryFolder&) = delete;

  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  // The bytes of a file GDAL wrote here (the dataset must be closed).
  std::string Bytes(const std::string& name) const;

 private:
  std::string path_;
};

// The world's coordinate reference system: its WKT, or for pixel units a local
// engineering system whose unit is one pixel.
OGRSpatialReference SpatialReferenceOf(const Georeference& georeference);

}  // namespace veltmoor
