// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/YEnc.h"

#include "audio/CRC32Unit.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace {
// Output characters that must always be escaped.
constexpr std::array<bool, 256> AlwaysEscaped = [] {
  std::array<bool, 256> table{};
  table[0] = table['\n'] = table['\r'] = table['='] = true;
  return table;
}();

constexpr bool BlankCharacter(std::uint8_t c) {
  return c == '\t' || c == ' ';
}

std::string HexCrc(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(crc));
  return text;
}

// The value of "key=" on a header line, up to the next blank (or the line's end for
// name=, which may hold blanks).
std::optional<std::string_view> KeyValue(std::string_view line, std::string_view key) {
  for (std::size_t at = line.find(key); at != std::string_view::npos; at = line.find(key, at + 1)) {
    if (at > 0 && line[at - 1] != ' ')
      continue;
    std::string_view value = line.substr(at + key.size());
    if (key != "name=")
      value = value.substr(0, value.find(' '));
    return value;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> Number(std::string_view line, std::string_view key, int base = 10) {
  const auto value = KeyValue(line, key);
  if (!value)
    return std::nullopt;
  std::uint64_t number = 0;
  const auto [end, error] =
      std::from_chars(value->data(), value->data() + value->size(), number, base);
  if (error != std::errc() || end == value->data())
    return std::nullopt;
  return number;
}

std::string_view NextLine(std::string_view& text) {
  const std::size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  return line;
}
} // namespace

std::size_t YEncEncode(std::span<const std::uint8_t> bytes, char* out, int lineLength) {
  char* const start = out;
  int column = 0;
  const std::size_t last = bytes.size() - 1;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<std::uint8_t>(bytes[i] + 42);
    bool escape = AlwaysEscaped[c];
    if (!escape && column == 0)
      escape = BlankCharacter(c) || c == '.';
    else if (!escape && (column == lineLength - 1 || i == last))
      escape = BlankCharacter(c);
    if (escape) {
      *out++ = '=';
      *out++ = static_cast<char>(c + 64);
      column += 2;
    } else {
      *out++ = static_cast<char>(c);
      ++column;
    }
    if (column >= lineLength) {
      *out++ = '\r';
      *out++ = '\n';
      column = 0;
    }
  }
  if (column > 0) {
    *out++ = '\r';
    *out++ = '\n';
  }
  return static_cast<std::size_t>(out - start);
}

std::string YEncArticleBody(const TYEncPart& part, std::span<const std::uint8_t> bytes,
                            std::optional<std::uint32_t> fileCrc) {
  std::string body =
      "=ybegin part=" + std::to_string(part.Part) + " total=" + std::to_string(part.Total) +
      " line=" + std::to_string(YEncLineLength) + " size=" + std::to_string(part.FileSize) +
      " name=" + part.Name + "\r\n" + "=ypart begin=" + std::to_string(part.Begin) +
      " end=" + std::to_string(part.End) + "\r\n";
  const std::size_t head = body.size();
  body.resize(head + YEncBound(bytes.size()));
  body.resize(head + YEncEncode(bytes, body.data() + head));
  body += "=yend size=" + std::to_string(bytes.size()) + " part=" + std::to_string(part.Part) +
          " pcrc32=" + HexCrc(UpdateCRC32(0, bytes));
  if (fileCrc)
    body += " crc32=" + HexCrc(*fileCrc);
  body += "\r\n";
  return body;
}

std::optional<TYEncDecoded> YEncDecode(std::string_view body, std::size_t maxBytes) {
  std::string_view line;
  do {
    if (body.empty())
      return std::nullopt;
    line = NextLine(body);
  } while (!line.starts_with("=ybegin "));
  TYEncDecoded decoded;
  std::string_view rest = body;
  if (line = NextLine(rest); line.starts_with("=ypart ")) {
    decoded.Begin = Number(line, "begin=").value_or(0);
    decoded.End = Number(line, "end=").value_or(0);
    body = rest;
  }
  while (!body.empty()) {
    line = NextLine(body);
    if (line.starts_with("=yend")) {
      decoded.DeclaredPartCrc = Number(line, "pcrc32=", 16);
      decoded.Complete = Number(line, "size=") == decoded.Bytes.size();
      break;
    }
    for (std::size_t i = 0; i < line.size() && decoded.Bytes.size() < maxBytes; ++i) {
      auto c = static_cast<std::uint8_t>(line[i]);
      if (c == '=' && ++i < line.size())
        c = static_cast<std::uint8_t>(line[i] - 64);
      decoded.Bytes.push_back(static_cast<char>(c - 42));
    }
  }
  decoded.Crc =
      UpdateCRC32(0, std::span(reinterpret_cast<const std::uint8_t*>(decoded.Bytes.data()),
                               decoded.Bytes.size()));
  return decoded;
}
