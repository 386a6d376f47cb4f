// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/YEnc.h"

#include "audio/CRC32Unit.h"

#include <algorithm>
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

// The set bits among the first count (at most 64).
__attribute__((target("bmi2,popcnt"))) inline int Below(std::uint64_t mask, int count) {
  return std::popcount(_bzhi_u64(mask, static_cast<unsigned>(count)));
}

// GCC's own intrinsics leave a lane "undefined" on purpose, which its optimizer then
// reports as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
// Where the vector steps stand: the next input byte, the next output character, and
// the output column.
struct TCursor {
  std::size_t In = 0;
  char* Out = nullptr;
  int Column = 0;
};

#define TAMBERLON_AVX512                                                                           \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi2,popcnt")))

// Every character that escapes is below 64, so a 64-entry table indexed by a character's
// low six bits holds the character itself where it escapes and a value with other low
// bits elsewhere: one permute and one compare find them all.
constexpr std::array<std::uint8_t, 64> EscapeTable(bool lineStart) {
  std::array<std::uint8_t, 64> table{};
  for (int k = 0; k < 64; ++k) {
    const bool escapes = AlwaysEscaped[k] || (lineStart && (BlankCharacter(k) || k == '.'));
    table[k] = static_cast<std::uint8_t>(escapes ? k : k ^ 1);
  }
  return table;
}
alignas(64) constexpr std::array<std::uint8_t, 64> EscapedAnywhere = EscapeTable(false);
alignas(64) constexpr std::array<std::uint8_t, 64> EscapedFirst = EscapeTable(true);

TAMBERLON_AVX512 inline std::uint64_t Escapes(__m512i data,
                                              const std::array<std::uint8_t, 64>& table) {
  return _mm512_cmpeq_epi8_mask(_mm512_permutexvar_epi8(data, _mm512_load_si512(table.data())),
                                data);
}

// The 64 bytes at the cursor plus 42, and plus 64 more where they escape.
TAMBERLON_AVX512 inline __m512i Encoded(const std::uint8_t* bytes, std::uint64_t escaped) {
  const __m512i data = _mm512_add_epi8(_mm512_loadu_si512(bytes), _mm512_set1_epi8(42));
  return _mm512_mask_add_epi8(data, escaped, data, _mm512_set1_epi8(64));
}

// The same, finding which escape (a line's first character also when it is a dot or a
// blank).
TAMBERLON_AVX512 inline __m512i Shifted(const std::uint8_t* bytes, bool lineStart,
                                        std::uint64_t& escaped) {
  const __m512i data = _mm512_add_epi8(_mm512_loadu_si512(bytes), _mm512_set1_epi8(42));
  escaped = Escapes(data, EscapedAnywhere);
  if (lineStart)
    escaped |= Escapes(data, EscapedFirst) & 1;
  return _mm512_mask_add_epi8(data, escaped, data, _mm512_set1_epi8(64));
}

// Input bytes whose characters escape as a line's first (a dot or a blank besides those
// escaped anywhere): one load beside the map, not a second map.
constexpr std::array<bool, 256> EscapesFirst = [] {
  std::array<bool, 256> table{};
  for (int b = 0; b < 256; ++b) {
    const auto c = static_cast<std::uint8_t>(b + 42);
    table[b] = AlwaysEscaped[c] || BlankCharacter(c) || c == '.';
  }
  return table;
}();

// Which bytes escape, found ahead for a block of 64-byte chunks: a line's length then
// waits on a few word operations rather than on its own loads and compares.
struct TEscapeMap {
  static constexpr std::size_t Words = 64;
  std::size_t Base = 0;  // the input offset of the first word's first byte
  std::size_t Count = 0; // the words filled
  std::array<std::uint64_t, Words + 1> Anywhere{};
};

// The same test on the input bytes themselves, before the 42 is added: the four that
// escape anywhere differ in their low six bits too, so the table holds each whole.
alignas(64) constexpr std::array<std::uint8_t, 64> InputEscapedAnywhere = [] {
  std::array<std::uint8_t, 64> table{};
  for (int k = 0; k < 64; ++k)
    table[k] = static_cast<std::uint8_t>(k ^ 1);
  for (int b = 0; b < 256; ++b)
    if (AlwaysEscaped[static_cast<std::uint8_t>(b + 42)]) {
      if (table[b % 64] != ((b % 64) ^ 1))
        throw "two escaping bytes share their low six bits";
      table[b % 64] = static_cast<std::uint8_t>(b);
    }
  return table;
}();

TAMBERLON_AVX512 void MapEscapes(std::span<const std::uint8_t> bytes, std::size_t base,
                                 TEscapeMap& map) {
  map.Base = base;
  map.Count = std::min(TEscapeMap::Words, (bytes.size() - base) / 64);
  for (std::size_t w = 0; w < map.Count; ++w) {
    map.Anywhere[w] =
        Escapes(_mm512_loadu_si512(bytes.data() + base + 64 * w), InputEscapedAnywhere);
  }
  map.Anywhere[map.Count] = 0;
}

// The 64 bits from the offset on (bits past the words filled read as zero).
inline std::uint64_t Window(const std::array<std::uint64_t, TEscapeMap::Words + 1>& words,
                            std::size_t offset) {
  const std::size_t w = offset / 64;
  const unsigned shift = offset % 64; // the high word moved in two steps: never by 64
  return (words[w] >> shift) | ((words[w + 1] << 1) << (63 - shift));
}

// Half of a chunk (0 low, 1 high) expanded around its "=" slots; returns its width.
template <int Half>
TAMBERLON_AVX512 inline int StoreHalf(__m512i data, std::uint32_t escaped, char* out,
                                      std::uint64_t& placed) {
  placed = Placed(escaped);
  const __m512i half = Half == 0 ? data : _mm512_shuffle_i64x2(data, data, 0xEE);
  _mm512_storeu_si512(out, _mm512_mask_expand_epi8(_mm512_set1_epi8('='), placed, half));
  return 32 + std::popcount(escaped);
}

// Ends the line after the characters written: a blank in its last column escaped. The
// last character is judged from the input, not read back from the stores just made.
inline void EndLine(TCursor& at, const std::uint8_t* bytes, bool endsEscaped) {
  const auto last = static_cast<std::uint8_t>(bytes[at.In - 1] + 42);
  if (!endsEscaped && BlankCharacter(last)) {
    at.Out[-1] = '=';
    *at.Out++ = static_cast<char>(last + 64);
  }
  *at.Out++ = '\r';
  *at.Out++ = '\n';
  at.Column = 0;
}

// Takes from a half expanded at the line's end the bytes whose characters reach the
// line's room (at least one, as an escape straddling its end is taken whole); returns the
// bytes taken.
inline int TakeToLineEnd(std::uint64_t placed, std::uint32_t escaped, int room, TCursor& at,
                         bool& endsEscaped) {
  const int taken = Below(placed, room) + (((placed >> (room - 1)) & 1) == 0 ? 1 : 0);
  at.Out += taken + Below(escaped, taken);
  endsEscaped = ((escaped >> (taken - 1)) & 1) != 0;
  return taken;
}

// One chunk at any column: wholly in the line, or cut where the line ends.
TAMBERLON_AVX512 void ChunkStep(const std::uint8_t* bytes, int lineLength, TCursor& at) {
  const int room = lineLength - at.Column;
  std::uint64_t escaped = 0, lowPlaced = 0, highPlaced = 0;
  const __m512i data = Shifted(bytes + at.In, at.Column == 0, escaped);
  const auto low = static_cast<std::uint32_t>(escaped);
  const auto high = static_cast<std::uint32_t>(escaped >> 32);
  const int lowWritten = StoreHalf<0>(data, low, at.Out, lowPlaced);
  bool endsEscaped = false;
  if (lowWritten < room) {
    const int highWritten = StoreHalf<1>(data, high, at.Out + lowWritten, highPlaced);
    if (lowWritten + highWritten < room) {
      at.Out += lowWritten + highWritten;
      at.Column += lowWritten + highWritten;
      at.In += 64;
      return;
    }
    at.Out += lowWritten;
    at.In += 32 + static_cast<std::size_t>(
                      TakeToLineEnd(highPlaced, high, room - lowWritten, at, endsEscaped));
  } else {
    at.In += static_cast<std::size_t>(TakeToLineEnd(lowPlaced, low, room, at, endsEscaped));
  }
  EndLine(at, bytes, endsEscaped);
}

// A whole line from column 0, its first 64 bytes wholly in it and the next 64 cut where
// it ends; false (nothing taken) when the first 64 alone would fill it, or the map does
// not reach that far.
TAMBERLON_AVX512 bool LineStep(const std::uint8_t* bytes, int lineLength, TCursor& at,
                               const TEscapeMap& map) {
  const std::size_t offset = at.In - map.Base;
  if (offset + 128 > 64 * map.Count)
    return false;
  const std::uint64_t first = Window(map.Anywhere, offset) | (EscapesFirst[bytes[at.In]] ? 1U : 0U);
  const int firstWritten = 64 + std::popcount(first);
  if (firstWritten >= lineLength)
    return false;
  const std::uint64_t second = Window(map.Anywhere, offset + 64);
  const auto low = static_cast<std::uint32_t>(second);
  const auto high = static_cast<std::uint32_t>(second >> 32);
  std::uint64_t placed = 0;
  __m512i data = Encoded(bytes + at.In, first);
  const int half = StoreHalf<0>(data, static_cast<std::uint32_t>(first), at.Out, placed);
  StoreHalf<1>(data, static_cast<std::uint32_t>(first >> 32), at.Out + half, placed);
  at.Out += firstWritten;
  // The rest of the line (at most 64 characters) from the next chunk in one expansion:
  // the halves' slots joined, the high half's after the low half's.
  data = Encoded(bytes + at.In + 64, second);
  const std::uint64_t joined = Placed(low) | ((Placed(high) << 1) << (31 + std::popcount(low)));
  _mm512_storeu_si512(at.Out, _mm512_mask_expand_epi8(_mm512_set1_epi8('='), joined, data));
  const int room = lineLength - firstWritten;
  const bool straddles = ((joined >> (room - 1)) & 1) == 0;
  const int taken = Below(joined, room) + (straddles ? 1 : 0);
  at.In += 64 + static_cast<std::size_t>(taken);
  at.Out += room;
  if (straddles) // the escape's own character, past the 64 stored when the room is 64
    *at.Out++ = static_cast<char>(bytes[at.In - 1] + 42 + 64);
  const bool endsEscaped = straddles || ((second >> (taken - 1)) & 1) != 0;
  EndLine(at, bytes, endsEscaped);
  return true;
}

// 64 bytes at a time: the characters that need escaping found by compares, and each half
// expanded around its "=" slots in one instruction. A line is made from two chunks where
// it can be, the second cut where the line ends, its escapes read from a map made ahead;
// otherwise chunk by chunk. The data's last
// byte (whose blank escapes too) goes through the one-byte step.
TAMBERLON_AVX512 std::size_t EncodeExpandAvx512(std::span<const std::uint8_t> bytes, char* out,
                                                int lineLength) {
  TCursor at{0, out, 0};
  const std::uint8_t* const data = bytes.data();
  const bool lines = lineLength > 64 && lineLength <= 128;
  TEscapeMap map;
  while (at.In + 128 < bytes.size()) {
    if (lines && at.Column == 0) {
      if (at.In + 128 > map.Base + 64 * map.Count)
        MapEscapes(bytes, at.In & ~std::size_t{63}, map);
      if (LineStep(data, lineLength, at, map))
        continue;
    }
    ChunkStep(data, lineLength, at);
  }
  while (at.In + 64 < bytes.size())
    ChunkStep(data, lineLength, at);
  for (; at.In < bytes.size(); ++at.In)
    EncodeOne(bytes[at.In], at.In + 1 == bytes.size(), lineLength, at.Out, at.Column);
  if (at.Column > 0) {
    *at.Out++ = '\r';
    *at.Out++ = '\n';
  }
  return static_cast<std::size_t>(at.Out - out);
}
#undef TAMBERLON_AVX512
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
} // namespace

bool YEncMethodRuns(TYEncMethod method) {
  if (method == TYEncMethod::Scalar)
    return true;
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
         __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2");
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
