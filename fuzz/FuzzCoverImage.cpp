// SPDX-License-Identifier: GPL-3.0-or-later
// The image header reader on a file that came from anywhere: a size read from the bytes
// given, never past them.
#include "generate/CoverImage.h"

#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto image = ReadImageSize(std::span(data, size));
  if (image && size < 10)
    __builtin_trap();
  return 0;
}
