// SPDX-License-Identifier: GPL-3.0-or-later
// The yEnc decoder the body check runs on what a server sends back; and the encoder, whose
// every method must write the same lines, which decode to the input.
#include "posting/YEnc.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  if (const auto decoded = YEncDecode(body, 1024); decoded && decoded->Bytes.size() > 1024)
    __builtin_trap();
  const std::span<const std::uint8_t> bytes(data, size);
  std::string plain(YEncBound(size), '\0'), fast(YEncBound(size), '\0');
  plain.resize(YEncEncodeWith(TYEncMethod::Scalar, bytes, plain.data()));
  fast.resize(YEncEncodeWith(FastestYEncMethod(), bytes, fast.data()));
  if (plain != fast)
    __builtin_trap();
  const auto back = YEncDecode("=ybegin size=" + std::to_string(size) + " name=x\r\n" + plain +
                                   "=yend size=" + std::to_string(size) + "\r\n",
                               size);
  if (!back || !back->Complete || back->Bytes != std::string(body))
    __builtin_trap();
  return 0;
}
