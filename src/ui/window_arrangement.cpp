#include "ui/window_arrangement.h"

#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRect>
#include <QScrollArea>
#include <algorithm>

namespace veltmoor {

namespace {

QList<QMdiSubWindow*> Shown(const QMdiArea& area, bool minimised) {
  QList<QMdiSubWindow*> windows;
  for (QMdiSubWindow* window : area.subWindowList(QMdiArea::CreationOrder)) {
    if (!window->isHidden() && window->isMinimized() == minimised) {
      windows.append(window);
    }
  }
  return windows;
}

// The height a minimised window takes; the tiles leave that strip free when there are any,
// so the minimised windows stay reachable.
int MinimisedStrip(const QMdiArea& area) {
  const QList<QMdiSubWindow*> minimised = Shown(area, true);
  int strip = 0;
  for (const QMdiSubWindow* window : minimised) {
    strip = std::max(strip, window->height());
  }
  return strip;
}

// Cuts the free part of the area into equal slices along one direction; the last slice
// takes what division leaves over.
void Tile(QMdiArea& area, bool one_above_another) {
  const QList<QMdiSubWindow*> windows = Shown(area, false);
  if (windows.isEmpty()) {
    return;
  }
  QRect free = area.viewport()->rect();
  free.setBottom(free.bottom() - MinimisedStrip(area));
  const int count = static_cast<int>(windows.size());
  const int length = one_above_another ? free.height() : free.width();
  const int slice = length / count;
  for (int i = 0; i < count; ++i) {
    QMdiSubWindow* window = windows[i];
    if (window->isMaximized()) {
      window->showNormal();
    }
    const int start = i * slice;
    const int size = i == count - 1 ? length - start : slice;
    window->setGeometry(one_above_another
                            ? QRect(free.left(), free.top() + start, free.width(), size)
                            : QRect(free.left() + start, free.top(), size, free.height()));
  }
}

}  // namespace

void TileOneAboveAnother(QMdiArea& area) {
  Tile(area, true);
}

void TileSideBySide(QMdiArea& area) {
  Tile(area, false);
}

void ArrangeMinimised(QMdiArea& area) {
  const QRect free = area.viewport()->rect();
  int x = free.left();
  int bottom = free.bottom() + 1;
  int row_height = 0;
  for (QMdiSubWindow* window : Shown(area, true)) {
    const QSize size = window->size();
    if (x > free.left() && x + size.width() > free.right() + 1) {
      x = free.left();
      bottom -= row_height;
      row_height = 0;
    }
    window->move(x, bottom - size.height());
    x += size.width();
    row_height = std::max(row_height, size.height());
  }
}

QScrollArea* ScrollingContainer(QWidget* contents, QWidget* window) {
  auto* scroll = new QScrollArea(window);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setWidget(contents);
  return scroll;
}

}  // namespace veltmoor
