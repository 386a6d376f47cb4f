// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MD5 of many messages at once: each message in a lane of the vector registers (16 with
// AVX-512), so that a recovery set's slices and files are hashed side by side instead of
// one after another. Without AVX-512 the lanes are worked one by one.
#include "common/Md5Unit.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// One message being hashed.
class TMd5Stream {
public:
  void Update(std::span<const std::uint8_t> bytes);
  TMd5Hash Finish() const;

private:
  friend void Md5UpdateLanes(std::span<TMd5Stream* const>,
                             std::span<const std::span<const std::uint8_t>>);
  std::array<std::uint32_t, 4> State{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  std::uint64_t Length = 0;
  std::array<std::uint8_t, 64> Pending{};
  std::size_t PendingBytes = 0;
};

// streams[i].Update(data[i]) for every i, the whole blocks of the messages side by side.
void Md5UpdateLanes(std::span<TMd5Stream* const> streams,
                    std::span<const std::span<const std::uint8_t>> data);
