// "Stadt importieren (GIS)…": the inputs of an import picked and checked before anything is
// built. The raster's classes, extent and pixel size are read as soon as it is chosen, the
// street file's line layers likewise, so the user ticks and picks instead of typing values.
#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "geo/gis_import.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QComboBox;
class QSpinBox;

namespace veltmoor {

class TownImportDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TownImportDialog(QWidget* parent = nullptr);
  ~TownImportDialog() override;

  // Reads the raster's overview into the dialog: its classes, its box, its pixel size.
  void SetRaster(const QString& path);
  // Lists the street file's line layers; an empty path means no streets.
  void SetStreets(const QString& path);

  // The options as the fields hold them. Throws ImportError naming the field at fault.
  ImportOptions Options() const;
  // "Importieren": the options are checked by opening the inputs; a fault is shown in the
  // dialog, which stays open with everything typed.
  void accept() override;
  // Once accepted, the checked import, ready to build; nullptr before.
  std::unique_ptr<TownImport> TakeImport() { return std::move(import_); }
  bool HasStreets() const;

  QListWidget* Classes() const { return classes_; }
  QComboBox* Layers() const { return layers_; }
  QLineEdit* FineCell() const { return fine_; }
  QLineEdit* BoxEdge(int index) const { return box_.at(static_cast<std::size_t>(index)); }
  QLabel* Message() const { return message_; }

 private:
  void Browse(QLineEdit* edit, const QString& caption, const QString& filter);
  void ShowProblem(const QString& text);

  QLineEdit* raster_;
  QSpinBox* band_;
  QListWidget* classes_;
  QLineEdit* above_;
  QLineEdit* streets_;
  QComboBox* layers_;
  QLineEdit* fine_;
  std::array<QLineEdit*, 4> box_{};
  QLabel* about_raster_;
  QLabel* message_;
  QString described_;  // the raster path and band the fields were filled from
  std::unique_ptr<TownImport> import_;
};

}  // namespace veltmoor
