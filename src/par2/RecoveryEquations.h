// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The equations a repair solves. Recovery slice e is the sum over the input slices i of
// c_i^e * D_i (c_i the slice's constant): with the intact slices' terms added to it (in
// GF(2^16) adding is subtracting), what remains is a sum of the lost slices alone, one
// equation a recovery slice. With as many independent equations as lost slices, each lost
// slice is a combination of those remainders.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct TRecoverySolution {
  std::vector<std::uint32_t> Exponents; // the recovery slices used, one a lost slice
  // Lost slice j = sum over r of Coefficients[j * count + r] * remainder of Exponents[r].
  std::vector<std::uint16_t> Coefficients;
};

// lost: the lost slices' numbers in the set; exponents: the recovery slices at hand,
// ascending. Nothing when they do not determine the lost slices (too few, or dependent).
std::optional<TRecoverySolution> SolveLostSlices(std::span<const std::uint32_t> lost,
                                                 std::span<const std::uint32_t> exponents);
