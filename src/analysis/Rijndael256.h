// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rijndael with a 256-bit block and a 256-bit key, encryption only. AES fixed the block
// at 128 bits, so the crypto library has no such cipher; EAC's log checksum uses it.
#include <array>
#include <cstdint>

using TRijndaelBlock = std::array<std::uint8_t, 32>;

class TRijndael256 {
public:
  explicit TRijndael256(const TRijndaelBlock& key);
  TRijndaelBlock Encrypt(const TRijndaelBlock& plain) const;

private:
  static constexpr int Rounds = 14; // six more than the larger of block and key words
  std::array<TRijndaelBlock, Rounds + 1> RoundKeys{};
};
