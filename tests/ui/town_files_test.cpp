// Real towns in the desktop program: a town imported from a GeoTIFF and a GeoPackage made
// here through GDAL, refused inputs that keep the open world, and the world's GIS layers
// written to a folder.
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "chart/chart_file.h"
#include "geo/class_maps.h"
#include "geo/gdal_support.h"
#include "io/atomic_file.h"
#include "qt_app.h"
#include "ui/app_context.h"
#include "ui/desktop_program.h"
#include "ui/import_dialog.h"
#include "ui/main_form.h"
#include "ui/map_panel.h"
#include "ui/simulation_window.h"

namespace veltmoor {
namespace {

constexpr double kLeft = 600000.0;
constexpr double kTop = 5300000.0;
constexpr int kSide = 60;  // pixels of 10 m
constexpr int kBuilt = 7;
constexpr int kFields = 1;
constexpr int kWater = 3;

class TownFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApp();
    EnsureGdal();
    utm_.importFromEPSG(32632);
    utm_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    program_ = StartDesktopProgram(false);
    program_.context->errors.SetPresenter(
        [this](QWidget*, const QString& message) { errors_.push_back(message); });
    raster_ = MakeRaster();
    streets_ = MakeStreets();
  }

  std::string Path(const char* name) const {
    return dir_.filePath(QString::fromUtf8(name)).toStdString();
  }

  // Built land in the middle, a river along the west edge, fields elsewhere; the colour
  // table and the category names say which is which.
  std::string MakeRaster() {
    const std::string path = Path("land.tif");
    GDALDriver* tiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    DatasetPtr raster(tiff->Create(path.c_str(), kSide, kSide, 1, GDT_Byte, nullptr));
    double transform[6] = {kLeft, 10.0, 0.0, kTop, 0.0, -10.0};
    raster->SetGeoTransform(transform);
    raster->SetSpatialRef(&utm_);
    std::vector<std::uint8_t> pixels;
    for (int r = 0; r < kSide; ++r) {
      for (int c = 0; c < kSide; ++c) {
        const bool centre = std::abs(c - kSide / 2) < 12 && std::abs(r - kSide / 2) < 12;
        pixels.push_back(c < 4 ? kWater : (centre ? kBuilt : kFields));
      }
    }
    GDALRasterBand& band = *raster->GetRasterBand(1);
    EXPECT_EQ(band.RasterIO(GF_Write, 0, 0, kSide, kSide, pixels.data(), kSide, kSide, GDT_Byte, 0,
                            0, nullptr),
              CE_None);
    GDALColorTable colours;
    const GDALColorEntry red{200, 40, 40, 255};
    colours.SetColorEntry(kBuilt, &red);
    band.SetColorTable(&colours);
    char** names = nullptr;
    for (int value = 0; value <= kBuilt; ++value) {
      names = CSLAddString(names, value == kBuilt ? "built" : (value == kWater ? "water" : ""));
    }
    band.SetCategoryNames(names);
    CSLDestroy(names);
    return path;
  }

  // A cross of two streets through the built land, and a layer of points that is no street.
  std::string MakeStreets() {
    const std::string path = Path("streets.gpkg");
    GDALDriver* gpkg = GetGDALDriverManager()->GetDriverByName("GPKG");
    DatasetPtr vector(gpkg->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* pois = vector->CreateLayer("pois", &utm_, wkbPoint, nullptr);
    OGRFeature poi(pois->GetLayerDefn());
    OGRPoint point(kLeft + 300.0, kTop - 300.0);
    poi.SetGeometry(&point);
    EXPECT_EQ(pois->CreateFeature(&poi), OGRERR_NONE);
    OGRLayer* roads = vector->CreateLayer("roads", &utm_, wkbLineString, nullptr);
    const double middle = kSide * 10.0 / 2;
    for (const auto& [x0, y0, x1, y1] : {std::array<double, 4>{100, middle, 500, middle},
                                         std::array<double, 4>{middle, 100, middle, 500}}) {
      OGRFeature feature(roads->GetLayerDefn());
      OGRLineString line;
      line.addPoint(kLeft + x0, kTop - y0);
      line.addPoint(kLeft + x1, kTop - y1);
      feature.SetGeometry(&line);
      EXPECT_EQ(roads->CreateFeature(&feature), OGRERR_NONE);
    }
    return path;
  }

  // The dialog as a user leaves it: raster and streets picked, the built class ticked.
  static void Fill(TownImportDialog& dialog, const std::string& raster,
                   const std::string& streets) {
    dialog.SetRaster(QString::fromStdString(raster));
    dialog.SetStreets(QString::fromStdString(streets));
    for (int i = 0; i < dialog.Classes()->count(); ++i) {
      QListWidgetItem* item = dialog.Classes()->item(i);
      if (item->text().contains(QStringLiteral("built"))) {
        item->setCheckState(Qt::Checked);
      }
    }
  }

  TForm1& Window() { return *program_.simulation; }
  World& world() { return program_.context->sim.world; }

  QTemporaryDir dir_;
  OGRSpatialReference utm_;
  DesktopProgram program_;
  std::vector<QString> errors_;
  std::string raster_;
  std::string streets_;
};

TEST_F(TownFilesTest, TheDialogOffersTheRastersClassesBoxAndLineLayers) {
  TownImportDialog dialog;
  dialog.SetRaster(QString::fromStdString(raster_));
  ASSERT_TRUE(dialog.Message()->text().isEmpty()) << dialog.Message()->text().toStdString();
  QStringList classes;
  for (int i = 0; i < dialog.Classes()->count(); ++i) {
    classes << dialog.Classes()->item(i)->text();
  }
  ASSERT_EQ(classes.size(), 3) << classes.join(QLatin1Char('|')).toStdString();
  EXPECT_TRUE(classes[0].startsWith(QStringLiteral("1  (")));
  EXPECT_EQ(classes[1], QStringLiteral("3  water  (240 px)"));
  EXPECT_EQ(classes[2], QStringLiteral("7  built  (529 px)"));
  // The table's colour shows beside its class.
  const QImage swatch = dialog.Classes()->item(2)->icon().pixmap(8, 8).toImage();
  EXPECT_EQ(swatch.pixelColor(4, 4), QColor(200, 40, 40));
  EXPECT_EQ(dialog.FineCell()->text(), QStringLiteral("10"));
  EXPECT_EQ(dialog.BoxEdge(0)->text(), QStringLiteral("600000"));
  EXPECT_EQ(dialog.BoxEdge(1)->text(), QStringLiteral("5299400"));
  EXPECT_EQ(dialog.BoxEdge(2)->text(), QStringLiteral("600600"));
  EXPECT_EQ(dialog.BoxEdge(3)->text(), QStringLiteral("5300000"));

  dialog.SetStreets(QString::fromStdString(streets_));
  ASSERT_EQ(dialog.Layers()->count(), 1);
  EXPECT_EQ(dialog.Layers()->itemText(0), QStringLiteral("roads"));

  dialog.SetRaster(QString::fromStdString(Path("missing.tif")));
  EXPECT_TRUE(dialog.Message()->text().contains(QStringLiteral("no such file")));
  EXPECT_EQ(dialog.Classes()->count(), 0);
}

TEST_F(TownFilesTest, BadInputStaysInTheDialogAndAFailedBuildKeepsTheWorld) {
  TownImportDialog dialog;
  dialog.SetRaster(QString::fromStdString(raster_));
  dialog.accept();  // no class ticked
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(dialog.Message()->text().contains(QStringLiteral("developed")));
  Fill(dialog, raster_, streets_);
  dialog.FineCell()->setText(QStringLiteral("abc"));
  dialog.accept();
  EXPECT_EQ(dialog.Message()->text(), QStringLiteral("Feinzellengröße: 'abc' is not a number"));
  EXPECT_EQ(dialog.TakeImport(), nullptr);
  // What the user typed is still there to mend.
  EXPECT_EQ(dialog.FineCell()->text(), QStringLiteral("abc"));

  // A box over the river alone holds no built land: found while building, after the open
  // world would already have been cleared had the town been built into it.
  Window().Button(QStringLiteral("B_setup"))->click();
  const std::uint32_t nodes = world().NodeCount;
  dialog.FineCell()->setText(QStringLiteral("10"));
  dialog.BoxEdge(2)->setText(QStringLiteral("600030"));
  dialog.accept();
  ASSERT_EQ(dialog.result(), QDialog::Accepted) << dialog.Message()->text().toStdString();
  EXPECT_FALSE(Window().ImportTown(dialog.TakeImport(), dialog.HasStreets()));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(errors_[0].contains(QStringLiteral("no fine cell is developed")))
      << errors_[0].toStdString();
  EXPECT_TRUE(world().Exists());
  EXPECT_EQ(world().NodeCount, nodes);
}

TEST_F(TownFilesTest, TheMenuImportsATownFittedToTheWindowAndExportsItsLayers) {
  // With the start-up window closed, the import opens a window of its own.
  program_.frame->MdiArea()->closeAllSubWindows();
  QApplication::processEvents();
  QTimer::singleShot(0, [this] {
    auto* dialog = qobject_cast<TownImportDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    Fill(*dialog, raster_, streets_);
    dialog->accept();
  });
  program_.frame->Action(QStringLiteral("TownImport"))->trigger();
  ASSERT_TRUE(errors_.empty()) << errors_.front().toStdString();
  TForm1* window = SimulationWindowToActOn(*program_.frame);
  ASSERT_NE(window, nullptr);
  // 60 pixels of 10 m: 20 coarse cells of 24 px.
  EXPECT_EQ(program_.context->sim.map.PanelWidth, 480);
  EXPECT_GT(world().NodeCount, 2u);
  EXPECT_TRUE(window->ImportSummary().contains(QStringLiteral("developed")))
      << window->ImportSummary().toStdString();
  // The raster's corner, at the centre of the first 1.25 m pixel.
  EXPECT_EQ(window->MapCoordinates(0, 0).toStdString(), "x 600000,62   y 5299999,37");
  const double fitted = window->Panel()->Zoom();
  window->FitMap();
  EXPECT_DOUBLE_EQ(window->Panel()->Zoom(), fitted);

  const QString out = dir_.filePath(QStringLiteral("gis"));
  program_.frame->ExportGis(out);
  ASSERT_TRUE(errors_.empty()) << errors_.front().toStdString();
  for (const char* name : {"landuse.tif", "cells.tif", "network.gpkg"}) {
    EXPECT_GT(std::filesystem::file_size(std::filesystem::path(out.toStdString()) / name), 0u)
        << name;
  }
  // A folder that is a file: the refusal says why.
  std::ofstream(Path("taken")) << "x";
  program_.frame->ExportGis(QString::fromStdString(Path("taken")));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(errors_[0].contains(QStringLiteral("taken"))) << errors_[0].toStdString();
}

// The grid of the imported town, as a forecast of it writes its maps.
GridFrame TownFrame(const OGRSpatialReference& crs) {
  char* wkt = nullptr;
  crs.exportToWkt(&wkt);
  GridFrame frame{180, 180, kLeft, kTop, 10.0 / 3, 10.0 / 3, wkt};
  CPLFree(wkt);
  return frame;
}

TEST_F(TownFilesTest, ResultFoldersOpenAsLayersOverTheirTownAndOnlyThere) {
  TownImportDialog dialog;
  Fill(dialog, raster_, streets_);
  dialog.FineCell()->setText(QStringLiteral("3,333333333333333"));
  dialog.accept();
  ASSERT_TRUE(Window().ImportTown(dialog.TakeImport(), true)) << errors_.front().toStdString();
  ASSERT_EQ(world().FineGrid.Columns(), 180);

  const std::filesystem::path forecast = Path("forecast");
  std::filesystem::create_directories(forecast);
  GridFrame frame = TownFrame(utm_);
  std::vector<float> shares(180 * 180, 0.0F);
  shares[0] = 1.0F;    // every run built the corner cell
  shares[181] = 0.3F;  // three runs in ten the next one
  WriteFileAtomically((forecast / "probability.tif").string(),
                      FloatRasterGeoTiff(frame, shares, "Probability"));
  std::ofstream(forecast / "forecast.json") << "{}";
  // "Öffnen" on the report opens the folder.
  program_.frame->OpenFile(QString::fromStdString((forecast / "forecast.json").string()));
  ASSERT_TRUE(errors_.empty()) << errors_.front().toStdString();
  const QImage& layer = Window().Panel()->Overlay();
  ASSERT_EQ(layer.size(), QSize(180, 180));
  EXPECT_EQ(qAlpha(layer.pixel(2, 0)), 0);  // no run built there: the town shows
  EXPECT_NE(layer.pixel(0, 0), layer.pixel(1, 1));
  EXPECT_TRUE(Window().ResultLegend()->text().contains(QStringLiteral("80–100 %")));

  // A comparison's classes come with the colours and names of its raster.
  const std::filesystem::path compare = Path("compare");
  std::filesystem::create_directories(compare);
  std::vector<std::uint8_t> outcome(180 * 180, 0);
  outcome[5] = 1;
  WriteFileAtomically(
      (compare / "outcome.tif").string(),
      ClassRasterGeoTiff(frame, outcome,
                         {{255, 255, 255, "free"}, {0, 158, 115, "hit"}, {1, 2, 3, "miss"}},
                         "Outcome"));
  std::ofstream(compare / "compare.json") << "{}";
  program_.frame->OpenResult(QString::fromStdString(compare.string()));
  ASSERT_TRUE(errors_.empty()) << errors_.front().toStdString();
  EXPECT_EQ(QColor::fromRgba(Window().Panel()->Overlay().pixel(5, 0)).rgb(),
            QColor(0, 158, 115).rgb());
  EXPECT_TRUE(Window().ResultLegend()->text().contains(QStringLiteral("hit")))
      << Window().ResultLegend()->text().toStdString();
  EXPECT_FALSE(Window().ResultLegend()->text().contains(QStringLiteral("free")));

  // Over another town the map is refused, and the layer shown stays.
  frame.columns = 90;
  WriteFileAtomically((forecast / "probability.tif").string(),
                      FloatRasterGeoTiff(frame, std::vector<float>(90 * 180, 0.5F), "Probability"));
  program_.frame->OpenResult(QString::fromStdString(forecast.string()));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(errors_[0].contains(QStringLiteral("another grid"))) << errors_[0].toStdString();
  EXPECT_EQ(Window().Panel()->Overlay().size(), QSize(180, 180));
  // A new world drops the layer.
  Window().Button(QStringLiteral("B_setup"))->click();
  EXPECT_TRUE(Window().Panel()->Overlay().isNull());
  EXPECT_TRUE(Window().ResultLegend()->text().isEmpty());

  // A calibration opens its distance charts.
  const std::filesystem::path calibration = Path("calibration");
  std::filesystem::create_directories(calibration);
  chart::Chart chart("Chart_distance", "distance");
  chart.AddSeries("ser_d", "distance", chart::SeriesKind::Line).Add(1, 2);
  chart::SaveChartFile(chart, (calibration / "distance_noise.tee").string());
  std::ofstream(calibration / "calibration.json") << "{}";
  program_.frame->OpenResult(QString::fromStdString(calibration.string()));
  EXPECT_EQ(errors_.size(), 1u);
  EXPECT_NE(program_.frame->FindChildWindow(QStringLiteral("TChartWindow")), nullptr);
}

}  // namespace
}  // namespace veltmoor
