// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/FlacFrames.h"

#include "common/ByteReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <vector>

namespace {
// FLAC's frame checksums: CRC-8 (polynomial 0x07) over the header, CRC-16 (0x8005) over
// the whole frame, both from zero and most significant bit first.
template <typename T, unsigned Polynomial> constexpr std::array<T, 256> CrcTable() {
  std::array<T, 256> table{};
  constexpr unsigned Top = 1u << (8 * sizeof(T) - 1);
  for (unsigned n = 0; n < 256; ++n) {
    unsigned crc = n << (8 * sizeof(T) - 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & Top) ? (crc << 1) ^ Polynomial : crc << 1;
    table[n] = static_cast<T>(crc);
  }
  return table;
}
constexpr auto Crc8Table = CrcTable<std::uint8_t, 0x07>();
constexpr auto Crc16Table = CrcTable<std::uint16_t, 0x8005>();

std::uint8_t Crc8(std::span<const std::uint8_t> bytes) {
  std::uint8_t crc = 0;
  for (const std::uint8_t b : bytes)
    crc = Crc8Table[crc ^ b];
  return crc;
}

std::uint16_t Crc16(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0;
  for (const std::uint8_t b : bytes)
    crc = static_cast<std::uint16_t>((crc << 8) ^ Crc16Table[(crc >> 8) ^ b]);
  return crc;
}

// A frame header at the start of the bytes: its samples, its number (a frame's, or with
// variable blocking its first sample's) and its length.
struct TFrameHeader {
  bool Variable = false;
  std::uint64_t Number = 0;
  std::uint32_t BlockSize = 0;
  std::size_t Length = 0;
};

std::optional<TFrameHeader> HeaderAt(const TByteReader& bytes) {
  const std::uint8_t sync = bytes.U8(1), sizes = bytes.U8(2), layout = bytes.U8(3);
  const unsigned sizeCode = sizes >> 4, rateCode = sizes & 0xFu;
  if (bytes.U8(0) != 0xFF || (sync & 0xFEu) != 0xF8 || sizeCode == 0 || rateCode == 15 ||
      (layout >> 4) > 10 || (layout & 1u) != 0)
    return std::nullopt;
  TFrameHeader header{(sync & 1u) != 0, 0, 0, 4};
  // The number, coded as UTF-8 codes its characters (up to 36 bits in seven bytes).
  const std::uint8_t lead = bytes.U8(4);
  const int extra = lead < 0x80 ? 0 : lead >= 0xC0 ? std::countl_one(lead) - 1 : -1;
  if (extra < 0 || extra > 6)
    return std::nullopt;
  header.Number = extra == 0 ? lead : lead & (0x3Fu >> extra);
  for (int i = 1; i <= extra; ++i) {
    const std::uint8_t next = bytes.U8(4 + static_cast<std::size_t>(i));
    if ((next & 0xC0u) != 0x80)
      return std::nullopt;
    header.Number = (header.Number << 6) | (next & 0x3Fu);
  }
  header.Length += 1 + static_cast<std::size_t>(extra);
  if (sizeCode == 1)
    header.BlockSize = 192;
  else if (sizeCode <= 5)
    header.BlockSize = 576u << (sizeCode - 2);
  else if (sizeCode == 6)
    header.BlockSize = bytes.U8(header.Length++) + 1u;
  else if (sizeCode == 7)
    header.BlockSize = bytes.U16BE((header.Length += 2) - 2) + 1u;
  else
    header.BlockSize = 256u << (sizeCode - 8);
  header.Length += rateCode == 12 ? 1 : (rateCode == 13 || rateCode == 14) ? 2 : 0;
  if (!bytes.Has(0, header.Length + 1) ||
      Crc8(bytes.Sub(0, header.Length)) != bytes.U8(header.Length))
    return std::nullopt;
  return header;
}
} // namespace

std::uint64_t FlacSamplesFromLastFrame(TReadOnlyFile& file, const TFlacMetadata& metadata) {
  const std::int64_t audio = metadata.AudioEnd - metadata.AudioStart;
  const std::int64_t reach = std::clamp<std::int64_t>(std::int64_t{metadata.MaxFrameSize} + 16,
                                                      FlacTailBytes, 4 * FlacTailBytes);
  const std::int64_t length = std::min(audio, reach);
  if (length < 16)
    return 0;
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(length));
  if (!file.ReadExactly(metadata.AudioEnd - length, tail))
    return 0;
  const TByteReader bytes(tail);
  const std::uint16_t footer = static_cast<std::uint16_t>(bytes.U16BE(tail.size() - 2));
  for (std::size_t at = tail.size() - 2; at-- > 0;) {
    if (tail[at] != 0xFF)
      continue;
    const std::span<const std::uint8_t> frame = bytes.Sub(at, tail.size() - at);
    const auto header = HeaderAt(TByteReader(frame));
    if (!header || Crc16(frame.first(frame.size() - 2)) != footer)
      continue;
    if (!header->Variable && metadata.MaxBlockSize == 0)
      return 0; // a frame's number says nothing without the stream's block size
    const std::uint64_t first =
        header->Variable ? header->Number : header->Number * metadata.MaxBlockSize;
    return first + header->BlockSize;
  }
  return 0;
}
