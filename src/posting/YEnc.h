// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// yEnc 1.3: the binary encoding of Usenet articles. Each byte goes out as itself plus 42;
// the few that would break an article (NUL, LF, CR, "=") and those a server or reader may
// mangle (TAB and space at a line's ends, "." starting a line) are escaped as "=" and the
// value plus 64.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

inline constexpr int YEncLineLength = 128;

// The room Encode needs for count bytes: each escaped, CR LF per line, and the slack of
// a vector store past the last character.
constexpr std::size_t YEncBound(std::size_t count, int lineLength = YEncLineLength) {
  return 2 * count + 2 * (2 * count / static_cast<std::size_t>(lineLength) + 1) + 128;
}

// How the data lines are made: one byte at a time, or 64 at a time with AVX-512 VBMI and
// VBMI2 (a byte permute finding the escapes, byte expansion placing them) where the
// processor has them.
enum class TYEncMethod { Scalar, ExpandAvx512 };
bool YEncMethodRuns(TYEncMethod method);
TYEncMethod FastestYEncMethod();

// Writes the bytes' data lines, each ended by CR LF; returns the characters written.
// out must hold YEncBound(bytes.size()). Every method writes the same characters.
std::size_t YEncEncode(std::span<const std::uint8_t> bytes, char* out,
                       int lineLength = YEncLineLength);
std::size_t YEncEncodeWith(TYEncMethod method, std::span<const std::uint8_t> bytes, char* out,
                           int lineLength = YEncLineLength);

// One part of a multipart yEnc file.
struct TYEncPart {
  std::string Name; // the name in =ybegin
  std::uint64_t FileSize = 0;
  int Part = 0, Total = 0;
  std::uint64_t Begin = 0, End = 0; // 1-based, inclusive, as =ypart writes them
};

// The article body of a part: =ybegin, =ypart, the data lines and =yend with the part's
// CRC-32 (and the file's, when known: the last part carries it).
std::string YEncArticleBody(const TYEncPart& part, std::span<const std::uint8_t> bytes,
                            std::optional<std::uint32_t> fileCrc);

// A part read back from an article body (dot-unstuffed, CR LF or LF lines).
struct TYEncDecoded {
  std::string Bytes;
  std::uint64_t Begin = 0, End = 0;
  std::optional<std::uint32_t> DeclaredPartCrc; // pcrc32= of =yend
  std::uint32_t Crc = 0;                        // of the bytes decoded
  bool Complete = false;                        // =yend seen, and its size matched
};
// Decodes at most maxBytes of data; nothing when there is no =ybegin line. A body cut
// short, or one whose =yend disagrees with its data, decodes with Complete false.
std::optional<TYEncDecoded> YEncDecode(std::string_view body, std::size_t maxBytes);
