// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DesktopHost.h"

#include "ui/PreviewUnit.h"

#include <QScreen>
#include <algorithm>

void TDesktopHost::ShowPreview(const std::string& text) {
  // A new window for each preview, without owner, centred over the main window.
  TFormPreview preview;
  preview.SetText(QString::fromStdString(text));
  if (MainWindow) {
    QRect frame = preview.frameGeometry();
    frame.moveCenter(MainWindow->frameGeometry().center());
    // Kept on the screen when the main window sits near its edge.
    if (const QScreen* screen = MainWindow->screen()) {
      const QRect available = screen->availableGeometry();
      frame.moveLeft(std::clamp(frame.left(), available.left(),
                                std::max(available.left(), available.right() - frame.width())));
      frame.moveTop(std::clamp(frame.top(), available.top(),
                               std::max(available.top(), available.bottom() - frame.height())));
    }
    preview.move(frame.topLeft());
  }
  preview.exec();
}
