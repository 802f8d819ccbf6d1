#include "geo/gis_import.h"

#include <cpl_error.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "simulation/node_creation.h"
#include "simulation/potential_field.h"
#include "simulation/setup.h"
#include "simulation/street_growth.h"

namespace veltmoor {

namespace {

// The largest world veltmoor builds: a drawing area batch runs accept, and no more coarse
// cells than fit comfortably in memory with their nine fine cells each.
constexpr int kMaxPixels = 20000;
constexpr long long kMaxCoarseCells = 1000000;
// Source rows read per strip of the land raster; one strip is all of the raster in memory.
constexpr double kStripSourceRows = 256.0;

[[noreturn]] void Refuse(const std::string& what) {
  const std::string gdal = CPLGetLastErrorMsg();
  CPLErrorReset();
  throw ImportError(gdal.empty() ? what : what + ": " + gdal);
}

bool IsLineType(OGRwkbGeometryType type) {
  const OGRwkbGeometryType flat = wkbFlatten(type);
  return flat == wkbLineString || flat == wkbMultiLineString;
}

OGRLayer* LineLayer(GDALDataset& vector, const std::string& name, const std::string& path) {
  if (!name.empty()) {
    OGRLayer* layer = vector.GetLayerByName(name.c_str());
    if (layer == nullptr) {
      throw ImportError(path + ": has no layer '" + name + "'");
    }
    if (!IsLineType(layer->GetGeomType())) {
      throw ImportError(path + ": layer '" + name + "' holds no lines");
    }
    return layer;
  }
  for (OGRLayer* layer : vector.GetLayers()) {
    if (IsLineType(layer->GetGeomType())) {
      return layer;
    }
  }
  throw ImportError(path + ": has no layer of lines");
}

// The line strings of a clipped, simplified geometry (points a clip leaves are dropped).
void CollectLines(const OGRGeometry& geometry, std::vector<const OGRLineString*>& lines) {
  const OGRwkbGeometryType flat = wkbFlatten(geometry.getGeometryType());
  if (flat == wkbLineString) {
    lines.push_back(geometry.toLineString());
  } else if (OGR_GT_IsSubClassOf(flat, wkbGeometryCollection)) {
    for (const OGRGeometry* part : *geometry.toGeometryCollection()) {
      CollectLines(*part, lines);
    }
  }
}

// The transformation from the streets' system to the raster's; none when they agree or
// either is unknown.
std::unique_ptr<OGRCoordinateTransformation> StreetsToRaster(OGRLayer& layer,
                                                             const Georeference& reference,
                                                             const std::string& path) {
  std::unique_ptr<OGRCoordinateTransformation> toRaster;
  const OGRSpatialReference* source = layer.GetSpatialRef();
  if (source != nullptr && !reference.crs_wkt.empty()) {
    OGRSpatialReference from(*source);
    OGRSpatialReference to = SpatialReferenceOf(reference);
    from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    if (!from.IsSame(&to)) {
      toRaster.reset(OGRCreateCoordinateTransformation(&from, &to));
      if (!toRaster) {
        Refuse(path + ": cannot reproject the streets to the raster's system");
      }
    }
  }
  return toRaster;
}

// The world's rectangle; `box` is xmin, ymin, xmax, ymax.
OGRPolygon BoxPolygon(const std::array<double, 4>& box) {
  OGRPolygon polygon;
  OGRLinearRing ring;
  ring.addPoint(box[0], box[1]);
  ring.addPoint(box[2], box[1]);
  ring.addPoint(box[2], box[3]);
  ring.addPoint(box[0], box[3]);
  ring.addPoint(box[0], box[1]);
  polygon.addRing(&ring);
  return polygon;
}

bool Linked(const TAgent& a, std::int32_t b) {
  return std::any_of(a.Links.begin(), a.Links.end(),
                     [b](const LinkEntry& link) { return link.OtherNode == b; });
}

}  // namespace

TownImport::TownImport(ImportOptions options) : options_(std::move(options)) {
  EnsureGdal();
  CPLErrorReset();
  raster_.reset(GDALDataset::Open(options_.landuse.c_str(), GDAL_OF_RASTER));
  if (!raster_) {
    Refuse(options_.landuse + ": cannot read the raster");
  }
  const int bands = raster_->GetRasterCount();
  if (options_.band < 1 || options_.band > bands) {
    throw ImportError(options_.landuse + ": has no band " + std::to_string(options_.band) +
                      " (it has " + std::to_string(bands) + ")");
  }
  if (options_.cell_size < 3 || options_.cell_size > 1000) {
    throw ImportError("--cell-size must lie in 3..1000");
  }
  const int width = raster_->GetRasterXSize();
  const int height = raster_->GetRasterYSize();
  const OGRSpatialReference* crs = raster_->GetSpatialRef();
  if (raster_->GetGeoTransform(transform_.data()) != CE_None || crs == nullptr) {
    warnings_.push_back(options_.landuse +
                        ": has no coordinate reference system; imported in pixel units");
    if (raster_->GetGeoTransform(transform_.data()) != CE_None) {
      // Pixel units, y growing northwards from the bottom edge.
      transform_ = {0.0, 1.0, 0.0, static_cast<double>(height), 0.0, -1.0};
    }
    CPLErrorReset();
  } else {
    char* wkt = nullptr;
    crs->exportToWkt(&wkt);
    reference_.crs_wkt = wkt;
    CPLFree(wkt);
  }
  if (transform_[2] != 0.0 || transform_[4] != 0.0 || !(transform_[1] > 0.0) ||
      !(transform_[5] < 0.0)) {
    throw ImportError(options_.landuse + ": only north-up rasters can be imported");
  }
  std::array<double, 4> extent = {transform_[0], transform_[3] + height * transform_[5],
                                  transform_[0] + width * transform_[1], transform_[3]};
  if (options_.bbox) {
    const auto& b = *options_.bbox;
    if (!std::all_of(b.begin(), b.end(), [](double v) { return std::isfinite(v); }) ||
        !(b[0] < b[2]) || !(b[1] < b[3])) {
      throw ImportError("--bbox must be XMIN,YMIN,XMAX,YMAX with XMIN < XMAX and YMIN < YMAX");
    }
    extent = {std::max(extent[0], b[0]), std::max(extent[1], b[1]), std::min(extent[2], b[2]),
              std::min(extent[3], b[3])};
    if (!(extent[0] < extent[2]) || !(extent[1] < extent[3])) {
      throw ImportError("--bbox lies outside the raster");
    }
  }
  fine_ = options_.fine_cell.value_or(transform_[1]);
  if (!std::isfinite(fine_) || !(fine_ > 0.0)) {
    throw ImportError("--fine-cell must be a size greater than 0");
  }
  const double columns = std::floor((extent[2] - extent[0]) / (3.0 * fine_));
  const double rows = std::floor((extent[3] - extent[1]) / (3.0 * fine_));
  if (columns < 1.0 || rows < 1.0) {
    throw ImportError("the raster (or box) holds less than one cell of 3 x 3 fine cells");
  }
  if (columns * options_.cell_size > kMaxPixels || rows * options_.cell_size > kMaxPixels ||
      columns * rows > static_cast<double>(kMaxCoarseCells)) {
    throw ImportError("the world would have " + std::to_string(static_cast<long long>(columns)) +
                      " x " + std::to_string(static_cast<long long>(rows)) +
                      " cells, too large for memory (at most 20000 pixels a side and " +
                      std::to_string(kMaxCoarseCells) +
                      " cells): choose a larger --fine-cell, a smaller --cell-size or a --bbox");
  }
  columns_ = static_cast<int>(columns);
  rows_ = static_cast<int>(rows);
  box_ = {extent[0], extent[3] - rows_ * 3.0 * fine_, extent[0] + columns_ * 3.0 * fine_,
          extent[3]};
  reference_.origin_x = box_[0];
  reference_.origin_y = box_[3];
  reference_.fine_cell_size = fine_;
}

bool TownImport::Developed(double value) const {
  if (options_.developed_above && value > *options_.developed_above) {
    return true;
  }
  return std::find(options_.developed_values.begin(), options_.developed_values.end(), value) !=
         options_.developed_values.end();
}

ImportCounts TownImport::BuildInto(Simulation& sim) {
  sim.map.PanelWidth = Width();
  sim.map.PanelHeight = Height();
  if (sim.world.Exists()) {
    ClearWorld(sim);
  }
  NewSetup(sim);
  ImportCounts counts;
  ReadLand(sim, counts);
  if (counts.developed_cells == 0) {
    throw ImportError(options_.landuse + ": no fine cell is developed by the given rule");
  }
  if (!options_.streets.empty()) {
    ReadStreets(sim, counts);
  }
  return counts;
}

// The developed mask is made strip by strip and averaged onto the fine cells by GDAL's
// area-weighted average resampling, so memory follows the world, not the raster.
void TownImport::ReadLand(Simulation& sim, ImportCounts& counts) {
  GDALRasterBand* band = raster_->GetRasterBand(options_.band);
  int hasNoData = 0;
  const double noData = band->GetNoDataValue(&hasNoData);
  GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
  const int fineColumns = 3 * columns_;
  const int fineRows = 3 * rows_;
  const double pixelsPerFineX = fine_ / transform_[1];
  const double pixelsPerFineY = fine_ / -transform_[5];
  const int strip = std::max(1, static_cast<int>(kStripSourceRows / pixelsPerFineY));
  // Source pixel coordinates of the world's left and top edges.
  const double left = (box_[0] - transform_[0]) / transform_[1];
  const double top = (transform_[3] - box_[3]) / -transform_[5];
  const int sourceWidth = raster_->GetRasterXSize();
  const int sourceHeight = raster_->GetRasterYSize();
  std::vector<double> values;
  std::vector<float> share;
  for (int r0 = 0; r0 < fineRows; r0 += strip) {
    const int r1 = std::min(fineRows, r0 + strip);
    const double y0 = top + r0 * pixelsPerFineY;
    const double y1 = top + r1 * pixelsPerFineY;
    const double x1 = left + fineColumns * pixelsPerFineX;
    const int ix0 = std::clamp(static_cast<int>(std::floor(left)), 0, sourceWidth - 1);
    const int iy0 = std::clamp(static_cast<int>(std::floor(y0)), 0, sourceHeight - 1);
    const int ix1 = std::clamp(static_cast<int>(std::ceil(x1)), ix0 + 1, sourceWidth);
    const int iy1 = std::clamp(static_cast<int>(std::ceil(y1)), iy0 + 1, sourceHeight);
    const int nx = ix1 - ix0;
    const int ny = iy1 - iy0;
    values.resize(static_cast<std::size_t>(nx) * ny);
    if (band->RasterIO(GF_Read, ix0, iy0, nx, ny, values.data(), nx, ny, GDT_Float64, 0, 0,
                       nullptr) != CE_None) {
      Refuse(options_.landuse + ": cannot read band " + std::to_string(options_.band));
    }
    std::vector<float> mask(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      const double v = values[i];
      // Nodata and NaN are free land.
      const bool missing = std::isnan(v) || (hasNoData != 0 && v == noData);
      mask[i] = !missing && Developed(v) ? 1.0f : 0.0f;
    }
    DatasetPtr strips(mem->Create("", nx, ny, 1, GDT_Float32, nullptr));
    if (!strips || strips->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, nx, ny, mask.data(), nx, ny,
                                                      GDT_Float32, 0, 0, nullptr) != CE_None) {
      Refuse("cannot hold the developed mask in memory");
    }
    GDALRasterIOExtraArg extra;
    INIT_RASTERIO_EXTRA_ARG(extra);
    extra.eResampleAlg = GRIORA_Average;
    extra.bFloatingPointWindowValidity = TRUE;
    extra.dfXOff = std::max(0.0, left - ix0);
    extra.dfYOff = std::max(0.0, y0 - iy0);
    extra.dfXSize = std::min(static_cast<double>(nx) - extra.dfXOff, x1 - left);
    extra.dfYSize = std::min(static_cast<double>(ny) - extra.dfYOff, y1 - y0);
    const int rows = r1 - r0;
    share.resize(static_cast<std::size_t>(fineColumns) * rows);
    if (strips->GetRasterBand(1)->RasterIO(
            GF_Read, static_cast<int>(extra.dfXOff), static_cast<int>(extra.dfYOff),
            std::max(1, static_cast<int>(std::lround(extra.dfXSize))),
            std::max(1, static_cast<int>(std::lround(extra.dfYSize))), share.data(), fineColumns,
            rows, GDT_Float32, 0, 0, &extra) != CE_None) {
      Refuse("cannot average the developed mask onto the fine cells");
    }
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < fineColumns; ++c) {
        // Developed when at least half of the fine cell's area is developed.
        if (share[static_cast<std::size_t>(r) * fineColumns + c] >= 0.5f) {
          Develop(sim, sim.world.FineGrid(c, r0 + r));
          ++counts.developed_cells;
        }
      }
    }
  }
}

void TownImport::ReadStreets(Simulation& sim, ImportCounts& counts) {
  CPLErrorReset();
  DatasetPtr vector(GDALDataset::Open(options_.streets.c_str(), GDAL_OF_VECTOR));
  if (!vector) {
    Refuse(options_.streets + ": cannot read the vector file");
  }
  OGRLayer* layer = LineLayer(*vector, options_.layer, options_.streets);
  const std::unique_ptr<OGRCoordinateTransformation> toRaster =
      StreetsToRaster(*layer, reference_, options_.streets);
  const OGRPolygon box = BoxPolygon(box_);
  // Every line, reprojected and clipped, goes into one set whose union splits the lines
  // where they meet, so junctions are vertices and become nodes.
  OGRMultiLineString all;
  layer->ResetReading();
  for (auto& feature : *layer) {
    const OGRGeometry* geometry = feature->GetGeometryRef();
    if (geometry == nullptr || !IsLineType(geometry->getGeometryType())) {
      continue;
    }
    ++counts.lines_read;
    std::unique_ptr<OGRGeometry> line(geometry->clone());
    if (toRaster && line->transform(toRaster.get()) != OGRERR_NONE) {
      Refuse(options_.streets + ": cannot reproject a street");
    }
    if (!line->Within(&box)) {
      ++counts.lines_clipped;
      line.reset(line->Intersection(&box));
      if (!line || line->IsEmpty()) {
        continue;
      }
    }
    std::vector<const OGRLineString*> parts;
    CollectLines(*line, parts);
    for (const OGRLineString* part : parts) {
      all.addGeometry(part);
    }
  }
  if (all.IsEmpty()) {
    return;
  }
  // The union of the first line with all others nodes the set where lines meet (GEOS's
  // unary union, which GDAL 3.6 does not offer by name).
  std::unique_ptr<OGRGeometry> first(all.getGeometryRef(0)->clone());
  all.removeGeometry(0);
  std::unique_ptr<OGRGeometry> noded(all.IsEmpty() ? first->clone() : all.Union(first.get()));
  if (!noded) {
    Refuse(options_.streets + ": cannot join the streets");
  }
  std::vector<const OGRLineString*> pieces;
  CollectLines(*noded, pieces);
  PlaceStreets(sim, pieces, counts);
}

void TownImport::PlaceStreets(Simulation& sim, const std::vector<const OGRLineString*>& pieces,
                              ImportCounts& counts) {
  World& world = sim.world;
  const double coarse = 3.0 * fine_;
  for (const OGRLineString* piece : pieces) {
    // Douglas-Peucker with the coarse cell as tolerance keeps a curve's shape at the
    // resolution the network can show.
    std::unique_ptr<OGRGeometry> simple(piece->Simplify(coarse));
    if (!simple) {
      continue;
    }
    std::vector<const OGRLineString*> parts;
    CollectLines(*simple, parts);
    for (const OGRLineString* part : parts) {
      TAgent* previous = nullptr;
      for (int i = 0; i < part->getNumPoints(); ++i) {
        const int column = std::clamp(
            static_cast<int>(std::floor((part->getX(i) - box_[0]) / coarse)), 0, columns_ - 1);
        const int row = std::clamp(static_cast<int>(std::floor((box_[3] - part->getY(i)) / coarse)),
                                   0, rows_ - 1);
        TCell& cell = world.CellGrid(column, row);
        if (cell.State != kStateNode) {
          CreateNode(sim, cell);
          ++counts.nodes_made;
        }
        TAgent& node = world.Node(static_cast<std::size_t>(cell.NodeIndex));
        if (previous != nullptr && previous != &node && !Linked(*previous, cell.NodeIndex)) {
          LinkNodes(sim, *previous, node);
        }
        previous = &node;
      }
    }
  }
}

}  // namespace veltmoor
