// The three study windows of the frame: the development-parameter study ("AnaDevPara"), the
// minimum-distance study ("analyse min distance") and the cluster-growth study ("analyse
// cluster growth"). Each shows its study's controls, labels and chart and drives the
// start-up simulation window from its own timer.
#pragma once

#include "studies/analyseClusterGrowth.h"
#include "studies/analyseDevPara.h"
#include "studies/analyseMinDist.h"
#include "ui/study_window.h"

class QGroupBox;

namespace veltmoor {

class TAnaDev : public StudyWindow {
  Q_OBJECT
 public:
  explicit TAnaDev(AppContext& context);
  DevParaStudy& DevPara() { return *dev_; }

 private:
  QWidget* BuildControls();
  QGroupBox* BuildParameterGroup();
  void ConnectEvents();

  DevParaStudy* dev_ = nullptr;
};

class TanaMinDist : public StudyWindow {
  Q_OBJECT
 public:
  explicit TanaMinDist(AppContext& context);
  MinDistStudy& MinDist() { return *min_dist_; }

 private:
  QWidget* BuildControls();
  void ConnectEvents();

  MinDistStudy* min_dist_ = nullptr;
};

class Tana_clusterGrow : public StudyWindow {
  Q_OBJECT
 public:
  explicit Tana_clusterGrow(AppContext& context);
  ClusterGrowthStudy& ClusterGrowth() { return *growth_; }

 private:
  QWidget* BuildControls();
  void ConnectEvents();

  ClusterGrowthStudy* growth_ = nullptr;
};

}  // namespace veltmoor
