#include "ui/import_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>

#include "geo/raster_overview.h"
#include "simulation/numbers.h"

namespace veltmoor {

namespace {

constexpr int kSwatch = 14;
const std::array<const char*, 4> kBoxEdges = {"xmin", "ymin", "xmax", "ymax"};

QString ClassText(const RasterClass& entry) {
  QString text = QString::fromStdString(FormatNumber(entry.value));
  if (!entry.name.empty()) {
    text += QStringLiteral("  %1").arg(QString::fromStdString(entry.name));
  }
  return text + QStringLiteral("  (%1 px)").arg(QString::fromStdString(FormatInt(entry.pixels)));
}

// A number typed into a field; the message names the field, as the simulation window's
// boxes do.
double FieldNumber(const QString& caption, const QString& text) {
  try {
    const double value = ParseDecimal(text.toStdString());
    if (std::isfinite(value)) {
      return value;
    }
  } catch (const ConversionError&) {
  }
  throw ImportError(QStringLiteral("%1: '%2' is not a number").arg(caption, text).toStdString());
}

}  // namespace

TownImportDialog::TownImportDialog(QWidget* parent)
    : QDialog(parent),
      raster_(new QLineEdit(this)),
      band_(new QSpinBox(this)),
      classes_(new QListWidget(this)),
      above_(new QLineEdit(this)),
      streets_(new QLineEdit(this)),
      layers_(new QComboBox(this)),
      fine_(new QLineEdit(this)),
      about_raster_(new QLabel(this)),
      message_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Stadt importieren (GIS)"));
  auto* form = new QFormLayout;
  // A caption with a mnemonic takes the user to its field.
  const auto labelFor = [this](const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, this);
    label->setBuddy(buddy);
    return label;
  };
  const auto withBrowse = [this](QLineEdit* edit, const QString& caption, const QString& filter) {
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    auto* browse = new QPushButton(QStringLiteral("…"), this);
    browse->setObjectName(edit->objectName() + QStringLiteral("Browse"));
    connect(browse, &QPushButton::clicked, this,
            [this, edit, caption, filter] { Browse(edit, caption, filter); });
    row->addWidget(browse);
    return row;
  };
  raster_->setObjectName(QStringLiteral("Raster"));
  form->addRow(labelFor(QStringLiteral("&Landnutzungsraster:"), raster_),
               withBrowse(raster_, QStringLiteral("Landnutzungsraster"),
                          QStringLiteral("Raster (*.tif *.tiff *.img *.vrt *.asc);;Alle Dateien "
                                         "(*)")));
  band_->setRange(1, 1);
  form->addRow(labelFor(QStringLiteral("&Band:"), band_), band_);
  form->addRow(QString(), about_raster_);
  classes_->setObjectName(QStringLiteral("Classes"));
  classes_->setMinimumHeight(120);
  form->addRow(labelFor(QStringLiteral("Bebaute &Klassen:"), classes_), classes_);
  above_->setPlaceholderText(QStringLiteral("leer: nur die angekreuzten Klassen"));
  form->addRow(labelFor(QStringLiteral("oder Werte &über:"), above_), above_);
  streets_->setObjectName(QStringLiteral("Streets"));
  streets_->setPlaceholderText(QStringLiteral("leer: ohne Straßen"));
  form->addRow(labelFor(QStringLiteral("&Straßen (optional):"), streets_),
               withBrowse(streets_, QStringLiteral("Straßen"),
                          QStringLiteral("Vektordaten (*.gpkg *.shp *.geojson *.json *.osm "
                                         "*.pbf);;Alle Dateien (*)")));
  form->addRow(labelFor(QStringLiteral("&Ebene:"), layers_), layers_);
  form->addRow(labelFor(QStringLiteral("&Feinzellengröße:"), fine_), fine_);
  auto* box = new QHBoxLayout;
  for (std::size_t i = 0; i < box_.size(); ++i) {
    box_[i] = new QLineEdit(this);
    box_[i]->setPlaceholderText(QLatin1StringView(kBoxEdges[i]));
    box_[i]->setToolTip(QLatin1StringView(kBoxEdges[i]));
    box->addWidget(box_[i]);
  }
  form->addRow(labelFor(QStringLiteral("&Ausschnitt:"), box_[0]), box);
  message_->setObjectName(QStringLiteral("Problem"));
  message_->setWordWrap(true);
  message_->setStyleSheet(QStringLiteral("color: #b00000"));
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("&Importieren"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(message_);
  layout->addWidget(buttons);

  connect(raster_, &QLineEdit::editingFinished, this, [this] { SetRaster(raster_->text()); });
  connect(band_, &QSpinBox::valueChanged, this, [this] { SetRaster(raster_->text()); });
  connect(streets_, &QLineEdit::editingFinished, this, [this] { SetStreets(streets_->text()); });
  resize(640, 560);
}

TownImportDialog::~TownImportDialog() = default;

void TownImportDialog::Browse(QLineEdit* edit, const QString& caption, const QString& filter) {
  const QString start = edit->text().isEmpty() ? raster_->text() : edit->text();
  const QString path =
      QFileDialog::getOpenFileName(this, caption, QFileInfo(start).absolutePath(), filter);
  if (path.isEmpty()) {
    return;
  }
  edit->setText(path);
  if (edit == raster_) {
    SetRaster(path);
  } else {
    SetStreets(path);
  }
}

void TownImportDialog::ShowProblem(const QString& text) {
  message_->setText(text);
}

void TownImportDialog::SetRaster(const QString& path) {
  const QString key = QStringLiteral("%1#%2").arg(path).arg(band_->value());
  if (path.isEmpty() || key == described_) {
    return;
  }
  raster_->setText(path);
  classes_->clear();
  about_raster_->clear();
  described_ = key;
  RasterOverview overview;
  try {
    overview = DescribeRaster(path.toStdString(), band_->value());
  } catch (const std::exception& e) {
    ShowProblem(QString::fromStdString(e.what()));
    return;
  }
  ShowProblem(QString());
  {
    const QSignalBlocker quiet(band_);
    band_->setRange(1, overview.bands);
  }
  for (const RasterClass& entry : overview.classes) {
    auto* item = new QListWidgetItem(ClassText(entry), classes_);
    item->setData(Qt::UserRole, entry.value);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    if (entry.colour) {
      const auto& [r, g, b, a] = *entry.colour;
      QPixmap swatch(kSwatch, kSwatch);
      swatch.fill(QColor(r, g, b, a));
      item->setIcon(QIcon(swatch));
    }
  }
  const QString crs = overview.crs_name.empty() ? QStringLiteral("ohne Bezugssystem (Pixel)")
                                                : QString::fromStdString(overview.crs_name);
  about_raster_->setText(QStringLiteral("%1 × %2 Pixel zu %3, %4")
                             .arg(overview.width)
                             .arg(overview.height)
                             .arg(QString::fromStdString(FormatNumber(overview.pixel_size)), crs) +
                         (overview.classes.empty()
                              ? QStringLiteral("; stetige Werte: \"oder Werte über\" angeben")
                              : QString()));
  fine_->setText(QString::fromStdString(FormatNumber(overview.pixel_size)));
  for (std::size_t i = 0; i < box_.size(); ++i) {
    box_[i]->setText(QString::fromStdString(FormatNumber(overview.extent[i])));
  }
}

void TownImportDialog::SetStreets(const QString& path) {
  layers_->clear();
  streets_->setText(path);
  if (path.trimmed().isEmpty()) {
    return;
  }
  try {
    for (const std::string& name : LineLayerNames(path.toStdString())) {
      layers_->addItem(QString::fromStdString(name));
    }
    ShowProblem(QString());
  } catch (const std::exception& e) {
    ShowProblem(QString::fromStdString(e.what()));
  }
}

bool TownImportDialog::HasStreets() const {
  return !streets_->text().trimmed().isEmpty();
}

ImportOptions TownImportDialog::Options() const {
  ImportOptions options;
  options.landuse = raster_->text().toStdString();
  if (options.landuse.empty()) {
    throw ImportError("no land raster chosen");
  }
  options.band = band_->value();
  for (int i = 0; i < classes_->count(); ++i) {
    const QListWidgetItem* item = classes_->item(i);
    if (item->checkState() == Qt::Checked) {
      options.developed_values.push_back(item->data(Qt::UserRole).toDouble());
    }
  }
  if (!above_->text().trimmed().isEmpty()) {
    options.developed_above = FieldNumber(QStringLiteral("oder Werte über"), above_->text());
  }
  if (options.developed_values.empty() && !options.developed_above) {
    throw ImportError("tick the developed classes, or give the value above which land is built");
  }
  if (HasStreets()) {
    options.streets = streets_->text().trimmed().toStdString();
    options.layer = layers_->currentText().toStdString();
  }
  if (!fine_->text().trimmed().isEmpty()) {
    const double fine = FieldNumber(QStringLiteral("Feinzellengröße"), fine_->text());
    if (fine <= 0.0) {
      throw ImportError("Feinzellengröße: must be above 0");
    }
    options.fine_cell = fine;
  }
  bool anyEdge = false;
  for (const QLineEdit* edge : box_) {
    anyEdge = anyEdge || !edge->text().trimmed().isEmpty();
  }
  if (anyEdge) {
    std::array<double, 4> bbox{};
    for (std::size_t i = 0; i < box_.size(); ++i) {
      bbox[i] = FieldNumber(QStringLiteral("Ausschnitt %1").arg(QLatin1StringView(kBoxEdges[i])),
                            box_[i]->text());
    }
    options.bbox = bbox;
  }
  return options;
}

void TownImportDialog::accept() {
  try {
    import_ = std::make_unique<TownImport>(Options());
  } catch (const std::exception& e) {
    ShowProblem(QString::fromStdString(e.what()));
    return;
  }
  ShowProblem(QString());
  QDialog::accept();
}

}  // namespace veltmoor
