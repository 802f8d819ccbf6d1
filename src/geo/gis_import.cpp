#include "geo/gis_import.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <ogrsf_frmts.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <sstream>

#include "growth/potential_field.h"
#include "growth/street_growth.h"
#include "simulation/node_creation.h"
#include "simulation/numbers.h"
#include "simulation/setup.h"

namespace veltmoor {

namespace {

// The widest drawing area world.json holds, so an imported world can be read back.
constexpr int kMaxDrawingPixels = 20000;
constexpr int kMinCellSize = 3;
constexpr int kMaxCellSize = 1000;
// Source rows read per strip of the land raster; one strip is all of the raster in memory.
constexpr double kStripSourceRows = 256.0;
// A georeference a thousandth of a pixel off the grid is the grid: no file means a shift of
// that size, and it moves a fine cell's developed share by at most a thousandth.
constexpr double kPixelSnap = 1e-3;
// Shares of the progress: reading the land, then laying the streets.
constexpr double kLandShare = 0.9;

[[noreturn]] void Refuse(const std::string& what) {
  const std::string gdal = CPLGetLastErrorMsg();
  CPLErrorReset();
  throw ImportError(gdal.empty() ? what : what + ": " + gdal);
}

// A number as a user would type it back: C locale, up to ten significant digits.
std::string Plain(double value) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text.precision(10);
  text << value;
  return text.str();
}

std::string InGiB(std::uint64_t bytes) {
  return FormatNumber(RoundTo2(static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0)));
}

}  // namespace

// GDAL would block forever on a FIFO or read /dev/zero without end: only regular files (and
// folders, which some formats are) are opened. GDAL's own virtual paths are its business,
// except standard input, which a batch command never reads.
void CheckInputFile(const std::string& path, const std::string& option) {
  if (path.rfind("/vsi", 0) == 0) {
    if (path.rfind("/vsistdin", 0) == 0) {
      throw ImportError(option + " " + path + ": standard input cannot be imported");
    }
    return;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    throw ImportError(option + " " + path + ": no such file");
  }
  if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    throw ImportError(option + " " + path + ": not a regular file (a pipe or a device?)");
  }
}

namespace {

// Source pixel coordinates within kPixelSnap of a whole pixel are that pixel edge.
double Snapped(double pixel) {
  const double whole = std::round(pixel);
  return std::abs(pixel - whole) < kPixelSnap ? whole : pixel;
}

}  // namespace

bool IsLineType(OGRwkbGeometryType type) {
  const OGRwkbGeometryType flat = wkbFlatten(type);
  return flat == wkbLineString || flat == wkbMultiLineString;
}

namespace {

std::string LayerNames(GDALDataset& vector) {
  std::string names;
  for (OGRLayer* layer : vector.GetLayers()) {
    names += (names.empty() ? "'" : ", '") + std::string(layer->GetName()) + "'";
    if (!IsLineType(layer->GetGeomType())) {
      names += " (no lines)";
    }
  }
  return names.empty() ? "none" : names;
}

OGRLayer* LineLayer(GDALDataset& vector, const std::string& name, const std::string& path) {
  if (!name.empty()) {
    OGRLayer* layer = vector.GetLayerByName(name.c_str());
    if (layer == nullptr) {
      throw ImportError(path + ": has no layer '" + name + "'; its layers: " + LayerNames(vector));
    }
    if (!IsLineType(layer->GetGeomType())) {
      throw ImportError(path + ": layer '" + name +
                        "' holds no lines; its layers: " + LayerNames(vector));
    }
    return layer;
  }
  for (OGRLayer* layer : vector.GetLayers()) {
    if (IsLineType(layer->GetGeomType())) {
      return layer;
    }
  }
  throw ImportError(path + ": has no layer of lines; its layers: " + LayerNames(vector));
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

// The lines of `geometry` without their vertices at NaN or infinity, which GEOS cannot
// order and no cell holds; `dropped` counts them. Parts left with fewer than two vertices
// go too.
std::unique_ptr<OGRMultiLineString> FiniteLines(const OGRGeometry& geometry, long long& dropped) {
  std::vector<const OGRLineString*> parts;
  CollectLines(geometry, parts);
  auto lines = std::make_unique<OGRMultiLineString>();
  for (const OGRLineString* part : parts) {
    OGRLineString kept;
    for (int i = 0; i < part->getNumPoints(); ++i) {
      const double x = part->getX(i);
      const double y = part->getY(i);
      if (std::isfinite(x) && std::isfinite(y)) {
        kept.addPoint(x, y);
      } else {
        ++dropped;
      }
    }
    if (kept.getNumPoints() >= 2) {
      lines->addGeometry(&kept);
    }
  }
  return lines;
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

std::string BoxText(const std::array<double, 4>& box) {
  return Plain(box[0]) + "," + Plain(box[1]) + "," + Plain(box[2]) + "," + Plain(box[3]);
}

bool Linked(const TAgent& a, std::int32_t b) {
  return std::any_of(a.Links.begin(), a.Links.end(),
                     [b](const LinkEntry& link) { return link.OtherNode == b; });
}

long long CountDeveloped(const World& world) {
  long long developed = 0;
  for (const TFineCell& fine : world.FineGrid.Cells()) {
    developed += fine.LandUse == kLandDeveloped ? 1 : 0;
  }
  return developed;
}

// A window of source pixels: the whole pixels covering [x0, x1) x [y0, y1), within a raster
// of width x height.
struct PixelWindow {
  int x = 0;
  int y = 0;
  int columns = 0;
  int rows = 0;
};

PixelWindow Covering(double x0, double y0, double x1, double y1, int width, int height) {
  const int left = std::clamp(static_cast<int>(std::floor(x0)), 0, width - 1);
  const int top = std::clamp(static_cast<int>(std::floor(y0)), 0, height - 1);
  const int right = std::clamp(static_cast<int>(std::ceil(x1)), left + 1, width);
  const int bottom = std::clamp(static_cast<int>(std::ceil(y1)), top + 1, height);
  return {left, top, right - left, bottom - top};
}

// Reads windows of the land band as the developed mask, 1.0 or 0.0 a pixel; nodata and NaN
// are free land. A band of bytes is classified through a table of its 256 values, others
// value by value, the last value's class kept since land comes in runs.
class MaskReader {
 public:
  MaskReader(GDALRasterBand& band, const std::function<bool(double)>& developed)
      : band_(band), bytes_(band.GetRasterDataType() == GDT_Byte), developed_(developed) {
    int hasNoData = 0;
    const double noData = band.GetNoDataValue(&hasNoData);
    missing_ = [hasNoData, noData](double v) {
      return std::isnan(v) || (hasNoData != 0 && v == noData);
    };
    if (bytes_) {
      for (std::size_t v = 0; v < table_.size(); ++v) {
        table_[v] = Class(static_cast<double>(v));
      }
    }
  }

  // False when GDAL cannot read the window.
  bool Read(const PixelWindow& window, std::vector<float>& mask) {
    const std::size_t count = static_cast<std::size_t>(window.columns) * window.rows;
    mask.resize(count);
    if (bytes_) {
      bytes_buffer_.resize(count);
      if (!ReadInto(window, bytes_buffer_.data(), GDT_Byte)) {
        return false;
      }
      std::transform(bytes_buffer_.begin(), bytes_buffer_.end(), mask.begin(),
                     [this](std::uint8_t v) { return table_[v]; });
      return true;
    }
    values_.resize(count);
    if (!ReadInto(window, values_.data(), GDT_Float64)) {
      return false;
    }
    double last = std::numeric_limits<double>::quiet_NaN();
    float lastClass = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
      const double v = values_[i];
      if (!(v == last)) {
        last = v;
        lastClass = Class(v);
      }
      mask[i] = lastClass;
    }
    return true;
  }

 private:
  float Class(double v) const { return !missing_(v) && developed_(v) ? 1.0f : 0.0f; }

  bool ReadInto(const PixelWindow& window, void* buffer, GDALDataType type) {
    return band_.RasterIO(GF_Read, window.x, window.y, window.columns, window.rows, buffer,
                          window.columns, window.rows, type, 0, 0, nullptr) == CE_None;
  }

  GDALRasterBand& band_;
  bool bytes_;
  std::function<bool(double)> developed_;
  std::function<bool(double)> missing_;
  std::array<float, 256> table_{};
  std::vector<std::uint8_t> bytes_buffer_;
  std::vector<double> values_;
};

}  // namespace

int ImportCellSize(std::int64_t fine_columns, std::int64_t fine_rows, double fine,
                   std::optional<int> requested, std::uint64_t budget) {
  const std::int64_t columns = fine_columns / 3;
  const std::int64_t rows = fine_rows / 3;
  const std::int64_t longer = std::max(columns, rows);
  const std::string size =
      std::to_string(fine_columns) + " x " + std::to_string(fine_rows) + " fine cells";
  if (longer * kMinCellSize > kMaxDrawingPixels) {
    const double least = fine * static_cast<double>(longer) * kMinCellSize / kMaxDrawingPixels;
    throw ImportError("the world would be " + size + ", more than a drawing area of " +
                      std::to_string(kMaxDrawingPixels) + " pixels holds even at --cell-size " +
                      std::to_string(kMinCellSize) + ": choose a --fine-cell of at least " +
                      Plain(std::ceil(least * 1000.0) / 1000.0) + " or a smaller --bbox");
  }
  const int widest = static_cast<int>(
      std::min<std::int64_t>(kMaxCellSize, kMaxDrawingPixels / std::max<std::int64_t>(longer, 1)));
  if (requested && *requested > widest) {
    throw ImportError("--cell-size " + std::to_string(*requested) + " makes the world of " + size +
                      " wider than a drawing area of " + std::to_string(kMaxDrawingPixels) +
                      " pixels; at most " + std::to_string(widest) + " fits");
  }
  // The largest cell size that fits memory, down from the one asked for or the default.
  int cell = requested.value_or(std::min(kDefaultImportCellSize, widest));
  const int smallest = requested ? cell : kMinCellSize;
  while (cell > smallest && WorldBytes(columns * cell, rows * cell, cell) > budget) {
    --cell;
  }
  const std::uint64_t need = WorldBytes(columns * cell, rows * cell, cell);
  if (need <= budget) {
    return cell;
  }
  // A square box of whole coarse cells that fits, and the fine cell that would make this
  // box fit.
  const std::uint64_t perCell = WorldBytes(cell, cell, cell);
  const std::uint64_t fitting = budget / std::max<std::uint64_t>(perCell, 1);
  const auto side = static_cast<std::int64_t>(std::floor(std::sqrt(static_cast<double>(fitting))));
  const double least =
      fine * std::sqrt(static_cast<double>(need) / static_cast<double>(budget)) * 1.01;
  throw ImportError("the world of " + size + " at --cell-size " + std::to_string(cell) + " needs " +
                    InGiB(need) + " GiB of memory, more than the " + InGiB(budget) +
                    " GiB there are; the largest box that fits is about " +
                    std::to_string(3 * side) + " x " + std::to_string(3 * side) + " fine cells (" +
                    Plain(3.0 * static_cast<double>(side) * fine) + " x " +
                    Plain(3.0 * static_cast<double>(side) * fine) +
                    " CRS units): choose a --bbox of that size" +
                    (cell > kMinCellSize ? ", a smaller --cell-size" : "") +
                    " or a --fine-cell of at least " + Plain(std::ceil(least * 1000.0) / 1000.0));
}

TownImport::TownImport(ImportOptions options) : options_(std::move(options)) {
  EnsureGdal();
  if (options_.cell_size &&
      (*options_.cell_size < kMinCellSize || *options_.cell_size > kMaxCellSize)) {
    throw ImportError("--cell-size must lie in 3..1000");
  }
  CheckInputFile(options_.landuse, "--landuse");
  if (!options_.streets.empty()) {
    CheckInputFile(options_.streets, "--streets");
  }
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
      !(transform_[5] < 0.0) || !std::all_of(transform_.begin(), transform_.end(), [](double v) {
        return std::isfinite(v);
      })) {
    throw ImportError(options_.landuse + ": only north-up rasters can be imported");
  }
  shape_.raster_width = width;
  shape_.raster_height = height;
  PlaceBox(width, height);
  SizeWorld();
}

// The world's rectangle in CRS units: the raster, or the part of it --bbox covers.
void TownImport::PlaceBox(int width, int height) {
  const std::array<double, 4> raster = {transform_[0], transform_[3] + height * transform_[5],
                                        transform_[0] + width * transform_[1], transform_[3]};
  box_ = raster;
  if (!options_.bbox) {
    return;
  }
  const auto& b = *options_.bbox;
  if (!std::all_of(b.begin(), b.end(), [](double v) { return std::isfinite(v); }) ||
      !(b[0] < b[2]) || !(b[1] < b[3])) {
    throw ImportError("--bbox must be XMIN,YMIN,XMAX,YMAX with XMIN < XMAX and YMIN < YMAX");
  }
  box_ = {std::max(raster[0], b[0]), std::max(raster[1], b[1]), std::min(raster[2], b[2]),
          std::min(raster[3], b[3])};
  if (!(box_[0] < box_[2]) || !(box_[1] < box_[3])) {
    const OGRSpatialReference* crs = raster_->GetSpatialRef();
    const std::string system =
        reference_.crs_wkt.empty() || crs == nullptr
            ? "pixel units (the raster has no CRS)"
            : std::string(crs->GetName() != nullptr ? crs->GetName() : "its CRS");
    throw ImportError("--bbox " + BoxText(b) + " lies outside the raster, whose extent is " +
                      BoxText(raster) + " in " + system);
  }
  shape_.box_clipped = box_ != b;
  shape_.clipped_box = box_;
}

// The grid of whole coarse cells in the box, its cell size and the memory test.
void TownImport::SizeWorld() {
  fine_ = options_.fine_cell.value_or(transform_[1]);
  if (!std::isfinite(fine_) || !(fine_ > 0.0)) {
    throw ImportError("--fine-cell must be a size greater than 0");
  }
  // Counted in doubles and checked before any cast: a tiny fine cell makes numbers no
  // integer holds.
  const double fineColumns = std::floor(Snapped((box_[2] - box_[0]) / fine_));
  const double fineRows = std::floor(Snapped((box_[3] - box_[1]) / fine_));
  if (fineColumns < 3.0 || fineRows < 3.0) {
    throw ImportError("the raster (or box) holds less than one cell of 3 x 3 fine cells");
  }
  constexpr double kMostFine = 3.0 * kMaxDrawingPixels;
  if (fineColumns > kMostFine || fineRows > kMostFine) {
    const double longer = std::max(fineColumns, fineRows);
    throw ImportError("--fine-cell " + Plain(fine_) + " makes the world " + Plain(longer) +
                      " fine cells across, more than a drawing area of " +
                      std::to_string(kMaxDrawingPixels) + " pixels holds at --cell-size " +
                      std::to_string(kMinCellSize) + ": choose a --fine-cell of at least " +
                      Plain(std::ceil(fine_ * longer / kMostFine * 1000.0) / 1000.0) +
                      " or a smaller --bbox");
  }
  const auto columns = static_cast<std::int64_t>(fineColumns) / 3;
  const auto rows = static_cast<std::int64_t>(fineRows) / 3;
  shape_.fine_columns = 3 * columns;
  shape_.fine_rows = 3 * rows;
  shape_.fine_cut_east = static_cast<int>(static_cast<std::int64_t>(fineColumns) % 3);
  shape_.fine_cut_south = static_cast<int>(static_cast<std::int64_t>(fineRows) % 3);
  shape_.cell_size = ImportCellSize(shape_.fine_columns, shape_.fine_rows, fine_,
                                    options_.cell_size, MemoryBudget());
  shape_.cell_size_chosen = !options_.cell_size && shape_.cell_size != kDefaultImportCellSize;
  columns_ = static_cast<int>(columns);
  rows_ = static_cast<int>(rows);
  shape_.world_bytes = WorldBytes(Width(), Height(), shape_.cell_size);
  box_ = {box_[0], box_[3] - rows_ * 3.0 * fine_, box_[0] + columns_ * 3.0 * fine_, box_[3]};
  reference_.origin_x = box_[0];
  reference_.origin_y = box_[3];
  reference_.fine_cell_size = fine_;
}

std::string TownImport::Plan() const {
  return "reading " + std::to_string(shape_.raster_width) + " x " +
         std::to_string(shape_.raster_height) + " px into " + std::to_string(shape_.fine_columns) +
         " x " + std::to_string(shape_.fine_rows) + " fine cells (" + std::to_string(columns_) +
         " x " + std::to_string(rows_) + " cells of " + std::to_string(shape_.cell_size) + " px" +
         (shape_.cell_size_chosen
              ? ", smaller than " + std::to_string(kDefaultImportCellSize) + " to fit"
              : "") +
         "); memory estimate " + InGiB(shape_.world_bytes) +
         " GiB with the picture layers commands draw on";
}

std::vector<std::string> TownImport::Summary(const ImportCounts& counts) const {
  std::vector<std::string> lines;
  std::string land = std::to_string(counts.developed_cells) + " developed fine cells";
  if (!options_.streets.empty()) {
    land += "; lines read " + std::to_string(counts.lines_read) + ", clipped " +
            std::to_string(counts.lines_clipped) + ", nodes made " +
            std::to_string(counts.nodes_made);
    if (counts.vertices_dropped > 0) {
      land += ", vertices at NaN or infinity dropped " + std::to_string(counts.vertices_dropped);
    }
  }
  lines.push_back(land);
  if (counts.centre_node_planted) {
    lines.emplace_back(
        "no street lies in the world: the network starts from one node in the "
        "middle");
  }
  if (shape_.box_clipped) {
    lines.push_back("--bbox clipped to the raster: " + BoxText(shape_.clipped_box));
  }
  if (shape_.fine_cut_east > 0 || shape_.fine_cut_south > 0) {
    lines.push_back("the grid is cut to whole cells of 3 x 3 fine cells: " +
                    std::to_string(shape_.fine_cut_east) + " fine cells left out on the east, " +
                    std::to_string(shape_.fine_cut_south) + " on the south");
  }
  return lines;
}

bool TownImport::Developed(double value) const {
  if (options_.developed_above && value > *options_.developed_above) {
    return true;
  }
  return std::find(options_.developed_values.begin(), options_.developed_values.end(), value) !=
         options_.developed_values.end();
}

ImportCounts TownImport::BuildInto(Simulation& sim, const ImportProgress& progress) {
  sim.map.PanelWidth = Width();
  sim.map.PanelHeight = Height();
  if (sim.world.Exists()) {
    ClearWorld(sim);
  }
  NewSetup(sim);
  ReadLand(sim, progress);
  ImportCounts counts;
  if (CountDeveloped(sim.world) == 0) {
    throw ImportError(options_.landuse + ": no fine cell is developed by the given rule");
  }
  if (!options_.streets.empty()) {
    ReadStreets(sim, counts);
    // The README's promise: a network starts from somewhere, streets or none.
    if (sim.world.NodeList.empty()) {
      PlantCentreNode(sim);
      counts.centre_node_planted = true;
    }
  }
  counts.developed_cells = CountDeveloped(sim.world);
  if (progress) {
    progress(1.0);
  }
  return counts;
}

// The developed mask is made strip by strip and averaged onto the fine cells by GDAL's
// area-weighted average resampling, so memory follows the world, not the raster. The
// window is read at its exact, possibly fractional place; whole-pixel windows of fine cells
// the size of a pixel are copied as they are.
void TownImport::ReadLand(Simulation& sim, const ImportProgress& progress) {
  MaskReader reader(*raster_->GetRasterBand(options_.band),
                    [this](double v) { return Developed(v); });
  GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
  const int fineColumns = 3 * columns_;
  const int fineRows = 3 * rows_;
  const double pixelsPerFineX = fine_ / transform_[1];
  const double pixelsPerFineY = fine_ / -transform_[5];
  const int strip = std::max(1, static_cast<int>(kStripSourceRows / pixelsPerFineY));
  // Source pixel coordinates of the world's edges.
  const double left = Snapped((box_[0] - transform_[0]) / transform_[1]);
  const double top = Snapped((transform_[3] - box_[3]) / -transform_[5]);
  const double right = Snapped(left + fineColumns * pixelsPerFineX);
  const int sourceWidth = raster_->GetRasterXSize();
  const int sourceHeight = raster_->GetRasterYSize();
  std::vector<float> mask;
  std::vector<float> share;
  for (int r0 = 0; r0 < fineRows; r0 += strip) {
    const int r1 = std::min(fineRows, r0 + strip);
    const double y0 = Snapped(top + r0 * pixelsPerFineY);
    const double y1 = Snapped(top + r1 * pixelsPerFineY);
    const PixelWindow source = Covering(left, y0, right, y1, sourceWidth, sourceHeight);
    if (!reader.Read(source, mask)) {
      Refuse(options_.landuse + ": cannot read band " + std::to_string(options_.band));
    }
    DatasetPtr strips(mem->Create("", source.columns, source.rows, 0, GDT_Float32, nullptr));
    char pointer[64];
    std::snprintf(pointer, sizeof pointer, "DATAPOINTER=%p", static_cast<void*>(mask.data()));
    char* bandOptions[] = {pointer, nullptr};
    if (!strips || strips->AddBand(GDT_Float32, bandOptions) != CE_None) {
      Refuse("cannot hold the developed mask in memory");
    }
    // The world's strip within the source window, in the window's pixels.
    GDALRasterIOExtraArg extra;
    INIT_RASTERIO_EXTRA_ARG(extra);
    extra.eResampleAlg = GRIORA_Average;
    extra.bFloatingPointWindowValidity = TRUE;
    extra.dfXOff = std::max(0.0, left - source.x);
    extra.dfYOff = std::max(0.0, y0 - source.y);
    extra.dfXSize = std::min(static_cast<double>(source.columns) - extra.dfXOff, right - left);
    extra.dfYSize = std::min(static_cast<double>(source.rows) - extra.dfYOff, y1 - y0);
    // The whole pixels it touches: the same size as the buffer only when it is whole, which
    // copies; a fractional window is larger and goes through the resampling.
    const PixelWindow window = Covering(extra.dfXOff, extra.dfYOff, extra.dfXOff + extra.dfXSize,
                                        extra.dfYOff + extra.dfYSize, source.columns, source.rows);
    const int rows = r1 - r0;
    share.resize(static_cast<std::size_t>(fineColumns) * rows);
    if (strips->GetRasterBand(1)->RasterIO(GF_Read, window.x, window.y, window.columns, window.rows,
                                           share.data(), fineColumns, rows, GDT_Float32, 0, 0,
                                           &extra) != CE_None) {
      Refuse("cannot average the developed mask onto the fine cells");
    }
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < fineColumns; ++c) {
        // Developed when at least half of the fine cell's area is developed.
        if (share[static_cast<std::size_t>(r) * fineColumns + c] >= 0.5f) {
          Develop(sim.Growth(), sim.world.FineGrid(c, r0 + r));
        }
      }
    }
    if (progress) {
      progress(kLandShare * r1 / fineRows);
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
    std::unique_ptr<OGRGeometry> line = FiniteLines(*geometry, counts.vertices_dropped);
    if (toRaster) {
      if (line->transform(toRaster.get()) != OGRERR_NONE) {
        Refuse(options_.streets + ": cannot reproject a street");
      }
      // A vertex outside the projection's domain comes back at infinity.
      line = FiniteLines(*line, counts.vertices_dropped);
    }
    if (line->IsEmpty()) {
      continue;
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
        // Clipped to the box, so within a cell of the grid but for rounding at its edges.
        const double x = std::clamp((part->getX(i) - box_[0]) / coarse, 0.0, columns_ - 1.0);
        const double y = std::clamp((box_[3] - part->getY(i)) / coarse, 0.0, rows_ - 1.0);
        TCell& cell = world.CellGrid(static_cast<int>(x), static_cast<int>(y));
        if (cell.State != kStateNode) {
          CreateNode(sim.Growth(), cell);
          ++counts.nodes_made;
        }
        TAgent& node = world.Node(static_cast<std::size_t>(cell.NodeIndex));
        if (previous != nullptr && previous != &node && !Linked(*previous, cell.NodeIndex)) {
          LinkNodes(sim.Growth(), *previous, node);
        }
        previous = &node;
      }
    }
  }
}

}  // namespace veltmoor
