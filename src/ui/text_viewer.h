// A child window showing a text file line by line.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

namespace veltmoor {

class TMDIChild : public QWidget {
  Q_OBJECT
 public:
  explicit TMDIChild(QWidget* parent = nullptr);
  // Titles the viewer with the file name and shows the file's lines; a file that does not
  // exist gives an empty viewer, without a message.
  void LoadFile(const QString& path);
  QPlainTextEdit* Memo() const { return memo_; }

 private:
  QPlainTextEdit* memo_;
};

}  // namespace veltmoor
