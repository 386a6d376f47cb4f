// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/LargeBuffer.h"

#include <algorithm>
#include <sys/mman.h>

TLargeBuffer LargeBuffer(std::size_t bytes) {
  constexpr std::size_t Huge = std::size_t{2} << 20;
  const std::size_t size = std::max(Huge, (bytes + Huge - 1) / Huge * Huge);
  auto* memory = static_cast<std::uint8_t*>(std::aligned_alloc(Huge, size));
  if (memory)
    ::madvise(memory, size, MADV_HUGEPAGE);
  return TLargeBuffer(memory);
}
