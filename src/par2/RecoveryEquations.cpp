// SPDX-License-Identifier: GPL-3.0-or-later
#include "par2/RecoveryEquations.h"

#include "par2/RecoveryField.h"

#include <algorithm>
#include <cstring>

namespace {
// Rows of the matrix held in the region layout, so that adding a multiple of one row to
// another is the region work the recovery data is made with: thousands of lost slices
// take seconds, not hours.
class TMatrix {
public:
  TMatrix(std::size_t rows, std::size_t columns)
      : Bytes((columns + 63) / 64 * GfGroupBytes), Data(rows * Bytes, 0) {}

  std::uint16_t At(std::size_t row, std::size_t column) const {
    const std::uint8_t* word = Row(row) + column / 64 * GfGroupBytes + column % 64;
    return static_cast<std::uint16_t>(word[0] | word[64] << 8);
  }
  void Set(std::size_t row, std::size_t column, std::uint16_t value) {
    std::uint8_t* word = Row(row) + column / 64 * GfGroupBytes + column % 64;
    word[0] = static_cast<std::uint8_t>(value);
    word[64] = static_cast<std::uint8_t>(value >> 8);
  }
  // row to += factor * row from
  void AddMultiple(std::size_t to, std::size_t from, std::uint16_t factor) {
    const std::uint8_t* source = Row(from);
    const TGfFactor prepared = PrepareGfFactor(factor);
    GfMultiplyAccumulate(std::span(Row(to), Bytes), std::span(&source, 1), std::span(&prepared, 1));
  }
  void Scale(std::size_t row, std::uint16_t factor) {
    std::vector<std::uint8_t> scaled(Bytes, 0);
    const std::uint8_t* source = Row(row);
    const TGfFactor prepared = PrepareGfFactor(factor);
    GfMultiplyAccumulate(scaled, std::span(&source, 1), std::span(&prepared, 1));
    std::memcpy(Row(row), scaled.data(), Bytes);
  }

private:
  std::uint8_t* Row(std::size_t row) { return Data.data() + row * Bytes; }
  const std::uint8_t* Row(std::size_t row) const { return Data.data() + row * Bytes; }
  std::size_t Bytes;
  std::vector<std::uint8_t> Data;
};

// A few recovery slices beyond the count needed stand in for any that depend on others.
constexpr std::size_t SpareEquations = 16;
} // namespace

std::optional<TRecoverySolution> SolveLostSlices(std::span<const std::uint32_t> lost,
                                                 std::span<const std::uint32_t> exponents) {
  const std::size_t count = lost.size();
  const std::size_t rows = std::min(exponents.size(), count + SpareEquations);
  if (rows < count)
    return std::nullopt;
  // Each row: the equation's factors of the lost slices, then which equations it sums
  // (at first itself alone). Gauss-Jordan elimination brings a row to each lost slice.
  TMatrix matrix(rows, count + rows);
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t j = 0; j < count; ++j)
      matrix.Set(r, j, GfPower(InputSliceConstant(lost[j]), exponents[r]));
    matrix.Set(r, count + r, 1);
  }
  std::vector<std::size_t> pivot(count);
  std::vector<bool> used(rows, false);
  for (std::size_t j = 0; j < count; ++j) {
    std::size_t p = 0;
    while (p < rows && (used[p] || matrix.At(p, j) == 0))
      ++p;
    if (p == rows)
      return std::nullopt;
    used[p] = true;
    pivot[j] = p;
    matrix.Scale(p, GfPower(matrix.At(p, j), 65534)); // the inverse: a^(order - 1)
    for (std::size_t q = 0; q < rows; ++q)
      if (q != p && matrix.At(q, j) != 0)
        matrix.AddMultiple(q, p, matrix.At(q, j));
  }
  // A pivot row only ever gained multiples of pivot rows: the equations it sums are those.
  TRecoverySolution solution;
  std::vector<std::size_t> chosen(pivot);
  std::sort(chosen.begin(), chosen.end());
  for (const std::size_t r : chosen)
    solution.Exponents.push_back(exponents[r]);
  solution.Coefficients.resize(count * count);
  for (std::size_t j = 0; j < count; ++j)
    for (std::size_t r = 0; r < count; ++r)
      solution.Coefficients[j * count + r] = matrix.At(pivot[j], count + chosen[r]);
  return solution;
}
