// Where a town grew against where a model put it: the three-map comparison of an original
// map (T0), a later reference map (T1) and a simulated map (S) of developed and free cells,
// with the land-change literature's statistics, at the cells' own resolution and at blocks
// of 2, 4, 8 ... cells, beside a null model (S = T0) and random allocations of the
// simulated change.
//
// The maps are plain developed masks (nonzero = developed), row by row; reading them from
// files is another layer's business.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltmoor {

struct MaskView {
  int columns = 0;
  int rows = 0;
  std::span<const std::uint8_t> cells;  // columns * rows, row by row
};

// What a cell did from T0 to T1 and to S, the classes of the outcome map.
enum class Outcome : std::uint8_t {
  kCorrectRejection = 0,  // free in T0, T1 and S
  kHit = 1,               // free in T0, developed in T1 and S
  kMiss = 2,              // free in T0, developed in T1 only
  kFalseAlarm = 3,        // free in T0, developed in S only
  kPersistence = 4,       // developed in T0, T1 and S
  kObservedLoss = 5,      // developed in T0 and S, free in T1
  kSimulatedLoss = 6,     // developed in T0 and T1, free in S
  kBothLoss = 7,          // developed in T0 only
};
inline constexpr int kOutcomeCount = 8;
const char* OutcomeName(Outcome outcome);

// Cells by their state in T0, T1 and S: every cell-level statistic is a function of these
// eight counts.
struct JointCounts {
  std::array<std::uint64_t, 8> n{};  // index t0 * 4 + t1 * 2 + s

  std::uint64_t At(bool t0, bool t1, bool s) const { return n[Index(t0, t1, s)]; }
  std::uint64_t& At(bool t0, bool t1, bool s) { return n[Index(t0, t1, s)]; }
  std::uint64_t Total() const;
  std::uint64_t Hits() const { return At(false, true, true); }
  std::uint64_t Misses() const { return At(false, true, false); }
  std::uint64_t FalseAlarms() const { return At(false, false, true); }
  std::uint64_t CorrectRejections() const { return At(false, false, false); }
  std::uint64_t ObservedChange() const { return Hits() + Misses(); }
  std::uint64_t SimulatedChange() const { return Hits() + FalseAlarms(); }
  std::uint64_t Free0() const;       // free in T0
  std::uint64_t Developed1() const;  // developed in T1
  std::uint64_t DevelopedS() const;  // developed in S

  static constexpr int Index(bool t0, bool t1, bool s) {
    return (t0 ? 4 : 0) + (t1 ? 2 : 0) + (s ? 1 : 0);
  }
};

// A statistic, or why it has no value (a ratio of nothing to nothing).
struct Figure {
  std::optional<double> value;
  std::string undefined_because;  // empty when there is a value
};

struct NamedFigure {
  std::string name;
  Figure figure;
};

// The cell-level statistics, in a fixed order: FoM, ProducersAccuracy, UsersAccuracy
// (change over cells free in T0), OverallAgreement, QuantityDisagreement,
// AllocationDisagreement, TotalDisagreement, Kappa, KappaSimulation, LeeSallee (all cells).
std::vector<NamedFigure> CellFigures(const JointCounts& counts);
const std::vector<std::string>& CellFigureNames();

// The disagreement and hits of one map at one block size: at blocks, a cell agrees as far as
// the block's shares of developed land agree (Pontius' multiple-resolution comparison), and
// change hits as far as the block's observed and simulated change overlap.
struct BlockCounts {
  std::uint64_t disagreement = 0;  // sum over blocks of |S developed - T1 developed|
  std::uint64_t hits = 0;          // sum over blocks of min(observed, simulated change)
};

// One simulated map against T0 and T1.
struct MapComparison {
  JointCounts counts;
  std::vector<BlockCounts> levels;  // one per block size of the comparison, the cells first
};

// The block statistics of a map: OverallAgreement, QuantityDisagreement,
// AllocationDisagreement, FoM.
std::vector<NamedFigure> BlockFigures(const MapComparison& map, std::size_t level);
const std::vector<std::string>& BlockFigureNames();

struct CellPosition {
  int column = 0;
  int row = 0;
};

struct ThreeMapComparison {
  int columns = 0;
  int rows = 0;
  std::vector<int> blocks;  // 1, 2, 4, ... up to the block that holds the whole map
  MapComparison model;
  MapComparison null_model;            // S = T0
  std::vector<MapComparison> randoms;  // one per baseline seed
  // The first cells of each kind of loss of developed land (observed, simulated, both), so a
  // reader can find them; the counts are in model.counts.
  static constexpr std::size_t kLossExamples = 10;
  std::array<std::vector<CellPosition>, 3> losses;
  // The hits a random allocation has on average: simulated change x observed change over
  // cells free in T0 (a hypergeometric mean).
  std::optional<double> random_expected_hits;
};

// Compares in one pass over the maps. Each random baseline allocates the model's simulated
// change among the cells free in T0, uniformly, from one 64-bit seed. `outcome` is empty or
// has a byte per cell for the Outcome of each. The maps must have one shape (the caller
// checks and says what differs).
ThreeMapComparison CompareThreeMaps(const MaskView& original, const MaskView& reference,
                                    const MaskView& simulated,
                                    std::span<const std::uint64_t> baseline_seeds,
                                    std::span<std::uint8_t> outcome);

// Mean and sample standard deviation of a figure over the baselines where it is defined.
struct Spread {
  Figure mean;
  Figure sd;
};
Spread SpreadOf(const std::vector<Figure>& figures);

}  // namespace veltmoor
