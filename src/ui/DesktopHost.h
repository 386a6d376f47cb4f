// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window program's host: the Qt host with the program's own preview window.
#include "platform/QtHost.h"

class TDesktopHost : public TQtHost {
public:
  void ShowPreview(const std::string& text) override;
};
