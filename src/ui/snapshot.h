// Snapshot pictures of a window: its client area painted off-screen, kept as a Windows bitmap
// on the way and stored as a JPEG of the best quality.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <string>

class QWidget;

namespace veltmoor {

// The window's client area as the window paints it, at its own size, over its background
// colour.
QImage RenderClientArea(QWidget& window);

// JPEG bytes of `image` made by libjpeg; quality 0..100. Throws std::runtime_error when the
// encoder fails.
QByteArray EncodeJpeg(const QImage& image, int quality);

// Writes `image` as `jpg_path`: first as a bitmap under the same name with ".bmp" in place of
// ".jpg", read back and encoded at quality 100; the bitmap is deleted afterwards. The JPEG
// goes to a temporary name first and is renamed, so the final name never holds half a
// picture. Throws std::runtime_error naming the path when a step fails.
void SaveJpegViaBitmap(const QImage& image, const QString& jpg_path);

// RenderClientArea and SaveJpegViaBitmap together.
void SaveWindowSnapshot(QWidget& window, const std::string& jpg_path);

}  // namespace veltmoor
