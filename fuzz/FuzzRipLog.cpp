// SPDX-License-Identifier: GPL-3.0-or-later
// The rip log reader on a file that came from anywhere: a score of 100 at most (below 0 as
// the checkers let it fall), never more tracks than its bound, every text of the summary
// built without a fault.
#include "analysis/RipLog.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TRipLog log = ReadRipLog(std::string_view(reinterpret_cast<const char*>(data), size));
  if (log.Score && *log.Score > 100)
    __builtin_trap();
  if (log.Tracks.size() > 999)
    __builtin_trap();
  if (RipLogSummary(log).empty())
    __builtin_trap();
  return 0;
}
