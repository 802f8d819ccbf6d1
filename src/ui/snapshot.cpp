#include "ui/snapshot.h"

// jpeglib.h uses FILE without including its header.
#include <cstdio>

#include <jpeglib.h>

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QWidget>
#include <csetjmp>
#include <cstdlib>
#include <functional>
#include <stdexcept>

namespace veltmoor {

namespace {

constexpr int kSnapshotQuality = 100;

// libjpeg reports a failure by calling error_exit, which by default ends the process; ours
// jumps back to the encoder instead.
struct JpegErrors {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JumpOnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// Only plain C data lives in this frame, so leaving it by longjmp skips no destructor.
// `*out` is malloc'ed by libjpeg, also after a failure, and is the caller's to free.
bool Compress(const QImage& rgb, int quality, unsigned char** out, unsigned long* size,
              JpegErrors& errors) {
  jpeg_compress_struct info{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = JumpOnError;
  errors.message[0] = '\0';
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, size);
  info.image_width = static_cast<JDIMENSION>(rgb.width());
  info.image_height = static_cast<JDIMENSION>(rgb.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    // libjpeg only reads the rows it is given.
    JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

std::runtime_error Failure(const QString& what, const QString& path, const QString& why) {
  return std::runtime_error(
      QStringLiteral("%1 '%2': %3").arg(what, path, why).toUtf8().toStdString());
}

// The bitmap stands under the picture's name with ".bmp" in place of ".jpg".
QString BitmapPathFor(const QString& jpg_path) {
  const QString jpg = QStringLiteral(".jpg");
  if (jpg_path.endsWith(jpg)) {
    return jpg_path.chopped(jpg.size()) + QStringLiteral(".bmp");
  }
  return jpg_path + QStringLiteral(".bmp");
}

// The bitmap is only a step on the way; it goes whether the JPEG was made or not.
class BitmapRemover {
 public:
  explicit BitmapRemover(QString path) : path_(std::move(path)) {}
  ~BitmapRemover() {
    if (QFile::exists(path_)) {
      QFile::remove(path_);
    }
  }
  BitmapRemover(const BitmapRemover&) = delete;
  BitmapRemover& operator=(const BitmapRemover&) = delete;

 private:
  QString path_;
};

void WriteAtomically(const QString& path, const QString& what,
                     const std::function<bool(QSaveFile&)>& write) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    throw Failure(QStringLiteral("cannot write %1").arg(what), path, file.errorString());
  }
  if (!write(file)) {
    file.cancelWriting();
    throw Failure(QStringLiteral("cannot write %1").arg(what), path, file.errorString());
  }
  if (!file.commit()) {
    throw Failure(QStringLiteral("cannot write %1").arg(what), path, file.errorString());
  }
}

}  // namespace

QImage RenderClientArea(QWidget& window) {
  // grab() first lays out a window that is not on screen, so the size is the one it paints.
  const QPixmap shot = window.grab();
  QImage image(shot.size(), QImage::Format_RGB32);
  image.setDevicePixelRatio(shot.devicePixelRatio());
  image.fill(window.palette().color(window.backgroundRole()));
  QPainter painter(&image);
  painter.drawPixmap(0, 0, shot);
  painter.end();
  return image;
}

QByteArray EncodeJpeg(const QImage& image, int quality) {
  if (image.isNull()) {
    throw std::runtime_error("no picture to encode");
  }
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  JpegErrors errors;
  const bool ok = Compress(rgb, quality, &buffer, &size, errors);
  QByteArray bytes;
  if (ok) {
    bytes = QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
  }
  std::free(buffer);
  if (!ok) {
    throw std::runtime_error(std::string("JPEG encoding failed: ") + errors.message);
  }
  return bytes;
}

void SaveJpegViaBitmap(const QImage& image, const QString& jpg_path) {
  const QString bmp_path = BitmapPathFor(jpg_path);
  const BitmapRemover remover(bmp_path);
  WriteAtomically(bmp_path, QStringLiteral("the bitmap"),
                  [&image](QSaveFile& file) { return image.save(&file, "BMP"); });
  const QImage back(bmp_path, "BMP");
  if (back.isNull()) {
    throw Failure(QStringLiteral("cannot read back the bitmap"), bmp_path,
                  QStringLiteral("not a readable bitmap"));
  }
  QByteArray jpeg;
  try {
    jpeg = EncodeJpeg(back, kSnapshotQuality);
  } catch (const std::runtime_error& e) {
    throw Failure(QStringLiteral("cannot make the picture"), jpg_path, QString::fromUtf8(e.what()));
  }
  WriteAtomically(jpg_path, QStringLiteral("the picture"),
                  [&jpeg](QSaveFile& file) { return file.write(jpeg) == jpeg.size(); });
}

void SaveWindowSnapshot(QWidget& window, const std::string& jpg_path) {
  SaveJpegViaBitmap(RenderClientArea(window), QString::fromStdString(jpg_path));
}

}  // namespace veltmoor
