#include "ui/table_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <algorithm>

#include "simulation/connectivity_table_model.h"
#include "simulation/output_models.h"
#include "ui/app_context.h"

namespace veltmoor {

namespace {

constexpr int kMeasureColumns = 4;

}  // namespace

ConnectivityItemModel::ConnectivityItemModel(const ConnectivityTableModel& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
  Sync();
}

void ConnectivityItemModel::Sync() {
  if (table_.ChangeCount() == seen_) {
    return;
  }
  seen_ = table_.ChangeCount();
  beginResetModel();
  rows_ = table_.RowCount();
  columns_ = table_.ColumnCount();
  endResetModel();
}

int ConnectivityItemModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(0, rows_ - 1);
}

int ConnectivityItemModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(0, columns_ - 1);
}

QVariant ConnectivityItemModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) {
    return {};
  }
  return QString::fromStdString(table_.Cell(index.column() + 1, index.row() + 1));
}

QVariant ConnectivityItemModel::headerData(int section, Qt::Orientation orientation,
                                           int role) const {
  if (role != Qt::DisplayRole) {
    return {};
  }
  // The fixed row and column of the grid are the view's headers.
  return orientation == Qt::Horizontal ? QString::fromStdString(table_.Cell(section + 1, 0))
                                       : QString::fromStdString(table_.Cell(0, section + 1));
}

TextGridItemModel::TextGridItemModel(TextGrid& grid, int columns, int rows, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), columns_(columns), rows_(rows) {}

int TextGridItemModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int TextGridItemModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns_;
}

QVariant TextGridItemModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
    return {};
  }
  return QString::fromStdString(grid_.Cell(index.column(), index.row()));
}

bool TextGridItemModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) {
    return false;
  }
  grid_.SetCell(index.column(), index.row(), value.toString().toStdString());
  seen_ = grid_.ChangeCount();
  emit dataChanged(index, index);
  return true;
}

Qt::ItemFlags TextGridItemModel::flags(const QModelIndex& index) const {
  return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

void TextGridItemModel::Sync() {
  if (grid_.ChangeCount() == seen_) {
    return;
  }
  seen_ = grid_.ChangeCount();
  emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
}

TConnectivityTable::TConnectivityTable(AppContext& context, QWidget* parent)
    : QWidget(parent),
      table_model_(new ConnectivityItemModel(context.sim.StringGrid1, this)),
      dissimi_model_(new TextGridItemModel(context.sim.DissimiGrid, 7, 7, this)),
      string_grid_(new QTableView(this)),
      dissimi_grid_(new QTableView(this)) {
  setWindowTitle(QStringLiteral("Connectivity Table"));
  setProperty("windowClass", QStringLiteral("TConnectivityTable"));
  string_grid_->setObjectName("StringGrid1");
  string_grid_->setModel(table_model_);
  string_grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  string_grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  // Fixed sizes keep a table of thousands of nodes from measuring every cell.
  string_grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  string_grid_->horizontalHeader()->setDefaultSectionSize(32);
  string_grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  string_grid_->verticalHeader()->setDefaultSectionSize(16);
  string_grid_->verticalHeader()->setMinimumWidth(32);
  // The measures after the hop counts (sum, ML, sML, loc) hold decimals that the narrow
  // hop-count width would cut; they are few, so they are measured.
  connect(table_model_, &QAbstractItemModel::modelReset, this, [this] {
    const int columns = table_model_->columnCount();
    for (int column = std::max(0, columns - kMeasureColumns); column < columns; ++column) {
      string_grid_->resizeColumnToContents(column);
    }
  });
  dissimi_grid_->setObjectName("DissimiGrid");
  dissimi_grid_->setModel(dissimi_model_);
  dissimi_grid_->horizontalHeader()->setDefaultSectionSize(45);
  dissimi_grid_->verticalHeader()->setDefaultSectionSize(20);
  dissimi_grid_->setToolTip(QStringLiteral("dissimilarity (2,1) and segregation indices (row 3)"));

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->addWidget(string_grid_);
  splitter->addWidget(dissimi_grid_);
  splitter->setHandleWidth(5);
  splitter->setSizes({706, 326});
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);
  resize(1037, 427);

  auto* timer = new QTimer(this);
  timer->setInterval(200);
  connect(timer, &QTimer::timeout, this, &TConnectivityTable::Sync);
  timer->start();
}

void TConnectivityTable::Sync() {
  table_model_->Sync();
  dissimi_model_->Sync();
}

}  // namespace veltmoor
