// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ImageSize.h"

#include "common/ByteReader.h"

namespace {
std::optional<TImageSize> JpegSize(const TByteReader& bytes) {
  std::size_t at = 2; // past the start-of-image marker
  while (bytes.Has(at, 4)) {
    if (bytes.U8(at) != 0xFF)
      return std::nullopt;
    const std::uint8_t marker = bytes.U8(at + 1);
    if (marker == 0xFF) { // fill bytes before a marker
      ++at;
      continue;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2; // markers without a length
      continue;
    }
    const std::uint32_t length = bytes.U16BE(at + 2);
    if (length < 2)
      return std::nullopt;
    // Start of frame: every SOFn but the Huffman table (C4), JPG (C8) and arithmetic (CC).
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (!bytes.Has(at + 4, 5))
        return std::nullopt;
      return TImageSize{"JPEG", bytes.U16BE(at + 7), bytes.U16BE(at + 5)};
    }
    if (marker == 0xD9 || marker == 0xDA) // the end, or the scan: no frame came before
      return std::nullopt;
    at += 2 + length;
  }
  return std::nullopt;
}

} // namespace

std::optional<TImageSize> ReadImageSize(std::span<const std::uint8_t> head) {
  const TByteReader bytes(head);
  if (bytes.Matches(0, "\x89PNG\r\n\x1a\n") && bytes.Matches(12, "IHDR") && bytes.Has(16, 8))
    return TImageSize{"PNG", bytes.U32BE(16), bytes.U32BE(20)};
  if ((bytes.Matches(0, "GIF87a") || bytes.Matches(0, "GIF89a")) && bytes.Has(6, 4))
    return TImageSize{"GIF", std::uint32_t{bytes.U8(6)} | std::uint32_t{bytes.U8(7)} << 8,
                      std::uint32_t{bytes.U8(8)} | std::uint32_t{bytes.U8(9)} << 8};
  if (bytes.U8(0) == 0xFF && bytes.U8(1) == 0xD8)
    return JpegSize(bytes);
  return std::nullopt;
}

std::string ImageSizeText(const TImageSize& size) {
  return std::to_string(size.Width) + "x" + std::to_string(size.Height) + " " + size.Kind;
}
