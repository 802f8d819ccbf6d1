// Snapshot pictures: what reaches the disk is a JPEG of the window's size and content, and
// nothing else is left behind, also when the picture cannot be written.
#include "ui/snapshot.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdlib>
#include <stdexcept>

#include "qt_app.h"

namespace veltmoor {
namespace {

class SnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApp();
    ASSERT_TRUE(folder_.isValid());
  }
  QString Path(const QString& name) const { return folder_.filePath(name); }
  QStringList Files() const { return QDir(folder_.path()).entryList(QDir::Files); }

  QTemporaryDir folder_;
};

int Distance(QRgb a, QRgb b) {
  return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
         std::abs(qBlue(a) - qBlue(b));
}

TEST_F(SnapshotTest, WindowPictureIsAJpegOfTheWindowsSizeAndColours) {
  QWidget window;
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, QColor(200, 30, 40));
  window.setPalette(palette);
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(new QLabel(QStringLiteral("a caption"), &window));
  window.resize(230, 140);

  // A dot in the base name stays part of the name.
  const QString jpg = Path(QStringLiteral("x.y_main_1_300.jpg"));
  SaveWindowSnapshot(window, jpg.toStdString());

  EXPECT_EQ(Files(), QStringList{QStringLiteral("x.y_main_1_300.jpg")});
  QImage picture;
  ASSERT_TRUE(picture.load(jpg, "JPEG"));
  EXPECT_EQ(picture.size(), QSize(230, 140));
  EXPECT_LT(Distance(picture.pixel(225, 135), qRgb(200, 30, 40)), 12);
}

TEST_F(SnapshotTest, QualityHundredKeepsFineDetail) {
  QImage stripes(64, 32, QImage::Format_RGB32);
  for (int y = 0; y < stripes.height(); ++y) {
    for (int x = 0; x < stripes.width(); ++x) {
      stripes.setPixel(x, y, (x + y) % 2 == 0 ? qRgb(250, 250, 250) : qRgb(10, 60, 120));
    }
  }
  QImage back;
  ASSERT_TRUE(back.loadFromData(EncodeJpeg(stripes, 100), "JPEG"));
  ASSERT_EQ(back.size(), stripes.size());
  int worst = 0;
  for (int y = 0; y < back.height(); ++y) {
    for (int x = 0; x < back.width(); ++x) {
      worst = std::max(worst, Distance(back.pixel(x, y), stripes.pixel(x, y)));
    }
  }
  // Chroma subsampling blurs colour a little; a low quality would smear the checkerboard.
  EXPECT_LT(worst, 200);
  EXPECT_THROW(EncodeJpeg(QImage(), 100), std::runtime_error);
}

TEST_F(SnapshotTest, PictureThatCannotBeWrittenNamesItsPathAndLeavesNothing) {
  QImage image(20, 10, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QString jpg = Path(QStringLiteral("missing/p_measure_2_5.jpg"));
  try {
    SaveJpegViaBitmap(image, jpg);
    FAIL() << "expected a failure";
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("p_measure_2_5"))) << e.what();
  }
  EXPECT_TRUE(Files().isEmpty());
  EXPECT_FALSE(QDir(Path(QStringLiteral("missing"))).exists());
}

}  // namespace
}  // namespace veltmoor
