// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/LivePreviewUnit.h"

#include "platform/WindowPlace.h"
#include "ui/PreviewUnit.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

TFormLivePreview::TFormLivePreview(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("FormLivePreview"));
  setWindowTitle(QStringLiteral("Live Preview"));
  resize(696, 561);
  MemoLivePreview = new QPlainTextEdit(this);
  MemoLivePreview->setObjectName(QStringLiteral("MemoLivePreview"));
  ShowAsDocument(MemoLivePreview);
  resize(std::max(width(), DocumentWindowWidth(MemoLivePreview)), height());
  MemoLivePreview->setReadOnly(true);
  MemoLivePreview->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(MemoLivePreview);
}

void TFormLivePreview::SetText(const QString& text) {
  if (MemoLivePreview->toPlainText() == text)
    return;
  QScrollBar* vertical = MemoLivePreview->verticalScrollBar();
  QScrollBar* horizontal = MemoLivePreview->horizontalScrollBar();
  const int top = vertical->value();
  const int left = horizontal->value();
  MemoLivePreview->setPlainText(text);
  vertical->setValue(top);
  horizontal->setValue(left);
}

void TFormLivePreview::PlaceBeside(QWidget* window) {
  const QScreen* screen = window->screen();
  if (!screen)
    return;
  const QRect main = window->frameGeometry();
  const TSideBySide places =
      PlaceSideBySide(main, FrameOf(this, window), screen->availableGeometry());
  if (places.Main != main)
    SetFrame(window, places.Main, nullptr);
  SetFrame(this, places.Side, window);
}

void TFormLivePreview::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit Closed();
}
