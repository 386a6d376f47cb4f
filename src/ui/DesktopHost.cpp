// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DesktopHost.h"

#include "ui/PreviewUnit.h"

#include "platform/WindowPlace.h"

void TDesktopHost::ShowPreview(const std::string& text) {
  // A new window for each preview, without owner, centred over the main window.
  TFormPreview preview;
  preview.SetText(QString::fromStdString(text));
  CentreOver(&preview, MainWindow);
  preview.exec();
}
