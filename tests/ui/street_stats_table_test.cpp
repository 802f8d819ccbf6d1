#include "ui/street_stats_table.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>

#include "qt_app.h"
#include "support/test_world.h"

namespace veltmoor {
namespace {

// Two nodes one coarse cell apart in a synthetic world of 24-pixel cells: one 24 m street.
TEST(StreetStatsTableTest, PressShowsTheStatisticsOfTheWorldAsItIsNow) {
  test::TestApp();
  testing::TestWorld t(4, 4);
  t.world().Created = true;
  testing::AddNode(t.world(), 0, 0);
  testing::AddNode(t.world(), 1, 0);
  testing::Link(t.world(), 0, 1);
  const std::optional<Georeference> none;
  StreetStatsTable widget(nullptr, t.sim(), none);
  auto* table = widget.findChild<QTableWidget*>(QStringLiteral("StreetStatsGrid"));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount(), 0);
  widget.findChild<QPushButton*>(QStringLiteral("B_StreetStats"))->click();
  ASSERT_GT(table->rowCount(), 0);
  QString length;
  QString entropy;
  for (int row = 0; row < table->rowCount(); ++row) {
    if (table->item(row, 0)->text() == QStringLiteral("street_length_total")) {
      length = table->item(row, 1)->text();
    }
    if (table->item(row, 0)->text() == QStringLiteral("orientation_entropy")) {
      entropy = table->item(row, 1)->text();
    }
  }
  EXPECT_EQ(length, QStringLiteral("24"));
  EXPECT_EQ(entropy, QStringLiteral("0,693147180559945"));  // ln 2: east and west
  EXPECT_NE(table->toolTip().indexOf(QStringLiteral("1 pixel counts as 1 metre")), -1);
}

}  // namespace
}  // namespace veltmoor
