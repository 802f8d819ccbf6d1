// The frame's "Fenster" arrangements that Qt's multiple-document area does not offer as
// such: tiling in one column or one row, and lining up the minimised windows; and how a
// child window keeps its contents usable at any size.
#pragma once

class QMdiArea;
class QScrollArea;
class QWidget;

namespace veltmoor {

// Open (not minimised) windows one above the other, each as wide as the area.
void TileOneAboveAnother(QMdiArea& area);
// Open windows side by side, each as high as the area.
void TileSideBySide(QMdiArea& area);
// Minimised windows in rows along the bottom edge, left to right, in creation order.
void ArrangeMinimised(QMdiArea& area);

// A child window's contents in a frameless scroll area that fills the window: a window
// made smaller than its contents (tiled, or by the user) scrolls them instead of cutting
// them off, and one larger lets them grow.
QScrollArea* ScrollingContainer(QWidget* contents, QWidget* window);

}  // namespace veltmoor
