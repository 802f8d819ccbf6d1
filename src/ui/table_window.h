// TConnectivityTable, "Connectivity Table": the hop distances with the per-node measures,
// read from the core's table model cell by cell as the view scrolls, and the editable
// dissimilarity grid beside it.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>

class QTableView;
class QTimer;

namespace veltmoor {

struct AppContext;
class ConnectivityTableModel;
class TextGrid;

// StringGrid1 for a QTableView: row 0 and column 0 are the fixed header row and column.
class ConnectivityItemModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  ConnectivityItemModel(const ConnectivityTableModel& table, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // Tells the view when the core table changed since the last call.
  void Sync();

 private:
  const ConnectivityTableModel& table_;
  std::uint64_t seen_ = ~std::uint64_t{0};
  int rows_ = 0;
  int columns_ = 0;
};

// DissimiGrid: 7 x 7 cells the analyses write and the user may edit.
class TextGridItemModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  TextGridItemModel(TextGrid& grid, int columns, int rows, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  void Sync();

 private:
  TextGrid& grid_;
  int columns_;
  int rows_;
  std::uint64_t seen_ = ~std::uint64_t{0};
};

class TConnectivityTable : public QWidget {
  Q_OBJECT
 public:
  explicit TConnectivityTable(AppContext& context, QWidget* parent = nullptr);
  QTableView* StringGrid1() const { return string_grid_; }
  QTableView* DissimiGrid() const { return dissimi_grid_; }
  void Sync();

 private:
  ConnectivityItemModel* table_model_;
  TextGridItemModel* dissimi_model_;
  QTableView* string_grid_;
  QTableView* dissimi_grid_;
};

}  // namespace veltmoor
