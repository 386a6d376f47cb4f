// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a command of the command-line tool works with: its streams and whether a
// progress line may be drawn (stderr is a terminal).
#include "common/TextUnit.h"

#include <ostream>
#include <string_view>

struct TCliContext {
  std::ostream& Out;
  std::ostream& Err;
  bool ShowProgress = false;
  // The command's status says all: the messages it showed do not make it 1 (a summary
  // that counts warnings under their own word).
  bool StatusFinal = false;
  // stdout is a terminal: a document printed there has its control characters escaped (a
  // tag's ESC sequences would act on it); into a pipe or a file it goes byte for byte.
  bool OutIsTerminal = false;
};

inline void WriteDocument(TCliContext& context, std::string_view bytes) {
  if (context.OutIsTerminal)
    context.Out << PrintableDocument(bytes);
  else
    context.Out << bytes;
}
