// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a command of the command-line tool works with: its streams and whether a
// progress line may be drawn (stderr is a terminal).
#include <ostream>

struct TCliContext {
  std::ostream& Out;
  std::ostream& Err;
  bool ShowProgress = false;
  // The command's status says all: the messages it showed do not make it 1 (a summary
  // that counts warnings under their own word).
  bool StatusFinal = false;
};
