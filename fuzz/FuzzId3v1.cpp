// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/ID3v1.h"

#include <array>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, TID3v1::TagLength> tag{};
  std::memcpy(tag.data(), data, std::min(size, tag.size()));
  TID3v1 reader;
  reader.Parse(tag);
  (void)reader.GenreName();
  return 0;
}
