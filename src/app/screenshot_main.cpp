// veltmoor-screenshot: drives the desktop program as a user would (a boom run, then
// "calcPathes" and "fractal A.") and saves a picture of the frame, for the documentation.
// --make-town FOLDER writes a made-up town's land raster and roads; --town FOLDER WxH
// pictures its import, the imported town and the forecast in FOLDER/forecast (Makefile:
// "make screenshots-town"). With --bench STEPS it instead runs a boom town from the real 1 ms timer
// with the map shown and reports the step rate and the longest wait a click would have had.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>

#include "geo/gdal_support.h"
#include "simulation/world.h"
#include "studies/analyseDevPara.h"
#include "ui/app_context.h"
#include "ui/desktop_program.h"
#include "ui/import_dialog.h"
#include "ui/main_form.h"
#include "ui/simulation_window.h"
#include "ui/study_windows.h"

namespace {

int Bench(int steps) {
  veltmoor::DesktopProgram program = veltmoor::StartDesktopProgram(true);
  program.frame->showNormal();
  program.frame->setGeometry(0, 0, 1600, 1000);
  veltmoor::TForm1& window = *program.simulation;
  window.findChild<QRadioButton*>(QStringLiteral("RB_boom"))->click();
  // The step limit ends the run at the last step, like a user's auto-stop.
  window.Settings().SetText(veltmoor::setting::kStopAt, std::to_string(steps - 1));
  QElapsedTimer clock;
  QElapsedTimer sinceLast;
  qint64 longestGap = 0;
  // A zero-interval timer runs whenever the event loop is free: the gaps between its runs
  // are how long a click would have waited.
  QTimer probe;
  probe.setInterval(0);
  const veltmoor::World& world = program.context->sim.world;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    // The first steps share the loop with the window's first layout and paint.
    if (world.TimeStep > 10) {
      longestGap = std::max(longestGap, sinceLast.nsecsElapsed());
    }
    sinceLast.restart();
    if (!window.Timer1().isActive()) {
      QApplication::quit();
    }
  });
  clock.start();
  sinceLast.start();
  window.Button(QStringLiteral("B_ITL_start"))->click();
  probe.start();
  QApplication::exec();
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  std::cout << "desktop: " << steps << " steps in " << seconds << " s, "
            << static_cast<double>(steps) / seconds << " steps/s, longest wait for a click "
            << static_cast<double>(longestGap) / 1e6 << " ms\n";
  return 0;
}

// A short study of the window class `study_class` run to its end in a small world; its
// window is the one pictured.
QWidget* RunStudy(veltmoor::DesktopProgram& program, const QString& study_class) {
  program.simulation->Settings().SetText(veltmoor::setting::kCellScale, "60");
  auto* study = qobject_cast<veltmoor::StudyWindow*>(program.frame->OpenOrSwitch(study_class));
  if (study == nullptr) {
    return nullptr;
  }
  veltmoor::WidgetSettings& own = study->Settings();
  if (study_class == QStringLiteral("TAnaDev")) {
    own.SetChecked(veltmoor::SettingName{"CB1_acti"}, true);
    own.SetText(veltmoor::SettingName{"E1_valTo"}, "3,0");
    own.SetText(veltmoor::setting::dev_para::kIncrement, "1");
    own.SetText(veltmoor::setting::dev_para::kTimeUntilNextStep, "20");
    own.SetChecked(veltmoor::setting::dev_para::kShowTrend, true);
    own.SetChecked(veltmoor::setting::dev_para::kStartStop, true);
  } else if (study_class == QStringLiteral("TanaMinDist")) {
    own.SetText(veltmoor::setting::min_dist::kValuesTo, "4");
    own.SetText(veltmoor::setting::min_dist::kTimesteps, "30");
    own.SetText(veltmoor::setting::min_dist::kCalculationsPerValue, "3");
  } else {
    own.SetText(veltmoor::setting::cluster_growth::kMeasureSteps, "10");
    own.SetText(veltmoor::setting::cluster_growth::kGrowUntil, "60");
    own.SetText(veltmoor::setting::cluster_growth::kCalculations, "3");
  }
  study->Button(QStringLiteral("B_start"))->click();
  for (int tick = 0; tick < 200000 && study->StudyObject().Running(); ++tick) {
    study->StudyTimerTick();
  }
  if (study_class == QStringLiteral("TAnaDev")) {
    study->StudyObject()
        .StudyChart()
        .Get(veltmoor::series_name::dev_para::kMeanLength)
        .SetVisible(true);
  }
  study->RefreshViews();
  return study;
}

// A made-up town for the pictures of the GIS commands: built land thinning out from the
// centre and along six roads, fields, woods and a river, 400 x 400 pixels of 10 m in UTM
// zone 32, and its roads as a GeoPackage.
constexpr int kTownSide = 400;
constexpr double kTownLeft = 480000.0;
constexpr double kTownTop = 5710000.0;
enum TownClass : std::uint8_t { kBuilt = 1, kFields = 2, kWoods = 3, kWater = 4 };

int MakeTown(const std::string& folder) {
  veltmoor::EnsureGdal();
  std::filesystem::create_directories(folder);
  OGRSpatialReference utm;
  utm.importFromEPSG(32632);
  utm.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  constexpr double kPi = 3.14159265358979;
  const double centre = kTownSide / 2.0;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<std::uint8_t> pixels;
  for (int r = 0; r < kTownSide; ++r) {
    for (int c = 0; c < kTownSide; ++c) {
      const double dx = c - centre;
      const double dy = r - centre;
      const double distance = std::hypot(dx, dy);
      // Nearness to one of six roads leaving the centre.
      const double angle = std::atan2(dy, dx) + kPi;
      const double offRoad =
          distance * std::abs(std::sin(std::fmod(angle, kPi / 3.0) - kPi / 6.0 + kPi / 6.0));
      const double built =
          std::exp(-distance / 45.0) + 0.8 * std::exp(-offRoad / 6.0) * std::exp(-distance / 160.0);
      const double river = std::abs(r - (60.0 + 25.0 * std::sin(c / 40.0)));
      std::uint8_t value = kFields;
      if (river < 4.0) {
        value = kWater;
      } else if (unit(random) < built) {
        value = kBuilt;
      } else if (std::sin(c / 23.0) * std::cos(r / 31.0) > 0.55) {
        value = kWoods;
      }
      pixels.push_back(value);
    }
  }
  GDALDriver* tiff = GetGDALDriverManager()->GetDriverByName("GTiff");
  const std::string land = folder + "/land.tif";
  veltmoor::DatasetPtr raster(
      tiff->Create(land.c_str(), kTownSide, kTownSide, 1, GDT_Byte, nullptr));
  double transform[6] = {kTownLeft, 10.0, 0.0, kTownTop, 0.0, -10.0};
  raster->SetGeoTransform(transform);
  raster->SetSpatialRef(&utm);
  GDALRasterBand& band = *raster->GetRasterBand(1);
  GDALColorTable colours;
  const std::array<GDALColorEntry, 5> entries = {{{0, 0, 0, 0},
                                                  {200, 60, 50, 255},
                                                  {235, 225, 150, 255},
                                                  {60, 130, 70, 255},
                                                  {70, 120, 200, 255}}};
  for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
    colours.SetColorEntry(i, &entries.at(static_cast<std::size_t>(i)));
  }
  band.SetColorTable(&colours);
  const char* names[] = {"", "built-up", "fields", "woods", "water", nullptr};
  band.SetCategoryNames(const_cast<char**>(names));
  if (band.RasterIO(GF_Write, 0, 0, kTownSide, kTownSide, pixels.data(), kTownSide, kTownSide,
                    GDT_Byte, 0, 0, nullptr) != CE_None) {
    return 1;
  }
  raster.reset();
  GDALDriver* gpkg = GetGDALDriverManager()->GetDriverByName("GPKG");
  const std::string streets = folder + "/streets.gpkg";
  std::filesystem::remove(streets);
  veltmoor::DatasetPtr vector(gpkg->Create(streets.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  OGRLayer* roads = vector->CreateLayer("roads", &utm, wkbLineString, nullptr);
  for (int i = 0; i < 6; ++i) {
    const double angle = i * kPi / 3.0;
    OGRFeature feature(roads->GetLayerDefn());
    OGRLineString line;
    for (const double along : {0.0, 60.0, 120.0, 190.0}) {
      line.addPoint(kTownLeft + 10.0 * (centre + along * std::cos(angle)),
                    kTownTop - 10.0 * (centre + along * std::sin(angle)));
    }
    feature.SetGeometry(&line);
    if (roads->CreateFeature(&feature) != OGRERR_NONE) {
      return 1;
    }
  }
  std::cout << "made " << land << " and " << streets << "\n";
  return 0;
}

// Grabs the pending paint of `widget` into `path`.
bool Save(QWidget& widget, const QString& path) {
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  if (!widget.grab().save(path)) {
    std::cerr << "cannot write " << path.toStdString() << "\n";
    return false;
  }
  std::cout << "saved " << path.toStdString() << "\n";
  return true;
}

// The import dialog filled for the made-up town, the town it builds fitted to the window,
// and the forecast made of it (FOLDER/forecast) as a layer over it.
int TownPictures(const std::string& folder, int width, int height) {
  veltmoor::DesktopProgram program = veltmoor::StartDesktopProgram(true);
  program.frame->showNormal();
  program.frame->setGeometry(0, 0, width, height);
  const QString base = QString::fromStdString(folder);
  const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
  bool saved = true;
  veltmoor::TownImportDialog dialog(program.frame.get());
  dialog.SetRaster(base + QStringLiteral("/land.tif"));
  dialog.SetStreets(base + QStringLiteral("/streets.gpkg"));
  dialog.Classes()->item(0)->setCheckState(Qt::Checked);
  dialog.show();
  QApplication::processEvents();
  {
    // The dialog as the user sees it: over the frame, in its middle.
    QPixmap screen = program.frame->grab();
    QPainter painter(&screen);
    const QPixmap box = dialog.grab();
    painter.drawPixmap((screen.width() - box.width()) / 2, (screen.height() - box.height()) / 2,
                       box);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.drawRect((screen.width() - box.width()) / 2 - 1,
                     (screen.height() - box.height()) / 2 - 1, box.width() + 1, box.height() + 1);
    const QString path = QStringLiteral("docs/import-dialog-%1.png").arg(size);
    saved = screen.save(path) && saved;
    std::cout << "saved " << path.toStdString() << "\n";
  }
  dialog.accept();
  veltmoor::TForm1& window = *program.simulation;
  if (!window.ImportTown(dialog.TakeImport(), dialog.HasStreets())) {
    return 1;
  }
  window.RefreshViews();
  saved = Save(*program.frame, QStringLiteral("docs/imported-town-%1.png").arg(size)) && saved;
  if (!window.OpenResult(base + QStringLiteral("/forecast"))) {
    return 1;
  }
  window.RefreshViews();
  saved = Save(*program.frame, QStringLiteral("docs/probability-layer-%1.png").arg(size)) && saved;
  return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--make-town") {
    QCoreApplication app(argc, argv);
    return MakeTown(argv[2]);
  }
  if (argc >= 4 && std::string(argv[1]) == "--town") {
    QApplication app(argc, argv);
    const QStringList size = QString::fromLocal8Bit(argv[3]).split(QLatin1Char('x'));
    return TownPictures(argv[2], size.value(0).toInt(), size.value(1).toInt());
  }
  if (argc >= 3 && std::string(argv[1]) == "--bench") {
    QApplication app(argc, argv);
    return Bench(std::atoi(argv[2]));
  }
  if (argc < 2) {
    std::cerr << "usage: veltmoor-screenshot OUT.png [STEPS [TAB [WIDTHxHEIGHT [STUDY]]]]\n";
    return 2;
  }
  QApplication app(argc, argv);
  const QString out = QString::fromLocal8Bit(argv[1]);
  const int steps = argc > 2 ? std::atoi(argv[2]) : 300;
  const int tab = argc > 3 ? std::atoi(argv[3]) : 4;
  int width = 1600;
  int height = 1000;
  if (argc > 4) {
    const QStringList size = QString::fromLocal8Bit(argv[4]).split(QLatin1Char('x'));
    width = size.value(0).toInt();
    height = size.value(1).toInt();
  }
  const QString study_class = argc > 5 ? QString::fromLocal8Bit(argv[5]) : QString();

  veltmoor::DesktopProgram program = veltmoor::StartDesktopProgram(true);
  program.frame->showNormal();
  program.frame->setGeometry(0, 0, width, height);
  veltmoor::TForm1& window = *program.simulation;
  if (!study_class.isEmpty()) {
    QWidget* study = RunStudy(program, study_class);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    return study != nullptr && study->grab().save(out) ? 0 : 1;
  }
  window.findChild<QRadioButton*>(QStringLiteral("RB_boom"))->click();
  window.Button(QStringLiteral("B_ITL_start"))->click();
  for (int i = 0; i < steps && window.Timer1().isActive(); ++i) {
    window.Timer1Timer();
  }
  window.Button(QStringLiteral("B_ITL_stop"))->click();
  window.Button(QStringLiteral("B_CalcPathes"))->click();
  window.Button(QStringLiteral("Button4"))->click();
  window.Tabs()->setCurrentIndex(tab);
  QApplication::processEvents();
  window.RefreshViews();
  window.RefreshCharts();
  // Rebuilt charts drop their old axes with deleteLater; let those go before the picture.
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  if (!program.frame->grab().save(out)) {
    std::cerr << "cannot write " << out.toStdString() << "\n";
    return 1;
  }
  std::cout << "saved " << out.toStdString() << "\n";
  return 0;
}
