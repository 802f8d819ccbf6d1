#include "batch/forecast_report.h"

#include <algorithm>
#include <sstream>

#include "analysis/town_measures.h"
#include "batch/compare_report.h"
#include "chart/chart.h"
#include "render/chart_image.h"
#include "render/raster_image.h"
#include "studies/measurements.h"

namespace veltmoor {

using nlohmann::json;

namespace {

constexpr int kChartSide = 560;

std::string RunsCsv(const std::vector<ForecastRun>& runs, bool compared, bool measured) {
  std::ostringstream out;
  out << "run,seed,end,steps,developed";
  if (compared) {
    for (const std::string& name : CellFigureNames()) {
      out << ',' << name;
    }
  }
  if (measured) {
    for (const std::string& name : RunMeasureNames()) {
      out << ',' << name;
    }
  }
  out << '\n';
  for (const ForecastRun& r : runs) {
    out << r.run << ',' << r.seed << ',' << RunEndName(r.end) << ',' << r.steps << ','
        << r.developed;
    for (const Figure& f : r.figures) {
      out << ',' << FigureCsv(f);
    }
    for (const std::optional<double>& m : r.measures) {
      out << ',' << (m ? ShortestText(*m) : std::string());
    }
    out << '\n';
  }
  return out.str();
}

// Mean, sd, least and greatest value of each figure over the runs where it is defined.
json Distributions(const std::vector<ForecastRun>& runs) {
  json out = json::object();
  for (std::size_t i = 0; i < CellFigureNames().size(); ++i) {
    std::vector<Figure> figures;
    std::optional<double> low;
    std::optional<double> high;
    std::size_t defined = 0;
    for (const ForecastRun& r : runs) {
      const Figure& f = r.figures.at(i);
      figures.push_back(f);
      if (f.value) {
        low = std::min(low.value_or(*f.value), *f.value);
        high = std::max(high.value_or(*f.value), *f.value);
        ++defined;
      }
    }
    const Spread spread = SpreadOf(figures);
    json entry = {{"Runs", defined}};
    PutFigure(entry, "Mean", spread.mean);
    PutFigure(entry, "Sd", spread.sd);
    PutFigure(entry, "Min", low ? Figure{low, {}} : spread.mean);
    PutFigure(entry, "Max", high ? Figure{high, {}} : spread.mean);
    out[CellFigureNames()[i]] = std::move(entry);
  }
  return out;
}

std::string TocCsv(const TocCurve& toc) {
  std::ostringstream out;
  out << "threshold,diagnosed,hits\n";
  for (const TocPoint& p : toc.points) {
    out << (p.threshold ? ShortestText(*p.threshold) : std::string()) << ',' << p.diagnosed << ','
        << p.hits << '\n';
  }
  return out.str();
}

std::string TocPng(const TocCurve& toc) {
  chart::Chart chart("Chart_toc", "Total Operating Characteristic");
  chart.SetAxisTitles("hits + false alarms (cells)", "hits (cells)");
  const auto n = static_cast<double>(toc.population);
  const auto o = static_cast<double>(toc.observed);
  chart::Series& most = chart.AddSeries("ser_maximum", "maximum", chart::SeriesKind::Line);
  most.SetColor(0x909090);
  most.Add(0, 0);
  most.Add(o, o);
  most.Add(n, o);
  chart::Series& least = chart.AddSeries("ser_minimum", "minimum", chart::SeriesKind::Line);
  least.SetColor(0x909090);
  least.Add(0, 0);
  least.Add(n - o, 0);
  least.Add(n, o);
  chart::Series& uniform = chart.AddSeries("ser_uniform", "uniform", chart::SeriesKind::Line);
  uniform.SetColor(0x0000FF);
  uniform.Add(0, 0);
  uniform.Add(n, o);
  chart::Series& curve = chart.AddSeries("ser_toc", "probability map", chart::SeriesKind::Line);
  curve.SetColor(0x800000);
  for (const TocPoint& p : toc.points) {
    curve.Add(static_cast<double>(p.diagnosed), static_cast<double>(p.hits));
  }
  return PngBytes(PaintChart(chart, kChartSide, kChartSide));
}

}  // namespace

const std::vector<std::string>& RunMeasureNames() {
  // Every calibration measure but the landscape and street ones, which need a map's scale
  // and are written by analyse in full.
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const std::string& name : CalibrationMeasureNames()) {
      if (!IsTownMeasureName(name)) {
        list.push_back(name);
      }
    }
    return list;
  }();
  return names;
}

std::vector<float> Probabilities(const std::vector<std::uint32_t>& counts, std::uint64_t runs) {
  std::vector<float> shares(counts.size());
  std::transform(counts.begin(), counts.end(), shares.begin(), [runs](std::uint32_t c) {
    return static_cast<float>(static_cast<double>(c) / static_cast<double>(runs));
  });
  return shares;
}

OutputFiles ForecastFiles(const ForecastPlan& plan, const ForecastMaps& maps,
                          const std::vector<std::uint32_t>& counts,
                          const std::vector<ForecastRun>& runs) {
  const GridFrame& frame = maps.original.frame;
  OutputFiles files;
  {
    const std::vector<float> shares = Probabilities(counts, plan.runs);
    files.emplace_back("probability.tif", Text(FloatRasterGeoTiff(frame, shares, "Probability")));
    files.emplace_back("probability.png",
                       Text(PngBytes(ShareMapImage(
                           frame.columns, frame.rows, shares,
                           QString::fromStdString("share of " + std::to_string(plan.runs) +
                                                  " runs in which a cell ends developed")))));
  }
  files.emplace_back("runs.csv", Text(RunsCsv(runs, maps.reference != nullptr, plan.measures)));
  json report = {{"Format", "veltmoor forecast 1"}, {"Forecast", plan.manifest}};
  long long developed = 0;
  std::size_t stopped = 0;
  for (const ForecastRun& r : runs) {
    developed += r.developed;
    stopped += r.end == RunEnd::Done ? 0 : 1;
  }
  report["Runs"] = runs.size();
  report["StoppedEarly"] = stopped;
  report["MeanDeveloped"] = static_cast<double>(developed) / static_cast<double>(runs.size());
  report["DevelopedInStart"] = maps.original.developed;
  if (maps.reference != nullptr) {
    report["Comparison"] = Distributions(runs);
    const TocCurve toc =
        TotalOperatingCharacteristic(counts, static_cast<std::uint32_t>(plan.runs),
                                     {frame.columns, frame.rows, maps.original.mask},
                                     {frame.columns, frame.rows, maps.reference->mask});
    json entry = {{"Population", toc.population}, {"Observed", toc.observed}};
    PutFigure(entry, "Area", toc.area);
    report["Toc"] = std::move(entry);
    files.emplace_back("toc.csv", Text(TocCsv(toc)));
    files.emplace_back("toc.png", Text(TocPng(toc)));
  }
  files.emplace_back("forecast.json", Text(report.dump(2) + "\n"));
  return files;
}

}  // namespace veltmoor
