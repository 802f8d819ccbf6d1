#include "ui/text_viewer.h"

#include <QFile>
#include <QVBoxLayout>

namespace veltmoor {

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
  if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    memo_->setPlainText(QString::fromLocal8Bit(file.readAll()));
  }
}

}  // namespace veltmoor
