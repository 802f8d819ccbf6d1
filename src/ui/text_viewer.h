// A child window showing a text file line by line.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

namespace veltmoor {

class TMDIChild : public QWidget {
  Q_OBJECT
 public:
  // What a viewer shows of a large file: a one-line world file of hundreds of megabytes
  // would otherwise hold the program for minutes and gigabytes.
  static constexpr qint64 kShownBytes = qint64{2} * 1024 * 1024;
  // Longer lines are shown in pieces of this length; one line of megabytes in a view that
  // does not wrap makes every repaint slow.
  static constexpr int kShownLineLength = 4000;

  explicit TMDIChild(QWidget* parent = nullptr);
  // Titles the viewer with the file name and shows the file's lines; a file that does not
  // exist gives an empty viewer, without a message. Of a large file the first kShownBytes
  // are shown, read-only, with a note of how much is left out.
  void LoadFile(const QString& path);
  QPlainTextEdit* Memo() const { return memo_; }

 private:
  QPlainTextEdit* memo_;
};

}  // namespace veltmoor
