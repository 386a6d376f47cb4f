#pragma once
// The window program's host: the Qt host with the program's own preview window.
#include "platform/QtHost.h"

class QWidget;

class TDesktopHost : public TQtHost {
public:
  // The window that previews are centred over.
  void SetMainWindow(QWidget* window) { MainWindow = window; }
  void ShowPreview(const std::string& text) override;

private:
  QWidget* MainWindow = nullptr;
};
