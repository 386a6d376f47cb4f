// SPDX-License-Identifier: GPL-3.0-or-later
// The .par2 reader as `check` runs it: packets found and hashed, the set's description
// taken from them.
#include "generate/RecoveryPackets.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TRecoverySetReader reader;
  ReadPackets(
      [&](std::uint64_t offset, std::span<std::uint8_t> destination) -> std::optional<std::size_t> {
        if (offset > size)
          return std::nullopt;
        const std::size_t count = std::min<std::size_t>(destination.size(), size - offset);
        std::memcpy(destination.data(), data + offset, count);
        return count;
      },
      size, [&](const TPacket& packet) { reader.Take(packet); });
  if (const auto set = reader.Description())
    for (std::size_t i = 0; i < set->Files.size(); ++i)
      (void)set->Slices[i].size();
  return 0;
}
