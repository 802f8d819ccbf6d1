// The simulation window's world files: "Welt laden…" and "Welt speichern unter…".
#include <QFileInfo>
#include <QScrollArea>
#include <QString>
#include <memory>

#include "io/atomic_file.h"
#include "simulation/numbers.h"
#include "simulation/window_outputs.h"
#include "ui/app_context.h"
#include "ui/background_work.h"
#include "ui/main_form.h"
#include "ui/map_panel.h"
#include "ui/simulation_window.h"

namespace veltmoor {

namespace {

// A world file read and checked as veltmoor-batch checks it, settings included: nothing of
// it is used unless all of it is sound.
struct CheckedWorld {
  WorldDocument document;
  MapSettings settings;
};

std::unique_ptr<CheckedWorld> ReadCheckedWorld(const std::string& path) {
  auto world = std::make_unique<CheckedWorld>();
  try {
    world->document = ReadWorldFile(path);
  } catch (const WorldFileError&) {
    // "'Width' is missing" tells the owner of a measures.json nothing.
    if (!LooksLikeWorldFile(QString::fromStdString(path))) {
      throw WorldFileError(path + " is not a world file");
    }
    throw;
  }
  try {
    for (const auto& [name, value] : world->document.settings) {
      world->settings.SetCheckedText(SettingName{name}, value);
    }
  } catch (const SettingValueError& e) {
    throw WorldFileError(path + ": " + e.what());
  }
  return world;
}

}  // namespace

bool TForm1::LoadWorld(const QString& path) {
  return Act([this, &path] {
    // The worker owns what it fills, so a cancelled load may end after this call.
    auto result = std::make_shared<std::unique_ptr<CheckedWorld>>();
    const std::string file = path.toStdString();
    const bool done =
        RunInBackground(this, QStringLiteral("Welt laden: %1").arg(QFileInfo(path).fileName()),
                        true, [result, file] { *result = ReadCheckedWorld(file); });
    if (!done) {
      return;  // cancelled: the world and the controls stay as they were
    }
    CheckedWorld& world = **result;
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
    const QSize town(world.document.width, world.document.height);
    RestoreWorld(std::move(world.document), sim());
    // The label names the step last run, one below the counter of the step to come: a
    // world saved with "100" on screen shows 100 again.
    if (const std::uint32_t next = sim().world.TimeStep; next > 0) {
      sim().labels.Set(label::kTimeStep, FormatInt(next - 1));
    }
    // A town larger than the window (an imported one) opens whole, not at its corner.
    const QSize room = map_scroll_->maximumViewportSize();
    panel_->SetZoom(town.width() > room.width() || town.height() > room.height()
                        ? panel_->FittingZoom(room)
                        : 1.0);
  });
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
