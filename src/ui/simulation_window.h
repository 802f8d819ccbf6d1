// TForm1, "growing network": the simulation window with the map panel, the settings on their
// tabs, the run buttons, the labels, the value list and the charts. It forwards every action
// to the core and shows the core's output models.
#pragma once

#include <optional>

#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "geo/world_file.h"
#include "simulation/output_models.h"
#include "ui/widget_settings.h"

class QScrollArea;
class QLabel;
class QTableWidget;
class QTabWidget;
class QPushButton;
class QToolButton;
class QGridLayout;
class QFormLayout;
class QVBoxLayout;

namespace veltmoor {

struct AppContext;
struct Simulation;
class MapPanel;
class ChartView;
class BuildingRuleStudy;
class WidgetControls;
class TownImport;
struct CheckedWorld;
struct ResultLayer;
namespace chart {
class Chart;
}

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm1(AppContext& context, QWidget* parent = nullptr);
  ~TForm1() override;

  // One handler as the user's click runs it: settings routed to this window's controls,
  // failures shown in a box, the step timer and the views brought up to date afterwards.
  bool Act(const std::function<void()>& handler);

  // World files: a bad file is refused with a box naming what is wrong, the world kept.
  bool LoadWorld(const QString& path);
  bool SaveWorldAs(const QString& path);
  // Builds a checked import off the UI thread (progress bar, "Abbrechen") and opens the
  // town fitted to the window; the open world stays until the town is complete.
  bool ImportTown(std::unique_ptr<TownImport> town, bool streets);
  // The world's GIS layers (landuse.tif, cells.tif, network.gpkg) into `folder`.
  bool ExportGis(const QString& folder);
  // A forecast's or comparison's folder (or its report file) as a layer over the open
  // town with its legend; a calibration folder's distance charts as chart windows. A map
  // on another grid than the world's is refused.
  bool OpenResult(const QString& path);
  QLabel* ResultLegend() const { return result_legend_; }
  // The summary of the last import, a line each, "; " between.
  const QString& ImportSummary() const { return import_summary_; }

  QTimer& Timer1() { return timer1_; }
  void ToggleTimer();
  // Closed windows linger until deleted; minimised or hidden ones are still open.
  bool Closed() const { return closed_; }
  void Timer1Timer();  // one tick: one time step
  WidgetSettings& Settings() { return settings_; }
  MapPanel* Panel() const { return panel_; }
  QPushButton* Button(const QString& objectName) const;
  QTabWidget* Tabs() const { return tabs_; }
  // The map shown whole in the window ("fit"), or one scale step larger or smaller.
  void FitMap();
  void ZoomBy(int steps);
  // Brings labels, value list, legend, charts and map up to date with the core.
  void RefreshViews();
  void RefreshCharts();  // the chart views now on screen
  // The map coordinates (the CRS's units) of panel pixel (x, y) of a georeferenced world,
  // as the status bar shows them; empty for a world without a place on the earth.
  QString MapCoordinates(int x, int y) const;

  // The building-rule study on the tab "building structure analysis", stepped by its own
  // timer instead of Timer1.
  BuildingRuleStudy& BuildingStudy() { return *building_study_; }
  QTimer& Timer_buildAna() { return timer_buildAna_; }
  void Timer_buildAnaTimer();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Simulation& sim();
  QWidget* BuildMapView(QWidget* parent);
  QWidget* BuildFieldTypesTab();
  QWidget* BuildDevelopmentTab();
  QWidget* BuildBuildingTab();
  QWidget* BuildAnalyseGraphTab();
  QWidget* BuildAnalyseStructureTab();
  QWidget* BuildBuildingAnalysisTab();
  void AddSettings(QFormLayout* form, const std::string& tab);
  QPushButton* AddButton(QLayout* layout, const QString& name, const QString& caption,
                         const std::function<void()>& handler);
  QLabel* AddLabel(LabelName name);
  QWidget* ChartGrid(std::initializer_list<chart::ChartName> charts, int columns);
  QWidget* LabelRow(const QString& caption, LabelName name);
  QWidget* BuildGradientGroup();
  void ConnectSettingEvents();
  void SyncTimer();
  void OpenCheckedWorld(CheckedWorld& world, bool fit);
  // nullptr removes the layer and its legend.
  void ShowResultLayer(const ResultLayer* layer);
  void StopAfterFailure();
  void ShowMapCoordinates(int x, int y);
  void OpenStudy(const QString& className);
  // Timer_buildAna follows the study; Timer1 stays off while it runs.
  void SyncBuildingStudyTimer();
  void EnsureTableWindow();
  // Shows "calculate pathes..." with its progress bar over the map while `work` runs.
  void WithProgressPanel(const std::function<void()>& work);

  AppContext& context_;
  WidgetSettings settings_;
  bool closed_ = false;
  std::optional<Georeference> georeference_;  // of the world loaded from a file
  QString import_summary_;
  QLabel* result_legend_ = nullptr;
  QToolButton* result_off_ = nullptr;
  QTimer timer1_;
  QTimer refresh_;
  MapPanel* panel_ = nullptr;
  QScrollArea* map_scroll_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QTableWidget* value_list_ = nullptr;
  QLabel* gradient_ = nullptr;
  std::vector<std::pair<LabelName, QLabel*>> labels_;
  std::map<QString, QPushButton*> buttons_;
  std::map<std::string, ChartView*> chart_views_;
  std::uint64_t labels_seen_ = ~std::uint64_t{0};
  std::uint64_t values_seen_ = ~std::uint64_t{0};
  std::uint64_t gradient_seen_ = ~std::uint64_t{0};
  std::uint64_t refresh_ticks_ = 0;
  std::unique_ptr<WidgetControls> own_controls_;
  std::unique_ptr<BuildingRuleStudy> building_study_;
  QTimer timer_buildAna_;
};

}  // namespace veltmoor
