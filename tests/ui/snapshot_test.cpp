// Snapshot pictures: what reaches the disk is a JPEG of the window's size and content, and
// nothing else is left behind, also when the picture cannot be written.
#include "ui/snapshot.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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

// Quality 100 scales every quantisation step down to 1: the tables of the JPEG's DQT
// segments hold nothing else. Returns the number of tables seen, or -1 for another entry.
int TablesOfOnes(const QByteArray& jpeg) {
  const auto byte = [&jpeg](qsizetype i) { return static_cast<unsigned char>(jpeg.at(i)); };
  int tables = 0;
  for (qsizetype i = 0; i + 3 < jpeg.size(); ++i) {
    if (byte(i) != 0xFF || byte(i + 1) != 0xDB) {
      continue;  // 0xFF inside the coded data is always followed by 0 or a restart marker
    }
    const qsizetype end = i + 2 + ((byte(i + 2) << 8) | byte(i + 3));
    qsizetype at = i + 4;
    while (at < end) {
      const bool wide = (byte(at++) >> 4) != 0;
      for (int k = 0; k < 64; ++k) {
        const int step = wide ? (byte(at) << 8) | byte(at + 1) : byte(at);
        at += wide ? 2 : 1;
        if (step != 1) {
          return -1;
        }
      }
      ++tables;
    }
    i = end - 1;
  }
  return tables;
}

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
  QFile file(jpg);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_GT(TablesOfOnes(file.readAll()), 0);
}

TEST_F(SnapshotTest, EncoderTakesTheQualityItIsGiven) {
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  EXPECT_GT(TablesOfOnes(EncodeJpeg(image, 100)), 0);
  EXPECT_EQ(TablesOfOnes(EncodeJpeg(image, 75)), -1);
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
