// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bounds-checked reading of bytes: every access outside the span answers zero (or
// false), so a parser cannot read beyond what it was given.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class TByteReader {
public:
  explicit constexpr TByteReader(std::span<const std::uint8_t> bytes) : Bytes(bytes) {}

  constexpr std::size_t Size() const { return Bytes.size(); }
  constexpr bool Has(std::size_t at, std::size_t count) const {
    return at <= Bytes.size() && count <= Bytes.size() - at;
  }
  constexpr std::uint8_t U8(std::size_t at) const { return at < Bytes.size() ? Bytes[at] : 0; }
  constexpr std::uint32_t U16BE(std::size_t at) const { return (U8(at) << 8) | U8(at + 1); }
  constexpr std::uint32_t U24BE(std::size_t at) const {
    return (std::uint32_t{U8(at)} << 16) | (std::uint32_t{U8(at + 1)} << 8) | U8(at + 2);
  }
  constexpr std::uint32_t U32BE(std::size_t at) const {
    return (std::uint32_t{U8(at)} << 24) | U24BE(at + 1);
  }
  // Four bytes of seven bits each, most significant first.
  constexpr std::uint32_t Synchsafe32(std::size_t at) const {
    return (std::uint32_t{U8(at) & 0x7Fu} << 21) | (std::uint32_t{U8(at + 1) & 0x7Fu} << 14) |
           (std::uint32_t{U8(at + 2) & 0x7Fu} << 7) | (U8(at + 3) & 0x7Fu);
  }
  constexpr bool Matches(std::size_t at, std::string_view text) const {
    if (!Has(at, text.size()))
      return false;
    for (std::size_t i = 0; i < text.size(); ++i)
      if (Bytes[at + i] != static_cast<std::uint8_t>(text[i]))
        return false;
    return true;
  }
  // Up to count bytes from at, clipped to the span, as characters.
  std::string Text(std::size_t at, std::size_t count) const {
    if (at >= Bytes.size())
      return {};
    const std::size_t n = count < Bytes.size() - at ? count : Bytes.size() - at;
    return std::string(reinterpret_cast<const char*>(Bytes.data() + at), n);
  }
  constexpr std::span<const std::uint8_t> Sub(std::size_t at, std::size_t count) const {
    if (at >= Bytes.size())
      return {};
    return Bytes.subspan(at, count < Bytes.size() - at ? count : Bytes.size() - at);
  }

private:
  std::span<const std::uint8_t> Bytes;
};
