#include "batch/compare_report.h"

#include <sstream>

#include "studies/measurements.h"

namespace veltmoor {

using nlohmann::json;

namespace {

// The random baselines' figures, one list per figure name.
template <typename FiguresOf>
std::vector<Spread> RandomSpreads(const ThreeMapComparison& c, std::size_t count,
                                  FiguresOf figures_of) {
  std::vector<std::vector<Figure>> by_figure(count);
  for (const MapComparison& random : c.randoms) {
    const std::vector<NamedFigure> figures = figures_of(random);
    for (std::size_t i = 0; i < count; ++i) {
      by_figure[i].push_back(figures[i].figure);
    }
  }
  std::vector<Spread> spreads;
  spreads.reserve(by_figure.size());
  for (const std::vector<Figure>& figures : by_figure) {
    spreads.push_back(SpreadOf(figures));
  }
  return spreads;
}

struct Table {
  std::vector<NamedFigure> model;
  std::vector<NamedFigure> null_model;
  std::vector<Spread> random;
};

Table CellTable(const ThreeMapComparison& c) {
  return {CellFigures(c.model.counts), CellFigures(c.null_model.counts),
          RandomSpreads(c, CellFigureNames().size(),
                        [](const MapComparison& m) { return CellFigures(m.counts); })};
}

Table BlockTable(const ThreeMapComparison& c, std::size_t level) {
  return {BlockFigures(c.model, level), BlockFigures(c.null_model, level),
          RandomSpreads(c, BlockFigureNames().size(),
                        [level](const MapComparison& m) { return BlockFigures(m, level); })};
}

json Positions(const std::vector<CellPosition>& cells) {
  json list = json::array();
  for (const CellPosition& p : cells) {
    list.push_back({p.column, p.row});
  }
  return list;
}

std::uint64_t BlockCount(const ThreeMapComparison& c, std::size_t level) {
  const auto b = static_cast<std::uint64_t>(c.blocks[level]);
  return ((static_cast<std::uint64_t>(c.columns) + b - 1) / b) *
         ((static_cast<std::uint64_t>(c.rows) + b - 1) / b);
}

json CountsJson(const ThreeMapComparison& c) {
  const JointCounts& n = c.model.counts;
  const auto loss = [&](std::uint64_t count, std::size_t examples) {
    return json{{"Count", count}, {"FirstCells", Positions(c.losses[examples])}};
  };
  return {{"Cells", n.Total()},
          {"FreeInOriginal", n.Free0()},
          {"Hits", n.Hits()},
          {"Misses", n.Misses()},
          {"FalseAlarms", n.FalseAlarms()},
          {"CorrectRejections", n.CorrectRejections()},
          {"DevelopedInOriginal", n.Total() - n.Free0()},
          {"DevelopedPersistence", n.At(true, true, true)},
          {"ObservedLoss", loss(n.At(true, false, true), 0)},
          {"SimulatedLoss", loss(n.At(true, true, false), 1)},
          {"LossInBoth", loss(n.At(true, false, false), 2)},
          {"DevelopedInReference", n.Developed1()},
          {"DevelopedInSimulated", n.DevelopedS()}};
}

}  // namespace

void PutFigure(json& object, const std::string& key, const Figure& figure) {
  if (figure.value) {
    object[key] = *figure.value;
  } else {
    object[key] = nullptr;
    object[key + "Why"] = figure.undefined_because;
  }
}

std::string FigureCsv(const Figure& figure) {
  return figure.value ? ShortestText(*figure.value) : std::string();
}

json FigureWithBaselines(const Figure& model, const Figure& null_model, const Spread& random) {
  json object = json::object();
  PutFigure(object, "Model", model);
  PutFigure(object, "Null", null_model);
  PutFigure(object, "RandomMean", random.mean);
  PutFigure(object, "RandomSd", random.sd);
  return object;
}

json CompareJson(const ThreeMapComparison& c, const CompareSources& sources) {
  json out;
  out["Format"] = "veltmoor compare 1";
  out["Maps"] = {{"Original", sources.original},
                 {"Reference", sources.reference},
                 {"Simulated", sources.simulated},
                 {"Columns", c.columns},
                 {"Rows", c.rows}};
  out["Counts"] = CountsJson(c);
  const Table cells = CellTable(c);
  json statistics = json::object();
  for (std::size_t i = 0; i < cells.model.size(); ++i) {
    statistics[cells.model[i].name] =
        FigureWithBaselines(cells.model[i].figure, cells.null_model[i].figure, cells.random[i]);
  }
  out["Statistics"] = std::move(statistics);
  json baselines = {{"RandomRuns", c.randoms.size()}, {"Seed", sources.seed}};
  baselines["RandomExpectedHits"] =
      c.random_expected_hits ? json(*c.random_expected_hits) : json(nullptr);
  out["Baselines"] = std::move(baselines);
  json resolution = json::array();
  for (std::size_t level = 0; level < c.blocks.size(); ++level) {
    const Table table = BlockTable(c, level);
    json row = {{"Block", c.blocks[level]}, {"Blocks", BlockCount(c, level)}};
    for (std::size_t i = 0; i < table.model.size(); ++i) {
      row[table.model[i].name] =
          FigureWithBaselines(table.model[i].figure, table.null_model[i].figure, table.random[i]);
    }
    resolution.push_back(std::move(row));
  }
  out["Resolution"] = std::move(resolution);
  return out;
}

std::string CompareCsv(const ThreeMapComparison& c, const CompareSources& sources) {
  std::ostringstream header;
  std::ostringstream row;
  const auto text = [](const std::string& s) {
    // Paths are quoted, with inner quotes doubled, so a comma in a name keeps the columns.
    std::string quoted = "\"";
    for (const char ch : s) {
      quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    }
    return quoted + "\"";
  };
  header << "original,reference,simulated,cells,hits,misses,false_alarms,correct_rejections,"
            "developed_original,observed_loss,simulated_loss,loss_both";
  const JointCounts& n = c.model.counts;
  row << text(sources.original) << ',' << text(sources.reference) << ',' << text(sources.simulated)
      << ',' << n.Total() << ',' << n.Hits() << ',' << n.Misses() << ',' << n.FalseAlarms() << ','
      << n.CorrectRejections() << ',' << n.Total() - n.Free0() << ',' << n.At(true, false, true)
      << ',' << n.At(true, true, false) << ',' << n.At(true, false, false);
  const Table cells = CellTable(c);
  for (std::size_t i = 0; i < cells.model.size(); ++i) {
    const std::string& name = cells.model[i].name;
    header << ',' << name << ',' << name << "_null," << name << "_random_mean," << name
           << "_random_sd";
    row << ',' << FigureCsv(cells.model[i].figure) << ',' << FigureCsv(cells.null_model[i].figure)
        << ',' << FigureCsv(cells.random[i].mean) << ',' << FigureCsv(cells.random[i].sd);
  }
  return header.str() + "\n" + row.str() + "\n";
}

std::string ResolutionCsv(const ThreeMapComparison& c) {
  std::ostringstream out;
  out << "block,blocks";
  for (const std::string& name : BlockFigureNames()) {
    out << ',' << name << ',' << name << "_null," << name << "_random_mean," << name
        << "_random_sd";
  }
  out << '\n';
  for (std::size_t level = 0; level < c.blocks.size(); ++level) {
    const Table table = BlockTable(c, level);
    out << c.blocks[level] << ',' << BlockCount(c, level);
    for (std::size_t i = 0; i < table.model.size(); ++i) {
      out << ',' << FigureCsv(table.model[i].figure) << ',' << FigureCsv(table.null_model[i].figure)
          << ',' << FigureCsv(table.random[i].mean) << ',' << FigureCsv(table.random[i].sd);
    }
    out << '\n';
  }
  return out.str();
}

}  // namespace veltmoor
