// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogText.h"

#include "common/IconvUnit.h"
#include "common/TextUnit.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {
// A combined log of more rips than this is read as its first ones and the rest as one.
constexpr std::size_t MostRips = 64;

bool Between(unsigned char c, unsigned char low, unsigned char high) {
  return c >= low && c <= high;
}

// Shift-JIS shows as lead bytes followed by a second byte in the ASCII range, which
// Cyrillic or Latin letters of a single-byte page almost never are.
bool LooksShiftJis(std::string_view bytes) {
  std::size_t pairs = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if ((Between(lead, 0x81, 0x9F) || Between(lead, 0xE0, 0xEF)) &&
        Between(static_cast<unsigned char>(bytes[i + 1]), 0x40, 0x7E))
      ++pairs, ++i;
  }
  return pairs >= 3;
}

// Cyrillic words in Windows-1251 are runs of bytes from 0xC0 up.
bool LooksCyrillic(std::string_view bytes) {
  std::size_t runs = 0, length = 0;
  for (const char c : bytes) {
    length = Between(static_cast<unsigned char>(c), 0xC0, 0xFF) ? length + 1 : 0;
    runs += length == 3;
  }
  return runs >= 3;
}

// Letters of Czech and Polish in Windows-1250 that are rare signs in Windows-1252
// (ě ř ů ą ł ť ź and their capitals).
bool LooksCentralEuropean(std::string_view bytes) {
  constexpr std::string_view Markers = "\xEC\xF8\xF9\xB9\xB3\x9D\x9F\x8D\x8F\xA5\xA3\xD8";
  return std::count_if(bytes.begin(), bytes.end(),
                       [&](char c) { return Markers.find(c) != std::string_view::npos; }) >= 2;
}

std::string FromLegacyCodePage(std::string_view bytes) {
  const char* page = LooksShiftJis(bytes)          ? "CP932"
                     : LooksCyrillic(bytes)        ? "WINDOWS-1251"
                     : LooksCentralEuropean(bytes) ? "WINDOWS-1250"
                                                   : nullptr;
  if (page)
    if (auto text = ConvertWithIconv(bytes, page, "UTF-8"))
      return std::move(*text);
  return Cp1252ToUtf8(bytes);
}

// UTF-16 without a byte-order mark: its ASCII characters put a zero byte beside each.
std::string_view Utf16Mark(std::string_view bytes) {
  const std::size_t sample = std::min<std::size_t>(bytes.size() & ~std::size_t(1), 512);
  std::size_t evenZeros = 0, oddZeros = 0;
  for (std::size_t i = 0; i < sample; ++i)
    (i % 2 ? oddZeros : evenZeros) += bytes[i] == '\0';
  if (sample < 8 || std::max(evenZeros, oddZeros) < sample / 4 ||
      std::min(evenZeros, oddZeros) * 4 > std::max(evenZeros, oddZeros))
    return {};
  return oddZeros > evenZeros ? "\xFF\xFE" : "\xFE\xFF";
}
} // namespace

std::string RipLogTextOf(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
    return TextFileToUtf8(bytes);
  if (const std::string_view mark = Utf16Mark(bytes); !mark.empty())
    return TextFileToUtf8(std::string(mark) + std::string(bytes));
  if (bytes.starts_with("\xEF\xBB\xBF"))
    bytes.remove_prefix(3);
  if (SanitizeUtf8(bytes) == bytes)
    return std::string(bytes);
  return FromLegacyCodePage(bytes);
}

std::vector<std::string_view> RipsOf(std::string_view text) {
  std::vector<std::string_view> rips;
  std::size_t start = 0;
  const auto close = [&](std::size_t end) {
    if (const std::string_view rip = TrimControl(text.substr(start, end - start)); !rip.empty())
      rips.push_back(rip);
  };
  for (std::size_t at = 0; at < text.size() && rips.size() + 1 < MostRips;) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = TrimControlRight(text.substr(at, end - at));
    if (line.size() >= 60 && line.find_first_not_of('-') == std::string_view::npos) {
      close(at);
      start = end;
    }
    at = end + 1;
  }
  close(text.size());
  return rips;
}
