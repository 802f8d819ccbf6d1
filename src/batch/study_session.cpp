#include "batch/study_session.h"

#include <QBuffer>
#include <QImage>
#include <sstream>
#include <stdexcept>

#include "io/atomic_file.h"
#include "render/composite.h"

namespace veltmoor {

namespace {

std::string JpegBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "JPG", 100)) {
    throw std::runtime_error("cannot encode the map picture as JPEG");
  }
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

void MapSnapshots::Snapshot(const std::string& path, SnapshotKind kind) {
  // The picture of the study window is the desktop program's; headless, the chart is
  // in study.tee.
  if (kind != SnapshotKind::Main) {
    return;
  }
  clock_.Time([&] { WriteFileAtomically(path, JpegBytes(ComposeMap(sim_))); });
}

StudySession::StudySession(const StudyKind& kind, const WorldOptions& world,
                           const SettingTexts& study_texts, const std::filesystem::path& base_dir)
    : batch(world), own(kind.registry()), controls(batch.settings) {
  for (const auto& [name, text] : study_texts) {
    own.Set(SettingName{name}, text);
  }
  if (world.picture) {
    snapshots = std::make_unique<MapSnapshots>(*batch.sim, write_clock);
  }
  study = kind.make(StudyContext{*batch.sim, controls, snapshots.get(), base_dir}, own);
  study->SetBaseSeed(world.seed);
}

std::string CsvText(const std::vector<Measurement>& records) {
  std::ostringstream text;
  WriteMeasurementsCsv(text, records);
  return text.str();
}

int ReportStop(Study& study, std::ostream& err) {
  if (study.Message().empty()) {
    return 0;
  }
  err << "veltmoor-batch: " << study.TakeMessage() << "\n";
  return 1;
}

}  // namespace veltmoor
