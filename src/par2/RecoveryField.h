// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Arithmetic in GF(2^16) with the generator polynomial x^16 + x^12 + x^3 + x + 1 (0x1100B),
// the field of PAR 2.0's Reed-Solomon code, and the one operation the recovery data is made
// of: a region of 16-bit little-endian words multiplied by constants and added to another.
// That operation is nearly all the work, so it has vector forms chosen at run time.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

std::uint16_t GfMultiply(std::uint16_t a, std::uint16_t b);
// a to the power n (n may exceed the field's order).
std::uint16_t GfPower(std::uint16_t a, std::uint32_t n);

// The constant of the n-th input slice (counted from 0): 2 to the n-th power of the
// exponents that are no multiple of 3, 5, 17 or 257, so that every recovery slice is
// independent of the others.
std::uint16_t InputSliceConstant(std::uint32_t n);

enum class TGfMethod { Scalar, ShuffleAvx2, GfniAvx2, GfniAvx512 };

// The fastest method this processor runs, and whether it runs a given one.
TGfMethod FastestGfMethod();
bool GfMethodRuns(TGfMethod method);
std::string_view GfMethodName(TGfMethod method);

// Regions are worked on in groups of 64 words, each group held as its 64 low bytes and then
// its 64 high bytes: the vector forms then multiply whole registers of like bytes. A region
// is put in that layout before the work and back after it; sizes are multiples of 128.
inline constexpr std::size_t GfGroupBytes = 128;
void ToGfLayout(std::span<std::uint8_t> region);
void FromGfLayout(std::span<std::uint8_t> region);

// A constant prepared for the region work.
struct TGfFactor {
  std::uint16_t Value = 0;
  // Multiplying by a constant is linear over GF(2): a 16x16 bit matrix, four 8x8 blocks.
  std::uint64_t LowFromLow = 0, LowFromHigh = 0, HighFromLow = 0, HighFromHigh = 0;
  // Without GFNI: the products of each nibble of a word (low byte's low and high nibble,
  // high byte's low and high nibble), their low bytes then their high bytes, 16 each.
  std::array<std::array<std::uint8_t, 16>, 8> Nibbles{};
};
// Prepared for a method: what the others need is left out (a repair prepares millions).
TGfFactor PrepareGfFactor(std::uint16_t value, TGfMethod method = FastestGfMethod());

// destination ^= sum of factors[i] * sources[i], word by word, all in the layout above;
// every source holds at least destination.size() bytes.
void GfMultiplyAccumulate(std::span<std::uint8_t> destination,
                          std::span<const std::uint8_t* const> sources,
                          std::span<const TGfFactor> factors, TGfMethod method = FastestGfMethod());
