#include "chart/chart_statistics.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

namespace veltmoor::chart {

namespace {

// Sums run in extended precision like every intermediate result of the program.
using Real = long double;

bool IsFinite(const Point& p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

}  // namespace

// A source may hold points such as log10(0); they have no place in a statistic, and one of
// them would turn every derived value into NaN.
PointList FinitePoints(const PointList& points) {
  PointList finite;
  finite.reserve(points.size());
  std::copy_if(points.begin(), points.end(), std::back_inserter(finite), IsFinite);
  return finite;
}

namespace {

std::pair<double, double> XExtent(const PointList& points) {
  const auto [lo, hi] = std::minmax_element(
      points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x < b.x; });
  return {lo->x, hi->x};
}

// A horizontal line over the source's x extent: the shape of every one-number result.
PointList FlatLine(const PointList& source, Real y) {
  const auto [lo, hi] = XExtent(source);
  const auto value = static_cast<double>(y);
  return {{lo, value}, {hi, value}};
}

struct Moments {
  std::size_t n = 0;
  Real mean_x = 0;
  Real mean_y = 0;
  Real sxx = 0;
  Real syy = 0;
  Real sxy = 0;
  // Decided by comparison, not by a sum of squares that rounding may leave slightly above 0.
  bool x_constant = true;
  bool y_constant = true;
};

Moments ComputeMoments(const PointList& points) {
  Moments m;
  m.n = points.size();
  if (m.n == 0) {
    return m;
  }
  for (const Point& p : points) {
    m.mean_x += p.x;
    m.mean_y += p.y;
    m.x_constant = m.x_constant && p.x == points.front().x;
    m.y_constant = m.y_constant && p.y == points.front().y;
  }
  m.mean_x /= static_cast<Real>(m.n);
  m.mean_y /= static_cast<Real>(m.n);
  for (const Point& p : points) {
    const Real dx = p.x - m.mean_x;
    const Real dy = p.y - m.mean_y;
    m.sxx += dx * dx;
    m.syy += dy * dy;
    m.sxy += dx * dy;
  }
  return m;
}

}  // namespace

PointList Trend(const PointList& source) {
  if (source.empty()) {
    return {};
  }
  const Moments m = ComputeMoments(source);
  const Real slope = m.x_constant ? 0 : m.sxy / m.sxx;
  const auto [lo, hi] = XExtent(source);
  auto line = [&](double x) { return static_cast<double>(m.mean_y + slope * (x - m.mean_x)); };
  return {{lo, line(lo)}, {hi, line(hi)}};
}

// Pearson's r. With one point, or no spread in x or in y, r is undefined and the line has
// no point: a reader sees that nothing was measured rather than a perfect correlation.
PointList Correlation(const PointList& source) {
  if (source.empty()) {
    return {};
  }
  const Moments m = ComputeMoments(source);
  if (m.n < 2 || m.x_constant || m.y_constant) {
    return {};
  }
  return FlatLine(source, std::clamp<Real>(m.sxy / std::sqrt(m.sxx * m.syy), -1, 1));
}

PointList StdDeviation(const PointList& source) {
  if (source.empty()) {
    return {};
  }
  const Moments m = ComputeMoments(source);
  const Real deviation = m.y_constant ? 0 : std::sqrt(m.syy / static_cast<Real>(m.n - 1));
  return FlatLine(source, deviation);
}

PointList Mean(const PointList& source) {
  if (source.empty()) {
    return {};
  }
  return FlatLine(source, ComputeMoments(source).mean_y);
}

// Only complete groups give a point: a study's value gets its average once all its runs
// are measured, not a misleading mean of the first few.
PointList Average(const PointList& source, int period) {
  if (period <= 0) {
    return Mean(source);
  }
  const auto size = static_cast<std::size_t>(period);
  PointList averages;
  for (std::size_t first = 0; first + size <= source.size(); first += size) {
    const PointList group(source.begin() + static_cast<std::ptrdiff_t>(first),
                          source.begin() + static_cast<std::ptrdiff_t>(first + size));
    const Moments m = ComputeMoments(group);
    averages.push_back({static_cast<double>(m.mean_x), static_cast<double>(m.mean_y)});
  }
  return averages;
}

namespace {

// Chebyshev polynomials of x mapped onto [-1, 1]: far better conditioned than powers of x,
// which matters at the high degrees a study may ask for.
std::vector<Real> ChebyshevRow(Real t, std::size_t terms) {
  std::vector<Real> row(terms);
  for (std::size_t k = 0; k < terms; ++k) {
    row[k] = k == 0 ? 1 : k == 1 ? t : 2 * t * row[k - 1] - row[k - 2];
  }
  return row;
}

// Least squares by Householder QR of the n x m design matrix `a` (rows), right side `b`.
// A column that turns out dependent keeps coefficient 0 instead of blowing up.
std::vector<Real> SolveLeastSquares(std::vector<std::vector<Real>> a, std::vector<Real> b) {
  const std::size_t n = a.size();
  const std::size_t m = a.front().size();
  for (std::size_t k = 0; k < m; ++k) {
    Real norm = 0;
    for (std::size_t i = k; i < n; ++i) {
      norm += a[i][k] * a[i][k];
    }
    norm = std::sqrt(norm);
    if (norm == 0) {
      continue;
    }
    const Real alpha = a[k][k] > 0 ? -norm : norm;
    std::vector<Real> v(n - k);
    for (std::size_t i = k; i < n; ++i) {
      v[i - k] = a[i][k];
    }
    v[0] -= alpha;
    Real v_norm2 = 0;
    for (Real value : v) {
      v_norm2 += value * value;
    }
    if (v_norm2 == 0) {
      continue;
    }
    auto reflect = [&](auto&& at) {
      Real dot = 0;
      for (std::size_t i = k; i < n; ++i) {
        dot += v[i - k] * at(i);
      }
      const Real factor = 2 * dot / v_norm2;
      for (std::size_t i = k; i < n; ++i) {
        at(i) -= factor * v[i - k];
      }
    };
    for (std::size_t j = k; j < m; ++j) {
      reflect([&](std::size_t i) -> Real& { return a[i][j]; });
    }
    reflect([&](std::size_t i) -> Real& { return b[i]; });
  }
  Real largest = 0;
  for (std::size_t k = 0; k < m; ++k) {
    largest = std::max(largest, std::fabs(a[k][k]));
  }
  const Real tiny = largest * static_cast<Real>(n) * std::numeric_limits<Real>::epsilon();
  std::vector<Real> coefficients(m, 0);
  for (std::size_t k = m; k-- > 0;) {
    if (std::fabs(a[k][k]) <= tiny) {
      continue;
    }
    Real rest = b[k];
    for (std::size_t j = k + 1; j < m; ++j) {
      rest -= a[k][j] * coefficients[j];
    }
    coefficients[k] = rest / a[k][k];
  }
  return coefficients;
}

}  // namespace

PointList CurveFit(const PointList& source, int degree) {
  if (source.empty()) {
    return {};
  }
  std::vector<double> xs;
  xs.reserve(source.size());
  for (const Point& p : source) {
    xs.push_back(p.x);
  }
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  // Repeated runs at one x add points but no information about the curve's shape, so the
  // degree is limited by the distinct x values, not by the point count.
  const auto terms = static_cast<std::size_t>(
      std::clamp<std::ptrdiff_t>(degree, 0, static_cast<std::ptrdiff_t>(xs.size()) - 1) + 1);
  const Real centre = (static_cast<Real>(xs.front()) + xs.back()) / 2;
  const Real half_width = (static_cast<Real>(xs.back()) - xs.front()) / 2;
  auto scaled = [&](double x) { return half_width > 0 ? (x - centre) / half_width : 0; };

  std::vector<std::vector<Real>> design;
  std::vector<Real> ys;
  for (const Point& p : source) {
    design.push_back(ChebyshevRow(scaled(p.x), terms));
    ys.push_back(p.y);
  }
  const std::vector<Real> coefficients = SolveLeastSquares(std::move(design), std::move(ys));
  PointList fit;
  for (double x : xs) {
    const std::vector<Real> row = ChebyshevRow(scaled(x), terms);
    Real y = 0;
    for (std::size_t k = 0; k < terms; ++k) {
      y += coefficients[k] * row[k];
    }
    fit.push_back({x, static_cast<double>(y)});
  }
  return fit;
}

}  // namespace veltmoor::chart
