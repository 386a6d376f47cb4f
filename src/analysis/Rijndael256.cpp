// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Rijndael256.h"

namespace {
constexpr std::uint8_t Times2(std::uint8_t x) {
  return static_cast<std::uint8_t>(x << 1 ^ (x & 0x80 ? 0x1B : 0));
}

constexpr std::uint8_t Rotated(std::uint8_t x, int by) {
  return static_cast<std::uint8_t>(x << by | x >> (8 - by));
}

// The substitution box from its definition: the inverse in GF(2^8), then the affine map.
// Powers of 3 walk the whole field, so the inverse of 3^i is 3^(255-i).
std::array<std::uint8_t, 256> MakeSubstitution() {
  std::array<std::uint8_t, 256> power{}, box{};
  std::uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = x;
    x = static_cast<std::uint8_t>(x ^ Times2(x)); // times 3
  }
  std::array<std::uint8_t, 256> logarithm{};
  for (int i = 0; i < 255; ++i)
    logarithm[power[i]] = static_cast<std::uint8_t>(i);
  for (int value = 0; value < 256; ++value) {
    const std::uint8_t inverse = value ? power[(255 - logarithm[value]) % 255] : 0;
    box[value] = static_cast<std::uint8_t>(inverse ^ Rotated(inverse, 1) ^ Rotated(inverse, 2) ^
                                           Rotated(inverse, 3) ^ Rotated(inverse, 4) ^ 0x63);
  }
  return box;
}

const std::array<std::uint8_t, 256>& Substitution() {
  static const std::array<std::uint8_t, 256> box = MakeSubstitution();
  return box;
}

// Byte r of column c sits at 4c + r, as the block's bytes come in.
constexpr int Columns = 8;

void SubstituteAndShift(TRijndaelBlock& state) {
  // With eight columns, rows 1 to 3 move left by 1, 3 and 4 columns.
  constexpr std::array<int, 4> Shift = {0, 1, 3, 4};
  const auto& box = Substitution();
  const TRijndaelBlock before = state;
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < Columns; ++column)
      state[4 * column + row] = box[before[4 * ((column + Shift[row]) % Columns) + row]];
}

void MixColumns(TRijndaelBlock& state) {
  for (int column = 0; column < Columns; ++column) {
    std::uint8_t* c = &state[4 * column];
    const std::uint8_t all = c[0] ^ c[1] ^ c[2] ^ c[3], first = c[0];
    for (int row = 0; row < 4; ++row) {
      const std::uint8_t next = row == 3 ? first : c[row + 1];
      c[row] = static_cast<std::uint8_t>(c[row] ^ all ^ Times2(c[row] ^ next));
    }
  }
}

void AddKey(TRijndaelBlock& state, const TRijndaelBlock& key) {
  for (std::size_t i = 0; i < state.size(); ++i)
    state[i] ^= key[i];
}
} // namespace

TRijndael256::TRijndael256(const TRijndaelBlock& key) {
  // The key schedule of words: eight from the key, each later one the word eight back
  // mixed with its predecessor, substituted (and rotated, with the round constant) at
  // every eighth and substituted alone four after.
  constexpr int Words = Columns * (Rounds + 1);
  std::array<std::array<std::uint8_t, 4>, Words> words{};
  for (int i = 0; i < Columns; ++i)
    for (int b = 0; b < 4; ++b)
      words[i][b] = key[4 * i + b];
  const auto& box = Substitution();
  std::uint8_t constant = 1;
  for (int i = Columns; i < Words; ++i) {
    std::array<std::uint8_t, 4> word = words[i - 1];
    if (i % Columns == 0) {
      word = {box[word[1]], box[word[2]], box[word[3]], box[word[0]]};
      word[0] ^= constant;
      constant = Times2(constant);
    } else if (i % Columns == 4) {
      for (std::uint8_t& b : word)
        b = box[b];
    }
    for (int b = 0; b < 4; ++b)
      words[i][b] = words[i - Columns][b] ^ word[b];
  }
  for (int round = 0; round <= Rounds; ++round)
    for (int i = 0; i < Columns; ++i)
      for (int b = 0; b < 4; ++b)
        RoundKeys[round][4 * i + b] = words[Columns * round + i][b];
}

TRijndaelBlock TRijndael256::Encrypt(const TRijndaelBlock& plain) const {
  TRijndaelBlock state = plain;
  AddKey(state, RoundKeys[0]);
  for (int round = 1; round <= Rounds; ++round) {
    SubstituteAndShift(state);
    if (round != Rounds)
      MixColumns(state);
    AddKey(state, RoundKeys[round]);
  }
  return state;
}
