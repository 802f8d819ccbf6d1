#include "geo/gdal_support.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace veltmoor {

void EnsureGdal() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

void ThrowGdalError(const std::string& what) {
  const std::string gdal = CPLGetLastErrorMsg();
  CPLErrorReset();
  throw GeoError(gdal.empty() ? what : what + ": " + gdal);
}

MemoryFolder::MemoryFolder() {
  static std::atomic<unsigned> counter{0};
  path_ = "/vsimem/veltmoor-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
  VSIMkdir(path_.c_str(), 0755);
}

MemoryFolder::~MemoryFolder() {
  VSIRmdirRecursive(path_.c_str());
}

std::string MemoryFolder::Bytes(const std::string& name) const {
  vsi_l_offset length = 0;
  GByte* data = VSIGetMemFileBuffer(Path(name).c_str(), &length, FALSE);
  if (data == nullptr) {
    throw GeoError("GDAL wrote no " + name);
  }
  return std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
}

OGRSpatialReference SpatialReferenceOf(const Georeference& georeference) {
  OGRSpatialReference reference;
  if (georeference.crs_wkt.empty()) {
    reference.SetLocalCS("veltmoor drawing area (1 unit = 1 pixel)");
    reference.SetLinearUnits("pixel", 1.0);
  } else if (reference.importFromWkt(georeference.crs_wkt.c_str()) != OGRERR_NONE) {
    throw GeoError("the world's coordinate reference system is not valid WKT");
  }
  reference.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return reference;
}

}  // namespace veltmoor
