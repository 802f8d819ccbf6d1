#include "simulation/internal/world_json_grids.h"

#include <algorithm>

namespace veltmoor::world_json {

namespace {

template <typename Code>
constexpr long long First(Code code) {
  return CodeNumber(code);
}

Colour LandUseColour(const TFineCell& fine) {
  switch (fine.LandUse) {
    case kLandStreet:
      return colours::kYellow;
    case kLandDeveloped:
      return fine.SubState == kSubOpen ? colours::kLime : colours::kBlue;
    default:
      return colours::kWhite;
  }
}

TCell& CoarseAt(WorldDocument& doc, std::size_t i) {
  return doc.coarse.Cells()[i];
}
TFineCell& FineAt(WorldDocument& doc, std::size_t i) {
  return doc.fine.Cells()[i];
}

// The file lists a grid column by column; the grid keeps its cells row by row. The values
// of a few columns are gathered and stored a row at a time, which keeps the stores of a
// large grid in few cache lines.
template <typename Cell, typename Set>
void StoreColumnsOf(Grid2D<Cell>& grid, const double* values, std::size_t first,
                    std::size_t count) {
  const auto rows = static_cast<std::size_t>(grid.Rows());
  const auto columns = static_cast<std::size_t>(grid.Columns());
  Cell* cells = grid.Cells().data();
  for (std::size_t r = 0; r < rows; ++r) {
    Cell* row = cells + r * columns + first;
    for (std::size_t k = 0; k < count; ++k) {
      Set{}(row[k], values[k * rows + r]);
    }
  }
}

template <typename Set>
constexpr GridField::Store Coarse(Set /*set*/) {
  return [](WorldDocument& d, const double* values, std::size_t first, std::size_t count) {
    StoreColumnsOf<TCell, Set>(d.coarse, values, first, count);
  };
}

template <typename Set>
constexpr GridField::Store Fine(Set /*set*/) {
  return [](WorldDocument& d, const double* values, std::size_t first, std::size_t count) {
    StoreColumnsOf<TFineCell, Set>(d.fine, values, first, count);
  };
}

}  // namespace

// A coarse cell holds nine fine cells; streets and development can fill all of them.
const std::array<GridField, kGridCount> kGrids{{
    {"State", false, true, ValueKind::kInteger, First(kStateFree), First(kStateCandidate),
     Coarse([](TCell& c, double v) { c.State = static_cast<CellState>(static_cast<int>(v)); }),
     nullptr},
    {"Potential", false, true, ValueKind::kFloat, 0, 0,
     Coarse([](TCell& c, double v) { c.Potential = static_cast<float>(v); }), nullptr},
    {"DevelopedCount", false, true, ValueKind::kInteger, 0, 9,
     Coarse([](TCell& c, double v) { c.DevelopedCount = static_cast<std::int32_t>(v); }), nullptr},
    {"StreetCount", false, true, ValueKind::kInteger, 0, 9,
     Coarse([](TCell& c, double v) { c.StreetCount = static_cast<std::uint8_t>(v); }), nullptr},
    {"LandUse", true, true, ValueKind::kInteger, First(kLandFree), First(kLandDeveloped),
     Fine(
         [](TFineCell& c, double v) { c.LandUse = static_cast<LandUseCode>(static_cast<int>(v)); }),
     nullptr},
    {"SubState", true, true, ValueKind::kInteger, First(kSubNone), First(kSubOpen),
     Fine([](TFineCell& c, double v) {
       c.SubState = static_cast<SubStateCode>(static_cast<int>(v));
     }),
     nullptr},
    // What a run keeps between steps beyond the published grids; files without them (older
    // ones, or written by other tools) start these from what the grids above imply.
    {"CellLandUse", false, false, ValueKind::kInteger, First(kLandFree), First(kLandDeveloped),
     Coarse([](TCell& c, double v) { c.LandUse = static_cast<LandUseCode>(static_cast<int>(v)); }),
     [](WorldDocument& d, std::size_t i) {
       TCell& cell = CoarseAt(d, i);
       cell.LandUse = cell.DevelopedCount > 0 ? kLandDeveloped : kLandFree;
     }},
    {"IsDevelopedCount", false, false, ValueKind::kInteger, 0, 9,
     Coarse([](TCell& c, double v) { c.IsDevelopedCount = static_cast<std::uint8_t>(v); }),
     nullptr},
    {"CellColor", false, false, ValueKind::kInteger, 0, kMaxColour,
     Coarse([](TCell& c, double v) { c.Color = static_cast<Colour>(v); }),
     [](WorldDocument& d, std::size_t i) {
       TCell& cell = CoarseAt(d, i);
       cell.Color = cell.State == kStateNode ? colours::kLightGrey : colours::kWhite;
     }},
    {"FinePotential", true, false, ValueKind::kFloat, 0, 0,
     Fine([](TFineCell& c, double v) { c.Potential = static_cast<float>(v); }), nullptr},
    {"IsDeveloped", true, false, ValueKind::kBool, 0, 1,
     Fine([](TFineCell& c, double v) { c.IsDeveloped = v != 0.0; }), nullptr},
    {"ClusterSize", true, false, ValueKind::kInteger, 0, kMaxInt32,
     Fine([](TFineCell& c, double v) { c.ClusterSize = static_cast<std::int32_t>(v); }), nullptr},
    {"FineColor", true, false, ValueKind::kInteger, 0, kMaxColour,
     Fine([](TFineCell& c, double v) { c.Color = static_cast<Colour>(v); }),
     [](WorldDocument& d, std::size_t i) {
       TFineCell& cell = FineAt(d, i);
       cell.Color = LandUseColour(cell);
     }},
}};

const GridField* FindGrid(const std::string& key) {
  const auto it = std::find_if(kGrids.begin(), kGrids.end(),
                               [&key](const GridField& field) { return key == field.key; });
  return it == kGrids.end() ? nullptr : &*it;
}

}  // namespace veltmoor::world_json
