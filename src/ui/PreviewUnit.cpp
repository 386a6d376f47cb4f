// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PreviewUnit.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

void ShowAsDocument(QPlainTextEdit* memo) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(16);
  memo->setFont(font);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
}

int DocumentWindowWidth(const QPlainTextEdit* memo) {
  // A document's 70 columns and its closing rule, whatever the fixed font's width.
  constexpr int Columns = 72;
  const int text = QFontMetrics(memo->font()).horizontalAdvance(QString(Columns, QChar('M')));
  const int margins =
      2 * (memo->frameWidth() + static_cast<int>(memo->document()->documentMargin()));
  return text + margins + memo->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
}

TFormPreview::TFormPreview(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FormPreview"));
  setWindowTitle(QStringLiteral(".NFO Preview"));
  resize(696, 480);
  MemoPreview = new QPlainTextEdit(this);
  MemoPreview->setObjectName(QStringLiteral("MemoPreview"));
  ShowAsDocument(MemoPreview);
  resize(std::max(width(), DocumentWindowWidth(MemoPreview)), height());
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
