// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A problem on its way up to the face that shows it: the core returns it and never shows
// it itself; the window puts it in a box, the command line on stderr with its exit status.
#include <string>

struct TProblem {
  std::string Message;
  std::string Path; // the file or files it names, one a line; empty: none

  bool operator==(const TProblem&) const = default;
};
