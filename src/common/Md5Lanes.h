// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MD5 of many messages at once: each message in a lane of the vector registers (16 with
// AVX-512, 8 with AVX2), so that a recovery set's slices and files are hashed side by side
// instead of one after another. Without either the messages are hashed one by one.
#include "common/Md5Unit.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

enum class TMd5Lanes { One = 1, Avx2 = 8, Avx512 = 16 };

// One message being hashed.
class TMd5Stream {
public:
  void Update(std::span<const std::uint8_t> bytes);
  TMd5Hash Finish() const;

private:
  friend void Md5UpdateLanes(std::span<TMd5Stream* const>,
                             std::span<const std::span<const std::uint8_t>>, TMd5Lanes);
  std::array<std::uint32_t, 4> State{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  std::uint64_t Length = 0;
  std::array<std::uint8_t, 64> Pending{};
  std::size_t PendingBytes = 0;
};

// The widest this processor runs, and whether it runs a given one.
TMd5Lanes WidestMd5Lanes();
bool Md5LanesRun(TMd5Lanes lanes);

// streams[i].Update(data[i]) for every i, the whole blocks of the messages side by side.
void Md5UpdateLanes(std::span<TMd5Stream* const> streams,
                    std::span<const std::span<const std::uint8_t>> data,
                    TMd5Lanes lanes = WidestMd5Lanes());
