// SPDX-License-Identifier: GPL-3.0-or-later
// The CUE sheet reader on a file that came from anywhere: never more tracks than the text
// has lines, every start a time a disc can hold.
#include "analysis/CueSheet.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto sheet = ReadCueSheet(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!sheet)
    return 0;
  if (sheet->TrackCount() > size)
    __builtin_trap();
  for (const TCueFile& file : sheet->Files)
    for (const TCueTrack& track : file.Tracks)
      if (track.Start && (*track.Start < 0 || *track.Start >= 10000LL * 60 * CueFramesPerSecond))
        __builtin_trap();
  return 0;
}
