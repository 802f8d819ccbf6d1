#include "ui/study_placeholder.h"

#include <QLabel>
#include <QVBoxLayout>

namespace veltmoor {

QWidget* CreateStudyPlaceholder(const QString& className, const QString& caption) {
  auto* window = new QWidget;
  window->setWindowTitle(caption);
  window->setProperty("windowClass", className);
  auto* layout = new QVBoxLayout(window);
  auto* note = new QLabel(QStringLiteral("This parameter study is not available in this "
                                         "version yet."),
                          window);
  note->setWordWrap(true);
  layout->addWidget(note);
  window->resize(360, 120);
  return window;
}

}  // namespace veltmoor
