// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Large work buffers on huge pages where the system gives them: on a virtual machine the
// first touch of each 4 KiB page is dear (128 MB of them took 0.47 s here), of a 2 MiB one
// not. The bytes are not cleared.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

struct TFreeLargeBuffer {
  void operator()(std::uint8_t* bytes) const { std::free(bytes); }
};
using TLargeBuffer = std::unique_ptr<std::uint8_t[], TFreeLargeBuffer>;

// Nothing (a null pointer) when the memory cannot be had.
TLargeBuffer LargeBuffer(std::size_t bytes);
