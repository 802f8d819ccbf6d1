#include "ui/street_stats_table.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "analysis/street_network_stats.h"
#include "analysis/town_measures.h"
#include "geo/map_scale.h"
#include "simulation/numbers.h"

namespace veltmoor {

StreetStatsTable::StreetStatsTable(QWidget* parent, const Simulation& sim,
                                   const std::optional<Georeference>& georeference)
    : QWidget(parent), sim_(sim), georeference_(georeference) {
  setObjectName(QStringLiteral("StreetStats"));
  auto* layout = new QVBoxLayout(this);
  auto* button = new QPushButton(QStringLiteral("street stats"), this);
  button->setObjectName(QStringLiteral("B_StreetStats"));
  layout->addWidget(button);
  table_ = new QTableWidget(0, 2, this);
  table_->setObjectName(QStringLiteral("StreetStatsGrid"));
  table_->setHorizontalHeaderLabels({QStringLiteral("measure"), QStringLiteral("value")});
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  layout->addWidget(table_, 1);
  connect(button, &QPushButton::clicked, this, [this] { Refresh(); });
}

void StreetStatsTable::Refresh() {
  const World& world = sim_.world;
  if (!world.Exists()) {
    table_->setRowCount(0);
    return;
  }
  const MapScale scale = ScaleOfWorld(world.CellSize, sim_.map.Height(), georeference_);
  const nlohmann::json stats = TownMeasuresJson(world, scale, {})["StreetNetwork"];
  const std::vector<std::string>& names = StreetStatisticNames();
  table_->setRowCount(static_cast<int>(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i) {
    const nlohmann::json& value = stats[names[i]];
    const QString text = value.is_number()
                             ? QString::fromStdString(FormatNumber(value.get<double>()))
                             : QStringLiteral("-");
    const int row = static_cast<int>(i);
    table_->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(names[i])));
    table_->setItem(row, 1, new QTableWidgetItem(text));
  }
  table_->setToolTip(QString::fromStdString(stats.value("Units", std::string())));
}

}  // namespace veltmoor
