// The simulation window's world files: "Welt laden…" and "Welt speichern unter…".
#include <QString>

#include "io/atomic_file.h"
#include "ui/app_context.h"
#include "ui/simulation_window.h"

namespace veltmoor {

bool TForm1::LoadWorld(const QString& path) {
  return Act([this, &path] {
    // Read and checked completely before the window's world or controls change.
    const WorldDocument document = ReadWorldFile(path.toStdString());
    timer1_.stop();
    for (const auto& [name, value] : document.settings) {
      const SettingDef& def = settings_.Registry().Get(SettingName{name});
      if (HoldsState(def)) {
        settings_.SetChecked(def.Name(), value == "1");
      } else {
        settings_.SetText(def.Name(), value);
      }
    }
    RestoreWorld(document, sim());
    georeference_ = document.georeference;
  });
}

bool TForm1::SaveWorldAs(const QString& path) {
  return Act([this, &path] {
    if (!sim().world.Exists()) {
      throw std::runtime_error("there is no world to save");
    }
    WriteFileAtomically(path.toStdString(), [this](std::ostream& out) {
      WriteWorldJson(out, sim(), std::nullopt, georeference_);
    });
  });
}

}  // namespace veltmoor
