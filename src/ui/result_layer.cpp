#include "ui/result_layer.h"

#include <QDir>
#include <QFileInfo>
#include <array>
#include <stdexcept>

#include "geo/raster_overview.h"
#include "simulation/numbers.h"
#include "validation/three_map.h"

namespace veltmoor {

namespace {

struct KindFile {
  ResultKind kind;
  const char* report;
  const char* map;
};

constexpr std::array<KindFile, 3> kKinds = {
    {{ResultKind::kForecast, "forecast.json", "probability.tif"},
     {ResultKind::kComparison, "compare.json", "outcome.tif"},
     {ResultKind::kCalibration, "calibration.json", ""}}};

// Shares in steps of a fifth, from pale yellow to deep red; land no run built stays clear so
// the town shows through.
constexpr int kShareSteps = 5;
constexpr std::array<QRgb, kShareSteps> kShareColours = {0xffffffb2, 0xfffecc5c, 0xfffd8d3c,
                                                         0xfff03b20, 0xffbd0026};
constexpr int kLayerAlpha = 200;

int ShareStep(float share) {
  return std::clamp(static_cast<int>(share * kShareSteps), 0, kShareSteps - 1);
}

// outcome.tif names its classes in the band's metadata; a file written before it did, or
// passed through a tool that drops metadata, has none: the classes are the comparison's own.
QString OutcomeText(const RasterClass& entry) {
  if (!entry.name.empty()) {
    return QString::fromStdString(entry.name);
  }
  if (entry.value >= 0 && entry.value < kOutcomeCount) {
    return QString::fromUtf8(OutcomeName(static_cast<Outcome>(static_cast<int>(entry.value))));
  }
  return QString::fromStdString(FormatNumber(entry.value));
}

std::string MapPath(const ResultFolder& result) {
  for (const KindFile& kind : kKinds) {
    if (kind.kind == result.kind) {
      return QDir(result.folder).filePath(QLatin1StringView(kind.map)).toStdString();
    }
  }
  return {};
}

void CheckGrid(const GridFrame& map, const GridFrame& world, const std::string& path) {
  if (const auto difference = FrameDifference(world, map)) {
    throw std::runtime_error(path + " lies on another grid than the open world (" + *difference +
                             "); open the town it was made from first");
  }
}

ResultLayer Probability(const std::string& path, const GridFrame& world) {
  GridFrame frame;
  const std::vector<float> shares = ReadFloatRaster(path, frame);
  CheckGrid(frame, world, path);
  ResultLayer layer;
  layer.title = QStringLiteral("Anteil der Läufe, die bebauten:");
  layer.image = QImage(frame.columns, frame.rows, QImage::Format_ARGB32);
  layer.image.fill(Qt::transparent);
  for (int row = 0; row < frame.rows; ++row) {
    auto* line = reinterpret_cast<QRgb*>(layer.image.scanLine(row));
    for (int column = 0; column < frame.columns; ++column) {
      const float share = shares[static_cast<std::size_t>(row) * frame.columns + column];
      if (share > 0.0F && share <= 1.0F) {
        const QRgb colour = kShareColours.at(static_cast<std::size_t>(ShareStep(share)));
        line[column] = qRgba(qRed(colour), qGreen(colour), qBlue(colour), kLayerAlpha);
      }
    }
  }
  for (int step = 0; step < kShareSteps; ++step) {
    layer.legend.emplace_back(QColor::fromRgb(kShareColours.at(static_cast<std::size_t>(step))),
                              QStringLiteral("%1–%2 %")
                                  .arg(step * 100 / kShareSteps)
                                  .arg((step + 1) * 100 / kShareSteps));
  }
  return layer;
}

ResultLayer OutcomeLayer(const std::string& path, const GridFrame& world) {
  GridFrame frame;
  const std::vector<float> classes = ReadFloatRaster(path, frame);
  CheckGrid(frame, world, path);
  const RasterOverview overview = DescribeRaster(path);
  ResultLayer layer;
  layer.title = QStringLiteral("Vergleich mit der beobachteten Stadt:");
  std::vector<QRgb> palette(256, qRgba(0, 0, 0, 0));
  for (const RasterClass& entry : overview.classes) {
    // White is land both maps leave free: the town shows through it.
    if (!entry.colour || entry.value < 0 || entry.value > 255 ||
        (*entry.colour)[0] + (*entry.colour)[1] + (*entry.colour)[2] == 3 * 255) {
      continue;
    }
    const auto& [r, g, b, a] = *entry.colour;
    palette[static_cast<std::size_t>(entry.value)] = qRgba(r, g, b, kLayerAlpha);
    layer.legend.emplace_back(QColor(r, g, b), OutcomeText(entry));
  }
  layer.image = QImage(frame.columns, frame.rows, QImage::Format_ARGB32);
  for (int row = 0; row < frame.rows; ++row) {
    auto* line = reinterpret_cast<QRgb*>(layer.image.scanLine(row));
    for (int column = 0; column < frame.columns; ++column) {
      const float value = classes[static_cast<std::size_t>(row) * frame.columns + column];
      line[column] = value >= 0.0F && value < 256.0F ? palette[static_cast<std::size_t>(value)]
                                                     : qRgba(0, 0, 0, 0);
    }
  }
  return layer;
}

}  // namespace

std::optional<ResultFolder> FindResultFolder(const QString& path) {
  const QFileInfo info(path);
  const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
  for (const KindFile& kind : kKinds) {
    const QString report = QDir(folder).filePath(QLatin1StringView(kind.report));
    if ((info.isDir() || info.fileName() == QLatin1StringView(kind.report)) &&
        QFileInfo(report).isFile()) {
      return ResultFolder{kind.kind, folder};
    }
  }
  return std::nullopt;
}

ResultLayer ReadResultLayer(const ResultFolder& result, const GridFrame& world) {
  const std::string path = MapPath(result);
  if (!QFileInfo(QString::fromStdString(path)).isFile()) {
    throw std::runtime_error(path + ": no such file (a forecast writes it only when it runs)");
  }
  return result.kind == ResultKind::kForecast ? Probability(path, world)
                                              : OutcomeLayer(path, world);
}

QStringList CalibrationCharts(const ResultFolder& result) {
  QStringList charts;
  const QDir folder(result.folder);
  for (const QString& name : folder.entryList({QStringLiteral("*.tee")}, QDir::Files, QDir::Name)) {
    charts << folder.filePath(name);
  }
  return charts;
}

}  // namespace veltmoor
