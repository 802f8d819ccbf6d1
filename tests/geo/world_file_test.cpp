// The world file is written member by member and grid column by grid column; it must still
// be the one JSON document earlier versions wrote, and read back to the same world.
#include "geo/world_file.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "simulation/run_control.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

TEST(WorldFileTest, StreamedDocumentIsTheCompactJsonOfItselfAndReadsBack) {
  testing::TestSimulation t(240, 180);
  t.random.SetFixedSeed(5);
  t.settings.SetChecked(setting::kBoom, true);
  NewSetup(t.sim);
  StartRun(t.sim);
  for (int i = 0; i < 25; ++i) {
    SimulationStep(t.sim);
  }
  const std::string text = WorldJsonText(t.sim, 5u);
  // Keys in sorted order, no spaces, one line end: what dumping the parsed document gives.
  EXPECT_EQ(nlohmann::json::parse(text).dump() + "\n", text);

  const WorldDocument document = ParseWorldDocument(text);
  EXPECT_EQ(document.columns, t.world().ColumnCount);
  EXPECT_EQ(document.rows, t.world().RowCount);
  EXPECT_EQ(document.seed, std::optional<std::uint64_t>(5u));
  ASSERT_EQ(document.fine.Cells().size(), t.world().FineGrid.Cells().size());
  for (std::size_t i = 0; i < document.fine.Cells().size(); ++i) {
    ASSERT_EQ(document.fine.Cells()[i].LandUse, t.world().FineGrid.Cells()[i].LandUse) << i;
    ASSERT_EQ(document.fine.Cells()[i].Potential, t.world().FineGrid.Cells()[i].Potential) << i;
  }
}

}  // namespace
}  // namespace veltmoor
