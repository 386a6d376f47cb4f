// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The live preview: a window beside the main window that shows the ".nfo" as Save would
// write it now, following every change; read-only, but its text can be selected and
// copied.
#include <QWidget>

class QPlainTextEdit;

class TFormLivePreview : public QWidget {
  Q_OBJECT
public:
  explicit TFormLivePreview(QWidget* parent = nullptr);
  // Replaces the text and keeps where the user had scrolled to.
  void SetText(const QString& text);
  // Places the window beside the given one on its screen, never over it: that one moves
  // over or narrows when the screen has no room beside it (PlaceSideBySide).
  void PlaceBeside(QWidget* window);

  QPlainTextEdit* MemoLivePreview = nullptr;

signals:
  void Closed();

protected:
  void closeEvent(QCloseEvent* event) override;
};
