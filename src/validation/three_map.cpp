#include "validation/three_map.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>
#include <random>

namespace veltmoor {

namespace {

Figure Defined(long double value) {
  return {static_cast<double>(value), {}};
}

Figure Undefined(std::string reason) {
  return {std::nullopt, std::move(reason)};
}

// numerator / denominator, or undefined for a denominator of 0.
Figure Ratio(std::uint64_t numerator, std::uint64_t denominator, const char* reason) {
  if (denominator == 0) {
    return Undefined(reason);
  }
  return Defined(static_cast<long double>(numerator) / static_cast<long double>(denominator));
}

std::uint64_t Distance(std::uint64_t a, std::uint64_t b) {
  return a > b ? a - b : b - a;
}

constexpr std::array<Outcome, 8> kOutcomeOfCode = {Outcome::kCorrectRejection,
                                                   Outcome::kFalseAlarm,
                                                   Outcome::kMiss,
                                                   Outcome::kHit,
                                                   Outcome::kBothLoss,
                                                   Outcome::kObservedLoss,
                                                   Outcome::kSimulatedLoss,
                                                   Outcome::kPersistence};

// Cohen's kappa of S against T1, from the 2 x 2 table of all cells. Exact integers decide
// whether chance agreement is total (both maps one and the same single class).
Figure KappaOf(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
  const std::uint64_t n = a + b + c + d;
  const std::uint64_t expected = (a + b) * (a + c) + (c + d) * (b + d);  // x n^2
  if (n * n == expected) {
    return Undefined("both maps hold one and the same single class: chance agreement is total");
  }
  const long double observed = static_cast<long double>(n) * static_cast<long double>(a + d);
  return Defined((observed - static_cast<long double>(expected)) /
                 (static_cast<long double>(n) * static_cast<long double>(n) -
                  static_cast<long double>(expected)));
}

// Kappa Simulation (van Vliet, Bregt & Hagen-Zanker 2011): agreement beyond what the
// transitions out of T0 would give by chance, each class of T0 changing in S and in T1 in
// the proportions it does, but at random places.
Figure KappaSimulationOf(const JointCounts& c) {
  const std::uint64_t n = c.Total();
  long double expected = 0.0L;  // x n
  bool total = true;
  for (const bool t0 : {false, true}) {
    std::uint64_t from = 0;
    std::array<std::uint64_t, 2> to_s{};
    std::array<std::uint64_t, 2> to_t1{};
    for (const bool t1 : {false, true}) {
      for (const bool s : {false, true}) {
        from += c.At(t0, t1, s);
        to_s[s ? 1 : 0] += c.At(t0, t1, s);
        to_t1[t1 ? 1 : 0] += c.At(t0, t1, s);
      }
    }
    if (from == 0) {
      continue;
    }
    const std::uint64_t products = to_s[0] * to_t1[0] + to_s[1] * to_t1[1];
    total = total && products == from * from;
    expected += static_cast<long double>(products) / static_cast<long double>(from);
  }
  if (total) {
    return Undefined(
        "every class of T0 went one and the same way in S and T1: the transitions leave "
        "nothing to chance");
  }
  const long double agreement =
      static_cast<long double>(c.At(false, false, false) + c.At(true, false, false) +
                               c.At(false, true, true) + c.At(true, true, true));
  const long double cells = static_cast<long double>(n);
  return Defined((agreement - expected) / (cells - expected));
}

}  // namespace

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kCorrectRejection:
      return "correct rejection";
    case Outcome::kHit:
      return "hit";
    case Outcome::kMiss:
      return "miss";
    case Outcome::kFalseAlarm:
      return "false alarm";
    case Outcome::kPersistence:
      return "developed persistence";
    case Outcome::kObservedLoss:
      return "observed loss";
    case Outcome::kSimulatedLoss:
      return "simulated loss";
    case Outcome::kBothLoss:
      return "loss in both";
  }
  return "unknown";
}

std::uint64_t JointCounts::Total() const {
  return std::accumulate(n.begin(), n.end(), std::uint64_t{0});
}

std::uint64_t JointCounts::Free0() const {
  return n[0] + n[1] + n[2] + n[3];
}

std::uint64_t JointCounts::Developed1() const {
  return n[2] + n[3] + n[6] + n[7];
}

std::uint64_t JointCounts::DevelopedS() const {
  return n[1] + n[3] + n[5] + n[7];
}

const std::vector<std::string>& CellFigureNames() {
  static const std::vector<std::string> names = {"FoM",
                                                 "ProducersAccuracy",
                                                 "UsersAccuracy",
                                                 "OverallAgreement",
                                                 "QuantityDisagreement",
                                                 "AllocationDisagreement",
                                                 "TotalDisagreement",
                                                 "Kappa",
                                                 "KappaSimulation",
                                                 "LeeSallee"};
  return names;
}

std::vector<NamedFigure> CellFigures(const JointCounts& c) {
  const std::uint64_t n = c.Total();
  const std::uint64_t h = c.Hits();
  const std::uint64_t m = c.Misses();
  const std::uint64_t f = c.FalseAlarms();
  // S against T1 over all cells: a both developed, b S only, c2 T1 only, d neither.
  const std::uint64_t a = c.At(false, true, true) + c.At(true, true, true);
  const std::uint64_t b = c.At(false, false, true) + c.At(true, false, true);
  const std::uint64_t c2 = c.At(false, true, false) + c.At(true, true, false);
  const std::uint64_t d = n - a - b - c2;
  const char* empty = "the maps have no cells";
  std::vector<Figure> figures = {Ratio(h, h + m + f, "no change observed or simulated"),
                                 Ratio(h, h + m, "no observed change"),
                                 Ratio(h, h + f, "no simulated change"),
                                 Ratio(a + d, n, empty),
                                 Ratio(Distance(b, c2), n, empty),
                                 Ratio(2 * std::min(b, c2), n, empty),
                                 Ratio(b + c2, n, empty),
                                 n == 0 ? Undefined(empty) : KappaOf(a, b, c2, d),
                                 n == 0 ? Undefined(empty) : KappaSimulationOf(c),
                                 Ratio(a, a + b + c2, "no cell is developed in S or T1")};
  std::vector<NamedFigure> named;
  for (std::size_t i = 0; i < figures.size(); ++i) {
    named.push_back({CellFigureNames()[i], std::move(figures[i])});
  }
  return named;
}

const std::vector<std::string>& BlockFigureNames() {
  static const std::vector<std::string> names = {"OverallAgreement", "QuantityDisagreement",
                                                 "AllocationDisagreement", "FoM"};
  return names;
}

std::vector<NamedFigure> BlockFigures(const MapComparison& map, std::size_t level) {
  const JointCounts& c = map.counts;
  const std::uint64_t n = c.Total();
  const std::uint64_t quantity = Distance(c.DevelopedS(), c.Developed1());
  const BlockCounts& block = map.levels.at(level);
  const std::uint64_t change = c.ObservedChange() + c.SimulatedChange();
  const char* empty = "the maps have no cells";
  return {{"OverallAgreement", Ratio(n - block.disagreement, n, empty)},
          {"QuantityDisagreement", Ratio(quantity, n, empty)},
          {"AllocationDisagreement", Ratio(block.disagreement - quantity, n, empty)},
          {"FoM", Ratio(block.hits, change - block.hits, "no change observed or simulated")}};
}

namespace {

// A block's cell counts; a block holds at most 2^32 - 1 cells (the caller refuses larger maps).
struct BlockSums {
  std::uint32_t reference = 0;  // developed in T1
  std::uint32_t simulated = 0;  // developed in S
  std::uint32_t original = 0;   // developed in T0
  std::uint32_t observed = 0;   // observed change
  std::uint32_t change = 0;     // simulated change
};

// 53 random bits as a double in [0, 1): the same value on every platform.
double Uniform(std::mt19937_64& engine) {
  return static_cast<double>(engine() >> 11) * 0x1.0p-53;
}

// A uniform integer below `bound` (> 0), by rejection from the next power of two: exact and
// the same on every platform.
std::uint64_t Below(std::mt19937_64& engine, std::uint64_t bound) {
  const std::uint64_t mask = std::bit_ceil(bound) - 1;
  for (;;) {
    const std::uint64_t x = engine() & mask;
    if (x < bound) {
      return x;
    }
  }
}

// How many of `draws` cells chosen without replacement from `population` fall among the
// `group` cells of one part of it: the hypergeometric distribution, by inversion over the
// relative weights of its values, each from its neighbour by the exact ratio of binomial
// coefficients. Values whose weight is below 1e-30 of the mode's are never drawn: their
// whole mass lies below the resolution of a 53-bit uniform.
std::uint64_t Hypergeometric(std::mt19937_64& engine, std::uint64_t population, std::uint64_t group,
                             std::uint64_t draws, std::vector<double>& weights) {
  const std::uint64_t rest = population - group;
  const std::uint64_t low = draws > rest ? draws - rest : 0;
  const std::uint64_t high = std::min(group, draws);
  if (low == high) {
    return low;
  }
  const auto mode = std::clamp(static_cast<std::uint64_t>(static_cast<long double>(draws + 1) *
                                                          static_cast<long double>(group + 1) /
                                                          static_cast<long double>(population + 2)),
                               low, high);
  constexpr double kNegligible = 1e-30;
  // Below the mode, outwards (kept in reverse), then the mode and above it.
  weights.clear();
  std::uint64_t first = mode;
  for (double w = 1.0; first > low;) {
    const double x = static_cast<double>(first);
    w *= x * static_cast<double>(rest - draws + first) /
         (static_cast<double>(group - first + 1) * static_cast<double>(draws - first + 1));
    if (w < kNegligible) {
      break;
    }
    weights.push_back(w);
    --first;
  }
  std::reverse(weights.begin(), weights.end());
  weights.push_back(1.0);
  for (std::uint64_t x = mode; x < high; ++x) {
    const double w = weights.back() * static_cast<double>(group - x) *
                     static_cast<double>(draws - x) /
                     (static_cast<double>(x + 1) * static_cast<double>(rest - draws + x + 1));
    if (w < kNegligible) {
      break;
    }
    weights.push_back(w);
  }
  double total = 0.0;
  for (const double w : weights) {
    total += w;
  }
  double u = Uniform(engine) * total;
  for (std::size_t i = 0; i + 1 < weights.size(); ++i) {
    if (u < weights[i]) {
      return first + i;
    }
    u -= weights[i];
  }
  return first + weights.size() - 1;
}

// Marks `chosen` of `count` positions, every set of that size equally likely: distinct draws
// by rejection, of the unchosen positions when they are the fewer, so a draw is rejected at
// most half the time.
void ChooseSubset(std::mt19937_64& engine, std::uint64_t count, std::uint64_t chosen,
                  std::vector<std::uint64_t>& bits) {
  const bool invert = 2 * chosen > count;
  bits.assign((count + 63) / 64, 0);
  for (std::uint64_t marked = 0, wanted = invert ? count - chosen : chosen; marked < wanted;) {
    const std::uint64_t i = Below(engine, count);
    std::uint64_t& word = bits[i / 64];
    const std::uint64_t bit = std::uint64_t{1} << (i % 64);
    if ((word & bit) == 0) {
      word |= bit;
      ++marked;
    }
  }
  if (invert) {
    for (std::uint64_t& word : bits) {
      word = ~word;
    }
    if (count % 64 != 0) {
      bits.back() &= (std::uint64_t{1} << (count % 64)) - 1;
    }
  }
}

// One random allocation of the simulated change among the cells free in T0, every set of
// that size equally likely. It is drawn two rows at a time (a row of the 2 x 2 blocks): how
// many of the change fall among the free cells of those rows (hypergeometric), then which
// of them. So the cost follows the change placed, not a random draw per free cell per
// allocation, and the choice is still exactly a uniform sample of the free cells.
struct RandomAllocation {
  std::mt19937_64 engine;
  std::uint64_t remaining = 0;  // free cells in the rows not yet drawn
  std::uint64_t needed = 0;     // change still to place
  std::uint64_t hits = 0;
  std::uint64_t false_alarms = 0;
};

class Pass {
 public:
  Pass(ThreeMapComparison& result, std::span<const std::uint64_t> seeds, std::uint64_t free0,
       std::uint64_t simulated_change)
      : result_(result), seeds_(seeds.size()) {
    const int longest = std::max(result.columns, result.rows);
    result.blocks.push_back(1);
    while (result.blocks.back() < longest) {
      result.blocks.push_back(result.blocks.back() * 2);
    }
    const std::size_t levels = result.blocks.size();
    sums_.resize(levels);
    random_sums_.resize(levels);
    for (std::size_t level = 1; level < levels; ++level) {
      const auto width = static_cast<std::size_t>((result.columns + result.blocks[level] - 1) /
                                                  result.blocks[level]);
      sums_[level].assign(width, {});
      random_sums_[level].assign(width * seeds_, 0);
    }
    result.model.levels.assign(levels, {});
    result.null_model.levels.assign(levels, {});
    for (const std::uint64_t seed : seeds) {
      allocations_.push_back({std::mt19937_64(seed), free0, simulated_change, 0, 0});
    }
    result.randoms.assign(seeds_, MapComparison{{}, std::vector<BlockCounts>(levels)});
  }

  void Cell(int column, int row, bool t0, bool t1, bool s, std::uint8_t* outcome) {
    const int code = JointCounts::Index(t0, t1, s);
    ++result_.model.counts.n[static_cast<std::size_t>(code)];
    if (outcome != nullptr) {
      *outcome = static_cast<std::uint8_t>(kOutcomeOfCode[static_cast<std::size_t>(code)]);
    }
    if (t0 && !(t1 && s)) {
      auto& examples = result_.losses[t1 ? 1 : (s ? 0 : 2)];
      if (examples.size() < ThreeMapComparison::kLossExamples) {
        examples.push_back({column, row});
      }
    }
    BlockSums* block =
        sums_.size() > 1 ? &sums_[1][static_cast<std::size_t>(column >> 1)] : nullptr;
    if (block != nullptr) {
      block->reference += t1 ? 1 : 0;
      block->simulated += s ? 1 : 0;
      block->original += t0 ? 1 : 0;
      block->observed += (!t0 && t1) ? 1 : 0;
      block->change += (!t0 && s) ? 1 : 0;
    }
    if (!t0 && seeds_ > 0) {
      free_cells_.push_back(static_cast<std::uint32_t>(column) << 1 | (t1 ? 1U : 0U));
    }
  }

  // Blocks whose last row this was are scored and handed up to the next block size.
  void EndRow(int row) {
    if (row % 2 == 1 || row + 1 == result_.rows) {
      Allocate();
    }
    for (std::size_t level = 1; level < sums_.size(); ++level) {
      const int block = result_.blocks[level];
      if ((row + 1) % block != 0 && row + 1 != result_.rows) {
        break;
      }
      Flush(level);
    }
  }

  void Finish() {
    JointCounts& model = result_.model.counts;
    result_.model.levels[0] = CellLevel(model);
    JointCounts& null_counts = result_.null_model.counts;
    for (const bool t0 : {false, true}) {
      for (const bool t1 : {false, true}) {
        null_counts.At(t0, t1, t0) = model.At(t0, t1, false) + model.At(t0, t1, true);
      }
    }
    result_.null_model.levels[0] = CellLevel(null_counts);
    for (std::size_t k = 0; k < seeds_; ++k) {
      JointCounts& r = result_.randoms[k].counts;
      for (const bool t1 : {false, true}) {
        r.At(true, t1, true) = model.At(true, t1, false) + model.At(true, t1, true);
      }
      r.At(false, true, true) = allocations_[k].hits;
      r.At(false, true, false) = model.ObservedChange() - allocations_[k].hits;
      r.At(false, false, true) = allocations_[k].false_alarms;
      r.At(false, false, false) =
          model.FalseAlarms() + model.CorrectRejections() - allocations_[k].false_alarms;
      result_.randoms[k].levels[0] = CellLevel(r);
    }
  }

 private:
  static BlockCounts CellLevel(const JointCounts& c) {
    std::uint64_t disagreement = 0;
    for (const bool t0 : {false, true}) {
      disagreement += c.At(t0, false, true) + c.At(t0, true, false);
    }
    return {disagreement, c.Hits()};
  }

  void Flush(std::size_t level) {
    std::vector<BlockSums>& sums = sums_[level];
    std::vector<std::uint32_t>& randoms = random_sums_[level];
    const bool up = level + 1 < sums_.size();
    for (std::size_t i = 0; i < sums.size(); ++i) {
      BlockSums& b = sums[i];
      BlockCounts& model = result_.model.levels[level];
      model.disagreement += Distance(b.simulated, b.reference);
      model.hits += std::min(b.observed, b.change);
      result_.null_model.levels[level].disagreement += Distance(b.original, b.reference);
      for (std::size_t k = 0; k < seeds_; ++k) {
        std::uint32_t& change = randoms[i * seeds_ + k];
        BlockCounts& random = result_.randoms[k].levels[level];
        random.disagreement += Distance(std::uint64_t{b.original} + change, b.reference);
        random.hits += std::min(b.observed, change);
        if (up) {
          random_sums_[level + 1][(i >> 1) * seeds_ + k] += change;
        }
        change = 0;
      }
      if (up) {
        BlockSums& parent = sums_[level + 1][i >> 1];
        parent.reference += b.reference;
        parent.simulated += b.simulated;
        parent.original += b.original;
        parent.observed += b.observed;
        parent.change += b.change;
      }
      b = {};
    }
  }

  // Each random allocation places its share of the change among the free cells of the rows
  // just passed, into the sums of their 2 x 2 blocks.
  void Allocate() {
    const std::uint64_t count = free_cells_.size();
    std::uint32_t* sums = random_sums_.size() > 1 ? random_sums_[1].data() : nullptr;
    for (std::size_t k = 0; k < seeds_; ++k) {
      RandomAllocation& a = allocations_[k];
      const std::uint64_t chosen = Hypergeometric(a.engine, a.remaining, count, a.needed, weights_);
      a.remaining -= count;
      a.needed -= chosen;
      if (chosen == 0) {
        continue;
      }
      ChooseSubset(a.engine, count, chosen, chosen_);
      for (std::size_t w = 0; w < chosen_.size(); ++w) {
        for (std::uint64_t word = chosen_[w]; word != 0; word &= word - 1) {
          const std::uint32_t cell = free_cells_[w * 64 + std::countr_zero(word)];
          const std::uint64_t changed = cell & 1U;
          a.hits += changed;
          a.false_alarms += 1 - changed;
          if (sums != nullptr) {
            ++sums[static_cast<std::size_t>(cell >> 2) * seeds_ + k];
          }
        }
      }
    }
    free_cells_.clear();
  }

  ThreeMapComparison& result_;
  std::size_t seeds_;
  std::vector<std::uint32_t> free_cells_;  // of the rows not yet allocated: column << 1 | T1
  std::vector<double> weights_;
  std::vector<std::uint64_t> chosen_;
  std::vector<std::vector<BlockSums>> sums_;             // [level][block column]
  std::vector<std::vector<std::uint32_t>> random_sums_;  // [level][block column * seeds + k]
  std::vector<RandomAllocation> allocations_;
};

}  // namespace

ThreeMapComparison CompareThreeMaps(const MaskView& original, const MaskView& reference,
                                    const MaskView& simulated,
                                    std::span<const std::uint64_t> baseline_seeds,
                                    std::span<std::uint8_t> outcome) {
  ThreeMapComparison result;
  result.columns = original.columns;
  result.rows = original.rows;
  const std::size_t cells = original.cells.size();
  // The random allocations need the simulated quantity of change before the first cell.
  std::uint64_t free0 = 0;
  std::uint64_t simulated_change = 0;
  for (std::size_t i = 0; i < cells; ++i) {
    const bool free = original.cells[i] == 0;
    free0 += free ? 1 : 0;
    simulated_change += (free && simulated.cells[i] != 0) ? 1 : 0;
  }
  Pass pass(result, baseline_seeds, free0, simulated_change);
  std::uint8_t* out = outcome.empty() ? nullptr : outcome.data();
  std::size_t i = 0;
  for (int row = 0; row < original.rows; ++row) {
    for (int column = 0; column < original.columns; ++column, ++i) {
      pass.Cell(column, row, original.cells[i] != 0, reference.cells[i] != 0,
                simulated.cells[i] != 0, out == nullptr ? nullptr : out + i);
    }
    pass.EndRow(row);
  }
  pass.Finish();
  const JointCounts& c = result.model.counts;
  if (free0 > 0) {
    result.random_expected_hits = static_cast<double>(
        static_cast<long double>(c.SimulatedChange()) *
        static_cast<long double>(c.ObservedChange()) / static_cast<long double>(free0));
  }
  return result;
}

Spread SpreadOf(const std::vector<Figure>& figures) {
  std::vector<long double> values;
  std::string reason;
  for (const Figure& f : figures) {
    if (f.value) {
      values.push_back(*f.value);
    } else if (reason.empty()) {
      reason = f.undefined_because;
    }
  }
  if (values.empty()) {
    const std::string why = figures.empty() ? std::string("no baseline runs") : reason;
    return {Undefined(why), Undefined(why)};
  }
  const long double mean =
      std::accumulate(values.begin(), values.end(), 0.0L) / static_cast<long double>(values.size());
  if (values.size() < 2) {
    return {Defined(mean), Undefined("one baseline run has no spread")};
  }
  long double squares = 0.0L;
  for (const long double v : values) {
    squares += (v - mean) * (v - mean);
  }
  return {Defined(mean), Defined(std::sqrt(squares / static_cast<long double>(values.size() - 1)))};
}

}  // namespace veltmoor
