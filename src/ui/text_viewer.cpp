#include "ui/text_viewer.h"

#include <QFile>
#include <QLocale>
#include <QStringList>
#include <QVBoxLayout>

namespace veltmoor {

namespace {

// Breaks lines longer than `length` into pieces; returns whether any was broken.
bool BreakLongLines(QString& text, int length) {
  QStringList lines = text.split(QLatin1Char('\n'));
  bool broken = false;
  QStringList shown;
  shown.reserve(lines.size());
  for (const QString& line : lines) {
    if (line.size() <= length) {
      shown.push_back(line);
      continue;
    }
    broken = true;
    for (qsizetype at = 0; at < line.size(); at += length) {
      shown.push_back(line.mid(at, length));
    }
  }
  if (broken) {
    text = shown.join(QLatin1Char('\n'));
  }
  return broken;
}

}  // namespace

TMDIChild::TMDIChild(QWidget* parent) : QWidget(parent), memo_(new QPlainTextEdit(this)) {
  setWindowTitle(QStringLiteral("Untergeordnetes MDI"));
  setProperty("windowClass", QStringLiteral("TMDIChild"));
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(memo_);
  resize(500, 400);
}

void TMDIChild::LoadFile(const QString& path) {
  setWindowTitle(path);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    return;
  }
  const qint64 size = file.size();
  QString text = QString::fromLocal8Bit(file.read(kShownBytes));
  const bool cut = size > kShownBytes;
  const bool broken = BreakLongLines(text, kShownLineLength);
  if (cut || broken) {
    const QLocale locale;
    QString note =
        cut ? QStringLiteral("[Nur die ersten %1 von %2 gezeigt.")
                  .arg(locale.formattedDataSize(kShownBytes), locale.formattedDataSize(size))
            : QStringLiteral("[");
    if (broken) {
      note += QStringLiteral("%1Zeilen über %2 Zeichen sind umbrochen.")
                  .arg(cut ? QStringLiteral(" ") : QString())
                  .arg(kShownLineLength);
    }
    text = note + QStringLiteral("]\n") + text;
    memo_->setReadOnly(true);
  }
  memo_->setPlainText(text);
}

}  // namespace veltmoor
