// Stand-in for a study window that this build does not have yet, so the buttons that open
// studies still answer.
#pragma once

#include <QWidget>

namespace veltmoor {

QWidget* CreateStudyPlaceholder(const QString& className, const QString& caption);

}  // namespace veltmoor
