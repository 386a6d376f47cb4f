// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a command of the command-line tool works with: its streams and whether a
// progress line may be drawn (stderr is a terminal).
#include <functional>
#include <ostream>
#include <span>
#include <string>

struct TCliContext {
  std::ostream& Out;
  std::ostream& Err;
  bool ShowProgress = false;
  // The command's status says all: the messages it showed do not make it 1 (a summary
  // that counts warnings under their own word).
  bool StatusFinal = false;
};

using TCommand = int (*)(std::span<const std::string> arguments, TCliContext& context);

#include "audio/TrackReaderUnit.h"

// The reader's idle moments as a progress line on stderr, when a terminal shows it.
std::function<bool(const TReadProgress&)> ReadingProgress(TCliContext& context);

// "\r<label> n/m" on stderr while long checksums run, when a terminal shows it.
std::function<void(std::size_t, std::size_t)> ProgressLine(TCliContext& context,
                                                           const std::string& label);
