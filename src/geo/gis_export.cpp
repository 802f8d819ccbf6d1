#include "geo/gis_export.h"

#include <ogrsf_frmts.h>

#include <array>

#include "analysis/street_network_stats.h"
#include "geo/gdal_support.h"

namespace veltmoor {

namespace {

// Corner and pixel size of a grid whose cells are `cell_pixels` drawing-area pixels wide.
std::array<double, 6> GeoTransform(const Georeference& g, int cell_size, double cell_pixels) {
  const double size = UnitsPerPixel(g, cell_size) * cell_pixels;
  return {g.origin_x, size, 0.0, g.origin_y, 0.0, -size};
}

template <typename Value, typename Cell, typename Field>
std::vector<Value> Band(const Grid2D<Cell>& grid, Field field) {
  std::vector<Value> values;
  values.reserve(grid.Cells().size());
  for (const Cell& cell : grid.Cells()) {  // row by row: the raster's own order
    values.push_back(static_cast<Value>(field(cell)));
  }
  return values;
}

GDALColorEntry Entry(Colour colour) {
  return {static_cast<short>(RedOf(colour)), static_cast<short>(GreenOf(colour)),
          static_cast<short>(BlueOf(colour)), 255};
}

// The fine layer's colours by SubState, which also hold for LandUse (free white, street
// yellow, developed blue); open land is lime.
GDALColorTable MapColours() {
  GDALColorTable table;
  const Colour colours[] = {colours::kWhite, colours::kYellow, colours::kBlue, colours::kLime};
  for (int i = 0; i < 4; ++i) {
    const GDALColorEntry entry = Entry(colours[i]);
    table.SetColorEntry(i, &entry);
  }
  return table;
}

DatasetPtr CreateRaster(const std::string& path, int columns, int rows, int bands,
                        GDALDataType type, const std::array<double, 6>& transform,
                        const OGRSpatialReference& reference) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
  if (driver == nullptr) {
    ThrowGdalError("GDAL has no GeoTIFF driver");
  }
  const char* options[] = {"COMPRESS=DEFLATE", nullptr};
  DatasetPtr dataset(
      driver->Create(path.c_str(), columns, rows, bands, type, const_cast<char**>(options)));
  if (!dataset) {
    ThrowGdalError("cannot create " + path);
  }
  std::array<double, 6> t = transform;
  dataset->SetGeoTransform(t.data());
  dataset->SetSpatialRef(&reference);
  return dataset;
}

template <typename Value>
void WriteBand(GDALDataset& dataset, int index, const char* name, std::vector<Value>& values,
               GDALDataType type) {
  GDALRasterBand* band = dataset.GetRasterBand(index);
  band->SetDescription(name);
  if (band->RasterIO(GF_Write, 0, 0, dataset.GetRasterXSize(), dataset.GetRasterYSize(),
                     values.data(), dataset.GetRasterXSize(), dataset.GetRasterYSize(), type, 0, 0,
                     nullptr) != CE_None) {
    ThrowGdalError(std::string("cannot write band ") + name);
  }
}

void WriteLandUse(const World& world, const Georeference& g, const OGRSpatialReference& reference,
                  const std::string& path) {
  const Grid2D<TFineCell>& fine = world.FineGrid;
  DatasetPtr dataset =
      CreateRaster(path, fine.Columns(), fine.Rows(), 2, GDT_Byte,
                   GeoTransform(g, world.CellSize, world.CellSize / 3.0), reference);
  auto land = Band<std::uint8_t>(fine, [](const TFineCell& c) { return CodeNumber(c.LandUse); });
  auto sub = Band<std::uint8_t>(fine, [](const TFineCell& c) { return CodeNumber(c.SubState); });
  WriteBand(*dataset, 1, "LandUse", land, GDT_Byte);
  WriteBand(*dataset, 2, "SubState", sub, GDT_Byte);
  GDALColorTable colours = MapColours();
  dataset->GetRasterBand(1)->SetColorTable(&colours);
}

void WriteCells(const World& world, const Georeference& g, const OGRSpatialReference& reference,
                const std::string& path) {
  const Grid2D<TCell>& grid = world.CellGrid;
  DatasetPtr dataset = CreateRaster(path, grid.Columns(), grid.Rows(), 4, GDT_Float32,
                                    GeoTransform(g, world.CellSize, world.CellSize), reference);
  auto potential = Band<float>(grid, [](const TCell& c) { return c.Potential; });
  auto developed = Band<float>(grid, [](const TCell& c) { return c.DevelopedCount; });
  auto streets = Band<float>(grid, [](const TCell& c) { return c.StreetCount; });
  auto state = Band<float>(grid, [](const TCell& c) { return CodeNumber(c.State); });
  WriteBand(*dataset, 1, "Potential", potential, GDT_Float32);
  WriteBand(*dataset, 2, "DevelopedCount", developed, GDT_Float32);
  WriteBand(*dataset, 3, "StreetCount", streets, GDT_Float32);
  WriteBand(*dataset, 4, "State", state, GDT_Float32);
}

OGRLayer* CreateLayer(GDALDataset& dataset, const char* name, OGRSpatialReference& reference,
                      OGRwkbGeometryType type,
                      std::initializer_list<std::pair<const char*, OGRFieldType>> fields) {
  OGRLayer* layer = dataset.CreateLayer(name, &reference, type, nullptr);
  if (layer == nullptr) {
    ThrowGdalError(std::string("cannot create the layer ") + name);
  }
  for (const auto& [field, kind] : fields) {
    OGRFieldDefn definition(field, kind);
    if (layer->CreateField(&definition) != OGRERR_NONE) {
      ThrowGdalError(std::string("cannot create the field ") + field);
    }
  }
  return layer;
}

void AddFeature(OGRLayer& layer, OGRFeature& feature) {
  if (layer.CreateFeature(&feature) != OGRERR_NONE) {
    ThrowGdalError(std::string("cannot write to the layer ") + layer.GetName());
  }
}

void WriteNetwork(const Simulation& sim, const Georeference& g, OGRSpatialReference reference,
                  const std::string& path) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
  if (driver == nullptr) {
    ThrowGdalError("GDAL has no GeoPackage driver");
  }
  DatasetPtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  if (!dataset) {
    ThrowGdalError("cannot create " + path);
  }
  const World& world = sim.world;
  const double u = UnitsPerPixel(g, world.CellSize);
  const auto mapX = [&](int x) { return g.origin_x + x * u; };
  const auto mapY = [&](int y) { return g.origin_y - y * u; };
  OGRLayer* nodes = CreateLayer(*dataset, "nodes", reference, wkbPoint,
                                {{"NodeId", OFTInteger},
                                 {"Degree", OFTInteger},
                                 {"ML", OFTReal},
                                 {"loc", OFTReal},
                                 {"sML", OFTReal},
                                 {"Measure", OFTReal}});
  OGRLayer* streets = CreateLayer(*dataset, "streets", reference, wkbLineString,
                                  {{"FromNode", OFTInteger},
                                   {"ToNode", OFTInteger},
                                   {"Length", OFTReal},
                                   {"TracedLength", OFTReal}});
  dataset->StartTransaction();
  const ConnectivityTableModel& table = sim.StringGrid1;
  for (std::size_t i = 0; i < world.NodeList.size(); ++i) {
    const TAgent& node = *world.NodeList[i];
    const int row = static_cast<int>(i);
    OGRFeature feature(nodes->GetLayerDefn());
    feature.SetField("NodeId", row);
    feature.SetField("Degree", static_cast<int>(node.Links.size()));
    // ML, loc and sML exist only for nodes the last connectivity table covered.
    if (row < table.NodeRows()) {
      feature.SetField("ML", table.ML(row));
      feature.SetField("loc", table.Loc(row));
      feature.SetField("sML", table.ScaledValue(row));
    }
    feature.SetField("Measure", static_cast<double>(node.Measure));
    OGRPoint point(mapX(node.X), mapY(node.Y));
    feature.SetGeometry(&point);
    AddFeature(*nodes, feature);
  }
  for (std::size_t i = 0; i < world.NodeList.size(); ++i) {
    const TAgent& node = *world.NodeList[i];
    for (const LinkEntry& link : node.Links) {
      if (link.OtherNode <= static_cast<std::int32_t>(i)) {
        continue;  // each street once, from its lower node
      }
      const TAgent& other = world.Node(static_cast<std::size_t>(link.OtherNode));
      OGRFeature feature(streets->GetLayerDefn());
      feature.SetField("FromNode", static_cast<int>(i));
      feature.SetField("ToNode", link.OtherNode);
      feature.SetField("Length", link.Length * u);
      feature.SetField("TracedLength", TracedLength(node, other) * u);
      OGRLineString line;
      line.addPoint(mapX(node.X), mapY(node.Y));
      line.addPoint(mapX(other.X), mapY(other.Y));
      feature.SetGeometry(&line);
      AddFeature(*streets, feature);
    }
  }
  if (dataset->CommitTransaction() != OGRERR_NONE) {
    ThrowGdalError("cannot write " + path);
  }
}

}  // namespace

Georeference ReferenceOf(const Simulation& sim, const std::optional<Georeference>& georeference) {
  const int height = sim.map.Height();
  return georeference ? *georeference : LocalGeoreference(sim.world, height);
}

std::vector<std::pair<std::string, std::string>> GisFiles(const Simulation& sim,
                                                          const Georeference& georeference) {
  EnsureGdal();
  const OGRSpatialReference reference = SpatialReferenceOf(georeference);
  const MemoryFolder folder;
  WriteLandUse(sim.world, georeference, reference, folder.Path("landuse.tif"));
  WriteCells(sim.world, georeference, reference, folder.Path("cells.tif"));
  WriteNetwork(sim, georeference, reference, folder.Path("network.gpkg"));
  std::vector<std::pair<std::string, std::string>> files;
  for (const char* name : {"landuse.tif", "cells.tif", "network.gpkg"}) {
    files.emplace_back(name, folder.Bytes(name));
  }
  return files;
}

}  // namespace veltmoor
