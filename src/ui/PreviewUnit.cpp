// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PreviewUnit.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

void ShowAsDocument(QPlainTextEdit* memo) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(16);
  memo->setFont(font);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
}

TFormPreview::TFormPreview(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FormPreview"));
  setWindowTitle(QStringLiteral(".NFO Preview"));
  resize(696, 480);
  MemoPreview = new QPlainTextEdit(this);
  MemoPreview->setObjectName(QStringLiteral("MemoPreview"));
  ShowAsDocument(MemoPreview);
  MemoPreview->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoPreview->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoPreview->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(MemoPreview);
}

void TFormPreview::SetText(const QString& text) {
  MemoPreview->clear();
  MemoPreview->setPlainText(text);
}

bool TFormPreview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == MemoPreview && event->type() == QEvent::KeyPress)
    return MemoPreviewKeyPress(static_cast<QKeyEvent*>(event));
  return QDialog::eventFilter(watched, event);
}

bool TFormPreview::MemoPreviewKeyPress(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape)
    return false;
  close();
  return true;
}
