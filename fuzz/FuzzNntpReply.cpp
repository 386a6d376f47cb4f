// SPDX-License-Identifier: GPL-3.0-or-later
// A server's replies as the poster reads them: the input, cut into chunks at its 0xFF
// bytes, is what the connection delivers; replies and blocks are read until it ends.
#include "posting/NntpReply.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {
class TFuzzTransport final : public TTransport {
public:
  TFuzzTransport(const std::uint8_t* data, std::size_t size) : Data(data), Size(size) {}
  TIoStatus Send(std::string_view, TDeadline) override { return TIoStatus::Done; }
  TIoStatus Receive(std::span<char> buffer, std::size_t& got, TDeadline) override {
    if (At >= Size)
      return TIoStatus::Closed;
    const std::uint8_t* cut = std::find(Data + At, Data + Size, 0xFF);
    const std::size_t chunk = static_cast<std::size_t>(cut - (Data + At)) + (cut < Data + Size);
    got = std::min(buffer.size(), chunk);
    std::copy_n(Data + At, got, buffer.data());
    At += got;
    return TIoStatus::Done;
  }
  bool StartTls(TDeadline) override { return false; }
  std::string Failure() const override { return {}; }

private:
  const std::uint8_t* Data;
  std::size_t Size, At = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFuzzTransport transport(data, size);
  TReplyReader reader(transport);
  const TDeadline never = TClock::now() + std::chrono::hours(1);
  for (int i = 0; i < 64; ++i) {
    TReply reply;
    const TReadStatus status = reader.ReadReply(reply, never);
    if (status == TReadStatus::Closed)
      break;
    if (status == TReadStatus::Done && reply.Code / 100 == 2) {
      std::string block;
      if (reader.ReadBlock(block, 4096, never) == TReadStatus::Closed)
        break;
    }
  }
  return 0;
}
