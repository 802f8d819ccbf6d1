// The "Info über" dialog.
#pragma once

#include <QDialog>

namespace veltmoor {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
};

}  // namespace veltmoor
