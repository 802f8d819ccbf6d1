// A tiny world for study tests: a 5 x 5 cell map, the simulation's settings in memory
// written through MapSettingsControls, a scratch folder beside "the executable", and a
// snapshot taker that writes a small file and remembers the paths.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "studies/study.h"
#include "support/scratch_folder.h"
#include "support/test_simulation.h"

namespace veltmoor::testing {

class RecordingSnapshots : public SnapshotTaker {
 public:
  void Snapshot(const std::string& path, SnapshotKind kind) override {
    std::ofstream out(path);
    if (!out) {
      throw std::runtime_error("cannot open the picture file");
    }
    out << "jpeg";
    taken.emplace_back(path, kind);
  }
  std::vector<std::pair<std::string, SnapshotKind>> taken;
};

struct StudyWorld {
  StudyWorld() : t(120, 120), controls(t.settings) {}

  StudyContext Context(const std::filesystem::path& base_dir, SnapshotTaker* taker = nullptr) {
    return StudyContext{t.sim, controls, taker, base_dir};
  }

  TestSimulation t;
  MapSettingsControls controls;
};

// Ticks while the study's timer is on, with a bound so a fault cannot hang the tests.
inline long long RunToEnd(Study& study, long long max_ticks = 200000) {
  long long ticks = 0;
  while (study.Running() && ticks < max_ticks) {
    study.Tick();
    ++ticks;
  }
  return ticks;
}

inline std::vector<Measurement> OfSeries(const std::vector<Measurement>& all,
                                         const std::string& series) {
  std::vector<Measurement> picked;
  for (const Measurement& m : all) {
    if (m.series == series) {
      picked.push_back(m);
    }
  }
  return picked;
}

}  // namespace veltmoor::testing
