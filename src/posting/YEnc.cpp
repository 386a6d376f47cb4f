// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/YEnc.h"

#include "audio/CRC32Unit.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstdio>
#include <immintrin.h>

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

namespace {
// One byte out, escaped as its place in the line asks; a full line ends with CR LF.
inline void EncodeOne(std::uint8_t byte, bool lastByte, int lineLength, char*& out, int& column) {
  const auto c = static_cast<std::uint8_t>(byte + 42);
  bool escape = AlwaysEscaped[c];
  if (!escape && column == 0)
    escape = BlankCharacter(c) || c == '.';
  else if (!escape && (column == lineLength - 1 || lastByte))
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

std::size_t EncodeScalar(std::span<const std::uint8_t> bytes, char* out, int lineLength) {
  char* const start = out;
  int column = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    EncodeOne(bytes[i], i + 1 == bytes.size(), lineLength, out, column);
  if (column > 0) {
    *out++ = '\r';
    *out++ = '\n';
  }
  return static_cast<std::size_t>(out - start);
}

// Input byte k of 32 takes slots 2k ("=", kept only when escaped) and 2k+1 (the byte):
// the output's data positions.
__attribute__((target("bmi2"))) inline std::uint64_t Placed(std::uint32_t escaped) {
  constexpr std::uint64_t Odd = 0xAAAAAAAAAAAAAAAAULL, Even = 0x5555555555555555ULL;
  return _pext_u64(Odd, _pdep_u64(escaped, Even) | Odd);
}

// The set bits among the first count.
inline int Below(std::uint64_t mask, int count) {
  return std::popcount(count >= 64 ? mask : mask & ((std::uint64_t{1} << count) - 1));
}

// GCC's own intrinsics leave a lane "undefined" on purpose, which its optimizer then
// reports as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// 64 bytes at a time: the characters that need escaping found by compares (a line's
// first character also when it is a dot or a blank), and each half expanded around its
// "=" slots in one instruction. Where a line ends inside the chunk, the chunk is cut after
// the character in the line's last column, a blank there is escaped, and the line ended.
// The data's last byte (whose blank escapes too) goes through the one-byte step.
__attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi2,bmi2,popcnt"))) std::size_t
EncodeExpandAvx512(std::span<const std::uint8_t> bytes, char* out, int lineLength) {
  char* const start = out;
  int column = 0;
  std::size_t i = 0;
  const __m512i plus42 = _mm512_set1_epi8(42), plus64 = _mm512_set1_epi8(64);
  const __m512i equals = _mm512_set1_epi8('=');
  while (i + 64 < bytes.size()) {
    const int room = lineLength - column; // output slots left in the line
    __m512i data = _mm512_add_epi8(_mm512_loadu_si512(bytes.data() + i), plus42);
    std::uint64_t escaped = _mm512_cmpeq_epi8_mask(data, _mm512_setzero_si512()) |
                            _mm512_cmpeq_epi8_mask(data, _mm512_set1_epi8('\n')) |
                            _mm512_cmpeq_epi8_mask(data, _mm512_set1_epi8('\r')) |
                            _mm512_cmpeq_epi8_mask(data, _mm512_set1_epi8('='));
    if (column == 0)
      escaped |= (_mm512_cmpeq_epi8_mask(data, _mm512_set1_epi8('.')) |
                  _mm512_cmpeq_epi8_mask(data, _mm512_set1_epi8('\t')) |
                  _mm512_cmpeq_epi8_mask(data, _mm512_set1_epi8(' '))) &
                 1;
    data = _mm512_mask_add_epi8(data, escaped, data, plus64);
    const auto low = static_cast<std::uint32_t>(escaped);
    const auto high = static_cast<std::uint32_t>(escaped >> 32);
    const std::uint64_t lowPlaced = Placed(low);
    _mm512_storeu_si512(out, _mm512_mask_expand_epi8(equals, lowPlaced, data));
    const int lowWritten = 32 + std::popcount(low);
    int taken = 0, written = 0;
    if (lowWritten < room) {
      const std::uint64_t highPlaced = Placed(high);
      _mm512_storeu_si512(
          out + lowWritten,
          _mm512_mask_expand_epi8(equals, highPlaced, _mm512_shuffle_i64x2(data, data, 0xEE)));
      const int highWritten = 32 + std::popcount(high);
      if (lowWritten + highWritten < room) {
        out += lowWritten + highWritten;
        column += lowWritten + highWritten;
        i += 64;
        continue;
      }
      const int highTaken = Below(highPlaced, room - lowWritten);
      taken = 32 + highTaken;
      written = lowWritten + highTaken + Below(high, highTaken);
    } else {
      taken = Below(lowPlaced, room);
      written = taken + Below(low, taken);
    }
    if (taken == 0) { // an escape that does not fit the line: the byte goes one at a time
      EncodeOne(bytes[i], false, lineLength, out, column);
      ++i;
      continue;
    }
    out += written;
    column += written;
    i += static_cast<std::size_t>(taken);
    if (column < lineLength)
      continue; // an escape straddles the line's end: the one-byte step takes it next
    if (out[-1] == ' ' || out[-1] == '\t') { // a blank ends the line: escaped
      out[0] = static_cast<char>(out[-1] + 64);
      out[-1] = '=';
      ++out;
    }
    *out++ = '\r';
    *out++ = '\n';
    column = 0;
  }
  for (; i < bytes.size(); ++i)
    EncodeOne(bytes[i], i + 1 == bytes.size(), lineLength, out, column);
  if (column > 0) {
    *out++ = '\r';
    *out++ = '\n';
  }
  return static_cast<std::size_t>(out - start);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
} // namespace

bool YEncMethodRuns(TYEncMethod method) {
  if (method == TYEncMethod::Scalar)
    return true;
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi2") &&
         __builtin_cpu_supports("bmi2");
}

TYEncMethod FastestYEncMethod() {
  static const TYEncMethod fastest =
      YEncMethodRuns(TYEncMethod::ExpandAvx512) ? TYEncMethod::ExpandAvx512 : TYEncMethod::Scalar;
  return fastest;
}

std::size_t YEncEncodeWith(TYEncMethod method, std::span<const std::uint8_t> bytes, char* out,
                           int lineLength) {
  if (method == TYEncMethod::ExpandAvx512 && lineLength > 2)
    return EncodeExpandAvx512(bytes, out, lineLength);
  return EncodeScalar(bytes, out, lineLength);
}

std::size_t YEncEncode(std::span<const std::uint8_t> bytes, char* out, int lineLength) {
  return YEncEncodeWith(FastestYEncMethod(), bytes, out, lineLength);
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
