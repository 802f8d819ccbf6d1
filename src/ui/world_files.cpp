// The simulation window's world files: "Welt laden…" and "Welt speichern unter…".
#include <QFileInfo>
#include <QLabel>
#include <QScrollArea>
#include <QStatusBar>
#include <QString>
#include <QStringList>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "display/null_canvas.h"
#include "geo/gis_export.h"
#include "geo/gis_import.h"
#include "io/atomic_file.h"
#include "simulation/numbers.h"
#include "simulation/window_outputs.h"
#include "ui/app_context.h"
#include "ui/background_work.h"
#include "ui/chart_window.h"
#include "ui/main_form.h"
#include "ui/map_panel.h"
#include "ui/result_layer.h"
#include "ui/simulation_window.h"

namespace veltmoor {

// A world file read and checked as veltmoor-batch checks it, settings included: nothing of
// it is used unless all of it is sound.
struct CheckedWorld {
  WorldDocument document;
  MapSettings settings;
  std::vector<std::string> summary;  // of an import
};

namespace {

constexpr double kBuildShare = 0.8;

// Settings checked as the file's settings are; `where` names the source in the message.
void CheckSettings(CheckedWorld& world, const std::string& where) {
  try {
    for (const auto& [name, value] : world.document.settings) {
      world.settings.SetCheckedText(SettingName{name}, value);
    }
  } catch (const SettingValueError& e) {
    throw WorldFileError(where + ": " + e.what());
  }
}

std::unique_ptr<CheckedWorld> ReadCheckedWorld(const std::string& path, WorkProgress& progress) {
  auto world = std::make_unique<CheckedWorld>();
  try {
    world->document = ReadWorldFile(path, [&progress](double done) {
      progress.Report(done);
      return !progress.Cancelled();
    });
  } catch (const WorldFileError&) {
    // "'Width' is missing" tells the owner of a measures.json nothing.
    if (!LooksLikeWorldFile(QString::fromStdString(path))) {
      throw WorldFileError(path + " is not a world file");
    }
    throw;
  }
  CheckSettings(*world, path);
  return world;
}

// The import built as `veltmoor-batch import` builds it, into a simulation of its own so the
// open world stays whole until the town is complete, and handed over as the world file that
// command would write: the desktop then opens it as it opens any saved world.
std::unique_ptr<CheckedWorld> BuildTown(TownImport& town, bool streets, MapSettings settings,
                                        WorkProgress& progress) {
  // Imported streets are the network; a town without them starts from its middle.
  if (streets) {
    settings.Set(setting::kCenterNode, "0");
  }
  settings.Set(setting::kCellScale, std::to_string(town.CellSize()));
  RandomSource random;
  NullCanvasFactory canvases;
  Simulation scratch(settings, random, canvases);
  const ImportCounts counts = town.BuildInto(scratch, [&progress](double done) {
    // The share left after the build goes to handing the world over.
    progress.Report(done * kBuildShare);
  });
  auto world = std::make_unique<CheckedWorld>();
  if (progress.Cancelled()) {
    return world;
  }
  world->document = ParseWorldJson(WorldJsonText(scratch, std::nullopt, town.Reference()));
  CheckSettings(*world, "imported town");
  world->summary = town.Summary(counts);
  progress.Report(1.0);
  return world;
}

}  // namespace

bool TForm1::LoadWorld(const QString& path) {
  return Act([this, &path] {
    // The worker owns what it fills, so a cancelled load may end after this call.
    auto result = std::make_shared<std::unique_ptr<CheckedWorld>>();
    const std::string file = path.toStdString();
    const bool done = RunInBackground(
        this, QStringLiteral("Welt laden: %1").arg(QFileInfo(path).fileName()), true,
        [result, file](WorkProgress& progress) { *result = ReadCheckedWorld(file, progress); });
    if (done) {  // cancelled: the world and the controls stay as they were
      OpenCheckedWorld(**result, false);
    }
  });
}

bool TForm1::ImportTown(std::unique_ptr<TownImport> town, bool streets) {
  return Act([this, &town, streets] {
    if (!town) {
      throw std::runtime_error("no town to import");
    }
    MapSettings settings;
    for (const SettingDef& def : settings_.Registry().All()) {
      if (HoldsState(def)) {
        settings.SetChecked(def.Name(), settings_.Checked(def.Name()));
      } else {
        settings.Set(def.Name(), settings_.Text(def.Name()));
      }
    }
    std::shared_ptr<TownImport> shared = std::move(town);
    auto result = std::make_shared<std::unique_ptr<CheckedWorld>>();
    const bool done = RunInBackground(this, QString::fromStdString(shared->Plan()), true,
                                      [result, shared, streets, settings](WorkProgress& progress) {
                                        *result = BuildTown(*shared, streets, settings, progress);
                                      });
    if (done) {
      OpenCheckedWorld(**result, true);
      QStringList lines;
      for (const std::string& line : (*result)->summary) {
        lines << QString::fromStdString(line);
      }
      import_summary_ = lines.join(QStringLiteral("; "));
      if (context_.frame != nullptr) {
        context_.frame->statusBar()->showMessage(import_summary_);
      }
    }
  });
}

void TForm1::OpenCheckedWorld(CheckedWorld& world, bool fit) {
  timer1_.stop();
  sim().TimerEnabled = false;
  for (const auto& [name, value] : world.document.settings) {
    const SettingDef& def = settings_.Registry().Get(SettingName{name});
    if (HoldsState(def)) {
      settings_.SetChecked(def.Name(), world.settings.Checked(def.Name()));
    } else {
      settings_.SetText(def.Name(), world.settings.Text(def.Name()));
    }
  }
  georeference_ = world.document.georeference;
  ShowResultLayer(nullptr);
  const QSize town(world.document.width, world.document.height);
  RestoreWorld(std::move(world.document), sim());
  // The label names the step last run, one below the counter of the step to come: a
  // world saved with "100" on screen shows 100 again.
  if (const std::uint32_t next = sim().world.TimeStep; next > 0) {
    sim().labels.Set(label::kTimeStep, FormatInt(next - 1));
  }
  // A town larger than the window (an imported one) opens whole, not at its corner.
  const QSize room = map_scroll_->maximumViewportSize();
  panel_->SetZoom(fit || town.width() > room.width() || town.height() > room.height()
                      ? panel_->FittingZoom(room)
                      : 1.0);
}

bool TForm1::ExportGis(const QString& folder) {
  return Act([this, &folder] {
    if (!sim().world.Exists()) {
      throw std::runtime_error("there is no world to export");
    }
    timer1_.stop();
    sim().TimerEnabled = false;
    const WorldBusy busy(context_);
    const std::filesystem::path target = folder.toStdString();
    RunInBackground(this, QStringLiteral("GIS exportieren: %1").arg(folder), false, [this, target] {
      // All files are made before the first is written, so a refusal writes none.
      for (const auto& [name, content] : GisFiles(sim(), ReferenceOf(sim(), georeference_))) {
        WriteFileAtomically((target / name).string(), content);
      }
    });
  });
}

bool TForm1::OpenResult(const QString& path) {
  return Act([this, &path] {
    const auto result = FindResultFolder(path);
    if (!result) {
      throw std::runtime_error(path.toStdString() +
                               ": not the folder of a forecast, comparison or calibration");
    }
    if (result->kind == ResultKind::kCalibration) {
      const QStringList charts = CalibrationCharts(*result);
      if (charts.isEmpty()) {
        throw std::runtime_error(result->folder.toStdString() + ": the calibration has no charts");
      }
      for (const QString& chart : charts) {
        context_.frame->AddChild(new TChartWindow(chart));
      }
      return;
    }
    if (!sim().world.Exists()) {
      throw std::runtime_error("open the town the result was made from first");
    }
    const Georeference reference = ReferenceOf(sim(), georeference_);
    GridFrame frame;
    frame.columns = sim().world.FineGrid.Columns();
    frame.rows = sim().world.FineGrid.Rows();
    frame.origin_x = reference.origin_x;
    frame.origin_y = reference.origin_y;
    frame.cell_width = reference.fine_cell_size;
    frame.cell_height = reference.fine_cell_size;
    frame.crs_wkt = reference.crs_wkt;
    const ResultLayer layer = ReadResultLayer(*result, frame);
    ShowResultLayer(&layer);
  });
}

void TForm1::ShowResultLayer(const ResultLayer* layer) {
  if (layer == nullptr) {
    panel_->SetOverlay(QImage());
    result_legend_->clear();
    result_legend_->hide();
    result_off_->hide();
    return;
  }
  panel_->SetOverlay(layer->image);
  QString legend = layer->title.toHtmlEscaped();
  for (const auto& [colour, name] : layer->legend) {
    legend += QStringLiteral(
                  "&nbsp;&nbsp;<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;</span>"
                  "&nbsp;%2")
                  .arg(colour.name(), name.toHtmlEscaped());
  }
  result_legend_->setText(legend);
  result_legend_->show();
  result_off_->show();
}

bool TForm1::SaveWorldAs(const QString& path) {
  return Act([this, &path] {
    if (!sim().world.Exists()) {
      throw std::runtime_error("there is no world to save");
    }
    // The worker reads the world while it writes: nothing may step it meanwhile.
    timer1_.stop();
    sim().TimerEnabled = false;
    const WorldBusy busy(context_);
    const std::string file = path.toStdString();
    RunInBackground(this, QStringLiteral("Welt speichern: %1").arg(QFileInfo(path).fileName()),
                    false, [this, file] {
                      WriteFileAtomically(file, [this](std::ostream& out) {
                        WriteWorldJson(out, sim(), std::nullopt, georeference_);
                      });
                    });
  });
}

}  // namespace veltmoor
