// SPDX-License-Identifier: GPL-3.0-or-later
// The NZB reader the Verify window runs on a file that came from anywhere; what it reads
// must write again and read back the same.
#include "generate/NzbDocument.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto read = ReadNzb(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!read)
    return 0;
  std::size_t segments = 0;
  for (const TNzbFile& file : read->Files)
    segments += file.Segments.size();
  if (segments > size) // each stands for bytes of the text
    __builtin_trap();
  const auto again = ReadNzb(NzbText(*read));
  if (!again || again->Files.size() != read->Files.size())
    __builtin_trap();
  return 0;
}
