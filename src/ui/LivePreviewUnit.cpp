// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/LivePreviewUnit.h"

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

void TFormLivePreview::PlaceBeside(const QWidget* window) {
  const QRect main = window->frameGeometry();
  QPoint at = main.topRight() + QPoint(8, 0);
  if (const QScreen* screen = window->screen()) {
    const QRect available = screen->availableGeometry();
    const int wide = frameGeometry().width(); // with the window manager's border
    if (at.x() + wide > available.right()) {
      // The left side when the preview fits there; else the end of the screen where it
      // covers less of the main window.
      const int atLeft = main.left() - 8 - wide;
      const int screenRight = std::max(available.left(), available.right() - wide);
      const int coverRight = std::max(0, main.right() - screenRight);
      const int coverLeft = std::max(0, available.left() + wide - main.left());
      at.setX(atLeft >= available.left() ? atLeft
              : coverLeft < coverRight   ? available.left()
                                         : screenRight);
    }
    at.setY(std::clamp(at.y(), available.top(),
                       std::max(available.top(), available.bottom() - height())));
  }
  move(at);
}

void TFormLivePreview::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit Closed();
}
