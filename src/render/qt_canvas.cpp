#include "render/qt_canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>
#include <QString>
#include <algorithm>

namespace veltmoor {

QColor ToQColor(Colour colour) {
  return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

Colour FromQRgb(QRgb rgb) {
  return MakeColour(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

bool EnsureGuiApplication() {
  if (QCoreApplication::instance() == nullptr) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Lives as long as the process: fonts and the platform plugin must outlast every
    // canvas, and tearing Qt down from a static destructor is worse than leaving it.
    static int argc = 1;
    static char name[] = "veltmoor";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    (void)application;
  }
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

QRect PaintText(QPainter& painter, int x, int y, const std::string& text, const Font& font,
                const Colour* background) {
  QFont qfont = painter.font();
  qfont.setPointSize(std::max(font.size, 1));
  // Plain pixels in the font colour: blended edges would leave near-black fringes around
  // the numbers that the node layer's see-through black does not remove.
  qfont.setStyleStrategy(QFont::NoAntialias);
  painter.setFont(qfont);
  const QString qtext = QString::fromStdString(text);
  const QFontMetrics metrics(qfont, painter.device());
  const QRect box(x, y, metrics.horizontalAdvance(qtext), metrics.height());
  if (background != nullptr) {
    painter.fillRect(box, ToQColor(*background));
  }
  painter.setPen(ToQColor(font.colour));
  painter.drawText(x, y + metrics.ascent(), qtext);
  // Glyphs may overhang their advance; the bounding rectangle says by how much.
  return box.united(metrics.boundingRect(qtext).translated(x, y + metrics.ascent()));
}

namespace {

int PenWidth(const Pen& pen) {
  return std::max(pen.width, 1);
}

QPen ToQPen(const Pen& pen) {
  if (pen.style == PenStyle::Clear) {
    return QPen(Qt::NoPen);
  }
  return QPen(ToQColor(pen.colour), PenWidth(pen), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

}  // namespace

QtCanvas::QtCanvas(int width, int height)
    : image_(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32) {
  image_.fill(Qt::white);
}

void QtCanvas::FillBox(int left, int top, int right, int bottom, Colour colour) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, image_.width());
  bottom = std::min(bottom, image_.height());
  if (left >= right || top >= bottom) {
    return;
  }
  // Written straight into the scan lines: the cell views paint thousands of small squares,
  // and a painter per square would cost more than the squares themselves.
  const QRgb value = qRgb(RedOf(colour), GreenOf(colour), BlueOf(colour));
  uchar* bits = image_.bits();  // detaches once, not once per line
  const qsizetype stride = image_.bytesPerLine();
  for (int y = top; y < bottom; ++y) {
    auto* line = reinterpret_cast<QRgb*>(bits + stride * y);
    std::fill(line + left, line + right, value);
  }
}

void QtCanvas::Rectangle(int left, int top, int right, int bottom) {
  Touch({left, top, right, bottom});
  if (left >= right || top >= bottom) {
    return;
  }
  FillBox(left, top, right, bottom, brush);
  if (pen.style == PenStyle::Clear || (pen.width <= 1 && pen.colour == brush)) {
    return;
  }
  // The frame lies inside the box so a framed cell never spills onto its neighbours.
  const int w = std::min({PenWidth(pen), (right - left + 1) / 2, (bottom - top + 1) / 2});
  FillBox(left, top, right, top + w, pen.colour);
  FillBox(left, bottom - w, right, bottom, pen.colour);
  FillBox(left, top, left + w, bottom, pen.colour);
  FillBox(right - w, top, right, bottom, pen.colour);
}

void QtCanvas::FillRect(int left, int top, int right, int bottom) {
  Touch({left, top, right, bottom});
  FillBox(left, top, right, bottom, brush);
}

void QtCanvas::Ellipse(int left, int top, int right, int bottom) {
  Touch({left, top, right, bottom});
  if (left >= right || top >= bottom || image_.isNull()) {
    return;
  }
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(ToQPen(pen));
  painter.setBrush(ToQColor(brush));
  // The outline is stroked centred on the geometry, so the geometry sits half a pen width
  // inside the box; the whole disc then stays within columns left..right-1.
  const qreal inset = pen.style == PenStyle::Clear ? 0.0 : PenWidth(pen);
  painter.drawEllipse(
      QRectF(left + inset / 2, top + inset / 2, right - left - inset, bottom - top - inset));
}

void QtCanvas::Line(int x1, int y1, int x2, int y2) {
  // The pen's round caps reach half its width past the end points; one pixel more covers
  // the rasteriser's rounding.
  const int reach = PenWidth(pen) / 2 + 1;
  Touch({std::min(x1, x2) - reach, std::min(y1, y2) - reach, std::max(x1, x2) + reach + 1,
         std::max(y1, y2) + reach + 1});
  if (pen.style == PenStyle::Clear || image_.isNull()) {
    return;
  }
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(ToQPen(pen));
  painter.drawLine(x1, y1, x2, y2);
}

void QtCanvas::TextOut(int x, int y, const std::string& text) {
  if (image_.isNull() || !EnsureGuiApplication()) {
    Touch({x, y, x, y});
    return;
  }
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  const QRect drawn = PaintText(painter, x, y, text, font, &brush);
  Touch({drawn.left(), drawn.top(), drawn.right() + 1, drawn.bottom() + 1});
}

Colour QtCanvas::Pixel(int x, int y) const {
  if (!image_.valid(x, y)) {
    return 0;
  }
  return FromQRgb(image_.pixel(x, y));
}

std::unique_ptr<Canvas> QtCanvasFactory::Create(int width, int height) {
  return std::make_unique<QtCanvas>(width, height);
}

}  // namespace veltmoor
