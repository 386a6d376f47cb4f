// SPDX-License-Identifier: GPL-3.0-or-later
// The yEnc decoder the body check runs on what a server sends back.
#include "posting/YEnc.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  if (const auto decoded = YEncDecode(body, 1024); decoded && decoded->Bytes.size() > 1024)
    __builtin_trap();
  return 0;
}
