#include "analysis/landscape_metrics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace veltmoor {

namespace {

constexpr double kSquareMetresPerHectare = 10000.0;

// Union-find over the provisional labels of the scan; the smaller label stays the root, so
// patches keep the order in which their first cell comes up.
class LabelSets {
 public:
  std::int32_t Make() {
    const auto label = static_cast<std::int32_t>(parent_.size());
    parent_.push_back(label);
    return label;
  }
  std::int32_t Find(std::int32_t label) {
    while (parent_[static_cast<std::size_t>(label)] != label) {
      std::int32_t& up = parent_[static_cast<std::size_t>(label)];
      up = parent_[static_cast<std::size_t>(up)];
      label = up;
    }
    return label;
  }
  void Unite(std::int32_t a, std::int32_t b) {
    a = Find(a);
    b = Find(b);
    if (a != b) {
      parent_[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
    }
  }
  std::size_t Size() const { return parent_.size(); }

 private:
  std::vector<std::int32_t> parent_;
};

struct Patch {
  std::uint64_t cells = 0;
  std::uint64_t sides = 0;  // perimeter in cell sides, the landscape border and holes included
};

// Side pairs of 4-adjacent cells inside the landscape, each pair counted once.
struct Tallies {
  std::uint64_t cells = 0;
  std::uint64_t developed = 0;
  std::uint64_t like_pairs = 0;    // developed | developed
  std::uint64_t mixed_pairs = 0;   // developed | free
  std::uint64_t free_pairs = 0;    // free | free
  std::uint64_t border_sides = 0;  // sides of developed cells on the landscape border
};

// The cells of each patch that touch free land on a side: the nearest cell of another patch
// is always one of these (a step towards the other end of the shortest pair would otherwise
// stay inside the patch and be shorter).
struct BorderCell {
  std::int32_t column = 0;
  std::int32_t row = 0;
  std::int32_t patch = 0;
};

struct Labelling {
  std::vector<Patch> patches;            // in the order their first cell is scanned
  std::vector<BorderCell> border_cells;  // in scan order; only when asked for
  Tallies tallies;
};

// Labels patches in one scan that keeps the labels of two rows only: the metrics need each
// patch's sums and its border cells, not a label for every cell (40 MB beside the mask of a
// 10 M-cell map).
class Labeller {
 public:
  Labeller(const LandscapeMask& mask, int rule, bool border_cells)
      : mask_(mask),
        rule_(rule),
        border_cells_(border_cells),
        above_(static_cast<std::size_t>(mask.columns), -1),
        row_(static_cast<std::size_t>(mask.columns), -1) {
    if (border_cells_) {
      result_.border_cells.reserve(CountBorderCells());
    }
  }

  Labelling Run() {
    for (int r = 0; r < mask_.rows; ++r) {
      std::fill(row_.begin(), row_.end(), -1);
      for (int c = 0; c < mask_.columns; ++c) {
        if (Developed(c, r)) {
          VisitDeveloped(c, r);
        } else {
          VisitFree(c, r);
        }
      }
      std::swap(above_, row_);
    }
    Resolve();
    result_.tallies.cells = mask_.developed.size();
    return std::move(result_);
  }

 private:
  std::size_t Index(int c, int r) const {
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(mask_.columns) +
           static_cast<std::size_t>(c);
  }
  bool Inside(int c, int r) const {
    return c >= 0 && r >= 0 && c < mask_.columns && r < mask_.rows;
  }
  bool Developed(int c, int r) const { return mask_.developed[Index(c, r)] != 0; }
  bool FreeAt(int c, int r) const { return Inside(c, r) && !Developed(c, r); }
  bool OnBorder(int c, int r) const {
    return FreeAt(c - 1, r) || FreeAt(c + 1, r) || FreeAt(c, r - 1) || FreeAt(c, r + 1);
  }

  // The border cells are counted first so that their list is allocated once, at its size.
  std::size_t CountBorderCells() const {
    std::size_t count = 0;
    for (int r = 0; r < mask_.rows; ++r) {
      for (int c = 0; c < mask_.columns; ++c) {
        count += static_cast<std::size_t>(Developed(c, r) && OnBorder(c, r));
      }
    }
    return count;
  }

  void VisitFree(int c, int r) {
    Tallies& t = result_.tallies;
    t.free_pairs += static_cast<std::uint64_t>(c + 1 < mask_.columns && !Developed(c + 1, r)) +
                    static_cast<std::uint64_t>(r + 1 < mask_.rows && !Developed(c, r + 1));
  }

  void VisitDeveloped(int c, int r) {
    Tallies& t = result_.tallies;
    ++t.developed;
    int like = 0;
    bool border = false;
    constexpr std::array<std::pair<int, int>, 4> kSides = {{{1, 0}, {0, 1}, {-1, 0}, {0, -1}}};
    for (const auto& [dc, dr] : kSides) {
      if (!Inside(c + dc, r + dr)) {
        ++t.border_sides;
      } else if (Developed(c + dc, r + dr)) {
        ++like;
        // Each like pair once, from its left or upper cell.
        t.like_pairs += static_cast<std::uint64_t>(dc + dr > 0);
      } else {
        ++t.mixed_pairs;
        border = true;
      }
    }
    const std::int32_t label = LabelFromScannedNeighbours(c, r);
    row_[static_cast<std::size_t>(c)] = label;
    Patch& patch = provisional_[static_cast<std::size_t>(label)];
    ++patch.cells;
    patch.sides += static_cast<std::uint64_t>(4 - like);
    if (border && border_cells_) {
      result_.border_cells.push_back({c, r, label});
    }
  }

  // The label of a scanned cell: this row's to the left, the row above's otherwise.
  std::int32_t ScannedLabel(int column, bool this_row) const {
    return (this_row ? row_ : above_)[static_cast<std::size_t>(column)];
  }

  // The neighbours the scan has passed: left and above, and for the 8 rule the two upper
  // corners.
  std::int32_t LabelFromScannedNeighbours(int c, int r) {
    constexpr std::array<std::pair<int, int>, 4> kScanned = {{{-1, 0}, {0, -1}, {-1, -1}, {1, -1}}};
    const std::size_t count = rule_ == 8 ? 4 : 2;
    std::int32_t label = -1;
    for (std::size_t k = 0; k < count; ++k) {
      const int nc = c + kScanned[k].first;
      const int nr = r + kScanned[k].second;
      if (!Inside(nc, nr) || !Developed(nc, nr)) {
        continue;
      }
      const std::int32_t other = ScannedLabel(nc, nr == r);
      if (label < 0) {
        label = other;
      } else {
        sets_.Unite(label, other);
      }
    }
    if (label < 0) {
      label = sets_.Make();
      provisional_.emplace_back();
    }
    return label;
  }

  void Resolve() {
    std::vector<std::int32_t> patch_of(sets_.Size(), -1);
    for (std::size_t k = 0; k < sets_.Size(); ++k) {
      const auto root = static_cast<std::size_t>(sets_.Find(static_cast<std::int32_t>(k)));
      if (patch_of[root] < 0) {
        patch_of[root] = static_cast<std::int32_t>(result_.patches.size());
        result_.patches.emplace_back();
      }
      patch_of[k] = patch_of[root];
      Patch& patch = result_.patches[static_cast<std::size_t>(patch_of[k])];
      patch.cells += provisional_[k].cells;
      patch.sides += provisional_[k].sides;
    }
    for (BorderCell& cell : result_.border_cells) {
      cell.patch = patch_of[static_cast<std::size_t>(cell.patch)];
    }
  }

  const LandscapeMask& mask_;
  int rule_;
  bool border_cells_;
  std::vector<std::int32_t> above_;  // labels of the row above, -1 for free cells
  std::vector<std::int32_t> row_;    // labels of this row so far
  LabelSets sets_;
  std::vector<Patch> provisional_;
  Labelling result_;
};

// Border cells filed in square buckets, for the search outward from one cell.
class BorderBuckets {
 public:
  static constexpr std::int32_t kEmpty = -2;
  static constexpr std::int32_t kMixed = -1;

  // With `file_cells` the cells are sorted into their buckets in place (a copy would double
  // the largest list the metrics hold) and read from `cells` later; without, the buckets
  // only know which patch they hold, enough for a coarse look ahead.
  BorderBuckets(const LandscapeMask& mask, std::vector<BorderCell>& cells, int side,
                bool file_cells)
      : side_(side),
        columns_((mask.columns + side - 1) / side),
        rows_((mask.rows + side - 1) / side) {
    const std::size_t count = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
    sole_.assign(count, kEmpty);
    for (const BorderCell& cell : cells) {
      const std::size_t b = BucketOf(cell);
      sole_[b] = sole_[b] == kEmpty || sole_[b] == cell.patch ? cell.patch : kMixed;
    }
    if (!file_cells) {
      return;
    }
    start_.assign(count + 1, 0);
    for (const BorderCell& cell : cells) {
      ++start_[BucketOf(cell) + 1];
    }
    for (std::size_t b = 0; b < count; ++b) {
      start_[b + 1] += start_[b];
    }
    // Each cell is swapped into the next free place of its bucket until every bucket's
    // range holds only its own.
    std::vector<std::size_t> next(start_.begin(), start_.end() - 1);
    for (std::size_t b = 0; b < count; ++b) {
      while (next[b] < start_[b + 1]) {
        const std::size_t to = BucketOf(cells[next[b]]);
        if (to == b) {
          ++next[b];
        } else {
          std::swap(cells[next[b]], cells[next[to]++]);
        }
      }
    }
    cells_ = &cells;
  }

  int Side() const { return side_; }
  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  std::size_t BucketOf(const BorderCell& cell) const {
    return static_cast<std::size_t>(cell.row / side_) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(cell.column / side_);
  }
  // Whether bucket (bc, br) holds a cell of a patch other than `patch`.
  bool Foreign(std::int32_t patch, int bc, int br) const {
    const std::int32_t sole =
        sole_[static_cast<std::size_t>(br) * static_cast<std::size_t>(columns_) +
              static_cast<std::size_t>(bc)];
    return sole != kEmpty && sole != patch;
  }
  // Squared distance from `from` to the nearest cell of bucket (bc, br) outside `patch`,
  // or `best` when none is nearer. Only for buckets that filed their cells.
  std::int64_t Nearest(const BorderCell& from, int bc, int br, std::int64_t best) const {
    const std::size_t b = static_cast<std::size_t>(br) * static_cast<std::size_t>(columns_) +
                          static_cast<std::size_t>(bc);
    if (sole_[b] == kEmpty || sole_[b] == from.patch) {
      return best;
    }
    for (std::size_t k = start_[b]; k < start_[b + 1]; ++k) {
      const BorderCell& cell = (*cells_)[k];
      if (cell.patch != from.patch) {
        const std::int64_t dc = cell.column - from.column;
        const std::int64_t dr = cell.row - from.row;
        best = std::min(best, dc * dc + dr * dr);
      }
    }
    return best;
  }

 private:
  int side_;
  int columns_;
  int rows_;
  std::vector<std::size_t> start_;
  std::vector<std::int32_t> sole_;
  const std::vector<BorderCell>* cells_ = nullptr;
};

// Calls visit(c, r) for the buckets of ring k (Chebyshev distance k) around (bc, br).
template <typename Visit>
void ForRing(const BorderBuckets& buckets, int bc, int br, int k, Visit visit) {
  if (k == 0) {
    visit(bc, br);
    return;
  }
  for (int c = std::max(0, bc - k); c <= std::min(buckets.Columns() - 1, bc + k); ++c) {
    if (br - k >= 0) {
      visit(c, br - k);
    }
    if (br + k < buckets.Rows()) {
      visit(c, br + k);
    }
  }
  for (int r = std::max(0, br - k + 1); r <= std::min(buckets.Rows() - 1, br + k - 1); ++r) {
    if (bc - k >= 0) {
      visit(bc - k, r);
    }
    if (bc + k < buckets.Columns()) {
      visit(bc + k, r);
    }
  }
}

int Rings(const BorderBuckets& buckets, int bc, int br) {
  return std::max({bc, br, buckets.Columns() - 1 - bc, buckets.Rows() - 1 - br});
}

// Cells of ring k lie at least this many cells (Chebyshev) from a cell in the centre bucket.
std::int64_t RingGap(int k, int side) {
  return k == 0 ? 0 : static_cast<std::int64_t>(k - 1) * side + 1;
}

// The first ring of the coarse buckets that holds another patch: no fine ring nearer than it
// needs a look, which spares a patch far from all others a search through empty land.
// Returns -1 when no ring within `best` holds one.
int FirstFineRing(const BorderBuckets& coarse, const BorderBuckets& fine, const BorderCell& from,
                  std::int64_t best) {
  const int bc = from.column / coarse.Side();
  const int br = from.row / coarse.Side();
  const int rings = Rings(coarse, bc, br);
  for (int k = 0; k <= rings; ++k) {
    const std::int64_t gap = RingGap(k, coarse.Side());
    if (gap * gap >= best) {
      return -1;
    }
    bool found = false;
    ForRing(coarse, bc, br, k,
            [&](int c, int r) { found = found || coarse.Foreign(from.patch, c, r); });
    if (found) {
      return static_cast<int>(std::max<std::int64_t>(0, gap / fine.Side() - 1));
    }
  }
  return -1;
}

// Squared distance from `from` to the nearest border cell of another patch, searched ring
// by ring of buckets until no nearer cell can lie further out than `best`.
std::int64_t NearestOtherPatch(const BorderBuckets& coarse, const BorderBuckets& fine,
                               const BorderCell& from, std::int64_t best) {
  const int first = FirstFineRing(coarse, fine, from, best);
  if (first < 0) {
    return best;
  }
  const int bc = from.column / fine.Side();
  const int br = from.row / fine.Side();
  const int rings = Rings(fine, bc, br);
  for (int k = first; k <= rings; ++k) {
    const std::int64_t gap = RingGap(k, fine.Side());
    if (gap * gap >= best) {
      break;
    }
    ForRing(fine, bc, br, k, [&](int c, int r) { best = fine.Nearest(from, c, r, best); });
  }
  return best;
}

// The Euclidean nearest-neighbour distance of every patch, in cells, centre to centre.
// The labelling's border cells are reordered by bucket.
std::vector<double> NearestNeighbourDistances(const LandscapeMask& mask, Labelling& labelling,
                                              int rule) {
  std::vector<BorderCell>& cells = labelling.border_cells;
  const BorderBuckets coarse(mask, cells, 64, false);
  const BorderBuckets fine(mask, cells, 8, true);
  // Two patches are never nearer than this: closer cells would join them.
  const std::int64_t closest_possible = rule == 8 ? 4 : 2;
  std::vector<std::int64_t> best(labelling.patches.size(),
                                 std::numeric_limits<std::int64_t>::max());
  // A search only lowers its patch's best to the exact nearest distance from its cell, so
  // the order of the cells changes the work, never the distances.
  for (const BorderCell& cell : cells) {
    std::int64_t& own = best[static_cast<std::size_t>(cell.patch)];
    if (own > closest_possible) {
      own = NearestOtherPatch(coarse, fine, cell, own);
    }
  }
  std::vector<double> distances;
  distances.reserve(best.size());
  for (const std::int64_t d : best) {
    distances.push_back(std::sqrt(static_cast<double>(d)));
  }
  return distances;
}

// The largest number of like side pairs A cells can share (a shape as near a square as
// they can make), the AI denominator.
double MostLikePairs(std::uint64_t cells) {
  const auto n = static_cast<std::uint64_t>(std::floor(std::sqrt(static_cast<double>(cells))));
  const std::uint64_t m = cells - n * n;
  const std::uint64_t square = n == 0 ? 0 : 2 * n * (n - 1);
  if (m == 0) {
    return static_cast<double>(square);
  }
  return static_cast<double>(square + 2 * m - (m <= n ? 1 : 2));
}

// CONTAG of the two-class landscape: adjacencies double counted, the border left out.
std::optional<double> Contagion(const Tallies& t) {
  if (t.developed == 0 || t.developed == t.cells) {
    return std::nullopt;  // one class only
  }
  const double cells = static_cast<double>(t.cells);
  const double p_developed = static_cast<double>(t.developed) / cells;
  const double like[2] = {2.0 * static_cast<double>(t.like_pairs),
                          2.0 * static_cast<double>(t.free_pairs)};
  const double share[2] = {p_developed, 1.0 - p_developed};
  const auto mixed = static_cast<double>(t.mixed_pairs);
  double sum = 0.0;
  for (int i = 0; i < 2; ++i) {
    const double total = like[i] + mixed;
    if (total == 0.0) {
      continue;
    }
    for (const double g : {like[i], mixed}) {
      const double term = share[i] * g / total;
      sum += term > 0.0 ? term * std::log(term) : 0.0;
    }
  }
  return (1.0 + sum / (2.0 * std::log(2.0))) * 100.0;
}

// PAFRAC: 2 / slope of ln(area) regressed on ln(perimeter), for 10 patches or more.
std::optional<double> PerimeterAreaFractal(const std::vector<Patch>& patches, double cell) {
  if (patches.size() < 10) {
    return std::nullopt;
  }
  double sx = 0.0;
  double sy = 0.0;
  double sxx = 0.0;
  double sxy = 0.0;
  for (const Patch& p : patches) {
    const double x = std::log(static_cast<double>(p.sides) * cell);
    const double y = std::log(static_cast<double>(p.cells) * cell * cell);
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  const double n = static_cast<double>(patches.size());
  const double spread = n * sxx - sx * sx;
  const double slope = spread == 0.0 ? 0.0 : (n * sxy - sx * sy) / spread;
  if (slope == 0.0 || !std::isfinite(slope)) {
    return std::nullopt;
  }
  return 2.0 / slope;
}

void ShapeMetrics(const std::vector<Patch>& patches, double cell, LandscapeMetrics& out) {
  double frac_sum = 0.0;
  double frac_weighted = 0.0;
  double weight = 0.0;
  std::size_t defined = 0;
  for (const Patch& p : patches) {
    const double area = static_cast<double>(p.cells) * cell * cell;
    const double log_area = std::log(area);
    if (log_area == 0.0) {
      continue;  // a patch of exactly 1 m²: ln a = 0 leaves FRAC undefined
    }
    const double frac = 2.0 * std::log(0.25 * static_cast<double>(p.sides) * cell) / log_area;
    frac_sum += frac;
    frac_weighted += frac * area;
    weight += area;
    ++defined;
  }
  if (defined > 0) {
    out.FRAC_MN = frac_sum / static_cast<double>(defined);
    out.FRAC_AM = frac_weighted / weight;
  }
  out.PAFRAC = PerimeterAreaFractal(patches, cell);
}

void AreaMetrics(const Labelling& labelling, double cell, bool boundary_edge,
                 LandscapeMetrics& out) {
  const Tallies& t = labelling.tallies;
  const double hectares = static_cast<double>(t.cells) * cell * cell / kSquareMetresPerHectare;
  const double edge_sides = static_cast<double>(t.mixed_pairs) +
                            (boundary_edge ? static_cast<double>(t.border_sides) : 0.0);
  out.PD = static_cast<double>(labelling.patches.size()) / hectares * 100.0;
  out.ED = edge_sides * cell / hectares;
  if (labelling.patches.empty()) {
    return;
  }
  const double cell_hectares = cell * cell / kSquareMetresPerHectare;
  double squares = 0.0;
  for (const Patch& p : labelling.patches) {
    squares += static_cast<double>(p.cells) * static_cast<double>(p.cells);
  }
  out.AREA_MN = static_cast<double>(t.developed) * cell_hectares /
                static_cast<double>(labelling.patches.size());
  out.AREA_AM = squares / static_cast<double>(t.developed) * cell_hectares;
  ShapeMetrics(labelling.patches, cell, out);
}

// The metrics that count cells and sides only.
void CountMetrics(const Labelling& labelling, LandscapeMetrics& out) {
  const Tallies& t = labelling.tallies;
  const double cells = static_cast<double>(t.cells);
  out.NP = labelling.patches.size();
  out.PLAND = static_cast<double>(t.developed) / cells * 100.0;
  std::uint64_t largest = 0;
  double sides = 0.0;
  double weighted_sides = 0.0;
  for (const Patch& p : labelling.patches) {
    largest = std::max(largest, p.cells);
    sides += static_cast<double>(p.sides);
    weighted_sides += static_cast<double>(p.sides) * std::sqrt(static_cast<double>(p.cells));
  }
  out.LPI = static_cast<double>(largest) / cells * 100.0;
  const double most_like = MostLikePairs(t.developed);
  if (most_like > 0.0) {
    out.AI = static_cast<double>(t.like_pairs) / most_like * 100.0;
  }
  if (!labelling.patches.empty() && t.cells > 1) {
    out.COHESION = (1.0 - sides / weighted_sides) / (1.0 - 1.0 / std::sqrt(cells)) * 100.0;
  }
  out.CONTAG = Contagion(t);
}

}  // namespace

LandscapeMask DevelopedMask(const Grid2D<TFineCell>& fine, bool streets_developed) {
  LandscapeMask mask;
  mask.columns = fine.Columns();
  mask.rows = fine.Rows();
  mask.developed.reserve(fine.Cells().size());
  for (const TFineCell& cell : fine.Cells()) {
    const bool developed =
        cell.LandUse == kLandDeveloped || (streets_developed && cell.LandUse == kLandStreet);
    mask.developed.push_back(developed ? 1 : 0);
  }
  return mask;
}

LandscapeMetrics ComputeLandscapeMetrics(const LandscapeMask& mask,
                                         std::optional<double> cell_metres,
                                         const LandscapeRules& rules) {
  LandscapeMetrics out;
  if (mask.developed.empty()) {
    return out;
  }
  const bool metric = cell_metres && *cell_metres > 0.0 && std::isfinite(*cell_metres);
  Labelling labelling = Labeller(mask, rules.patch_rule == 4 ? 4 : 8, metric).Run();
  CountMetrics(labelling, out);
  if (!metric) {
    return out;
  }
  AreaMetrics(labelling, *cell_metres, rules.boundary_edge, out);
  if (labelling.patches.size() >= 2) {
    const std::vector<double> distances =
        NearestNeighbourDistances(mask, labelling, rules.patch_rule == 4 ? 4 : 8);
    double sum = 0.0;
    for (const double d : distances) {
      sum += d;
    }
    out.ENN_MN = sum / static_cast<double>(distances.size()) * *cell_metres;
  }
  return out;
}

const std::vector<std::string>& LandscapeMetricNames() {
  static const std::vector<std::string> names = {
      "NP",      "PLAND",   "PD",     "LPI", "ED",       "AREA_MN", "AREA_AM",
      "FRAC_MN", "FRAC_AM", "PAFRAC", "AI",  "COHESION", "ENN_MN",  "CONTAG"};
  return names;
}

std::optional<double> LandscapeMetric(const LandscapeMetrics& m, const std::string& name) {
  if (name == "NP") {
    return static_cast<double>(m.NP);
  }
  const std::pair<const char*, const std::optional<double>*> fields[] = {
      {"PLAND", &m.PLAND},       {"PD", &m.PD},
      {"LPI", &m.LPI},           {"ED", &m.ED},
      {"AREA_MN", &m.AREA_MN},   {"AREA_AM", &m.AREA_AM},
      {"FRAC_MN", &m.FRAC_MN},   {"FRAC_AM", &m.FRAC_AM},
      {"PAFRAC", &m.PAFRAC},     {"AI", &m.AI},
      {"COHESION", &m.COHESION}, {"ENN_MN", &m.ENN_MN},
      {"CONTAG", &m.CONTAG}};
  for (const auto& [field, value] : fields) {
    if (name == field) {
      return *value;
    }
  }
  return std::nullopt;
}

}  // namespace veltmoor
