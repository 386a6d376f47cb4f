// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The preview window: the generated text, editable but never read back.
#include <QDialog>

class QPlainTextEdit;

// The fixed-pitch font and unwrapped lines in which both previews show a document.
void ShowAsDocument(QPlainTextEdit* memo);
// The width that shows a document's whole lines in the memo, scroll bar included.
int DocumentWindowWidth(const QPlainTextEdit* memo);

class TFormPreview : public QDialog {
  Q_OBJECT
public:
  explicit TFormPreview(QWidget* parent = nullptr);
  void SetText(const QString& text);

  QPlainTextEdit* MemoPreview = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // Escape typed in the text closes the window.
  bool MemoPreviewKeyPress(QKeyEvent* event);
};
