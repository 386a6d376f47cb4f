// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/MostPopularUnit.h"

#include <algorithm>

namespace {
template <typename T> T MostPopular(std::span<const T> values) {
  T result{};
  std::ptrdiff_t best = 0;
  for (const T& candidate : values) {
    const std::ptrdiff_t count = std::count(values.begin(), values.end(), candidate);
    if (count > best) {
      best = count;
      result = candidate;
    }
  }
  return result;
}
} // namespace

std::int32_t MostPopularInt(std::span<const std::int32_t> values) {
  return MostPopular(values);
}

std::string MostPopularStr(std::span<const std::string> values) {
  return MostPopular(values);
}
