// SPDX-License-Identifier: GPL-3.0-or-later
// The window's post queue as a start of the program reads it back, and what it reads
// written and read again unchanged.
#include "posting/PostQueue.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TPostQueue queue =
      ReadPostQueueText(std::string_view(reinterpret_cast<const char*>(data), size));
  TPostQueue again = ReadPostQueueText(PostQueueText(queue));
  again.Dropped = queue.Dropped;
  if (!(again == queue))
    std::abort();
  return 0;
}
