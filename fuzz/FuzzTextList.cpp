// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TextListUnit.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = SplitTextLines(text);
  // Written and read again, a list holds the same lines.
  if (SplitTextLines(JoinTextLines(lines)) != lines)
    __builtin_trap();
  return 0;
}
