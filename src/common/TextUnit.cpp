// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TextUnit.h"

#include <array>
#include <cstdlib>
#include <utf8proc.h>
#include <vector>

namespace {
constexpr char32_t Replacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; the five unassigned ones map to themselves, as the
// system's own conversion does.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsControlOrSpace(char c) {
  return static_cast<unsigned char>(c) <= 32;
}
} // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    cp = Replacement;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    AppendUtf8(out, b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : char32_t{b});
  }
  return out;
}

std::string Utf16ToUtf8(std::span<const char16_t> units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out, u); // a lone surrogate becomes U+FFFD there
    }
  }
  return out;
}

std::string SanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, cp = lead & 0x07, minimum = 0x10000;
    }
    std::size_t taken = 1;
    while (length > 0 && taken < length && i + taken < bytes.size() &&
           (static_cast<unsigned char>(bytes[i + taken]) & 0xC0) == 0x80) {
      cp = (cp << 6) | (static_cast<unsigned char>(bytes[i + taken]) & 0x3F);
      ++taken;
    }
    const bool valid = length > 0 && taken == length && cp >= minimum && cp <= 0x10FFFF &&
                       !(cp >= 0xD800 && cp <= 0xDFFF);
    if (valid)
      out.append(bytes.substr(i, length));
    else
      AppendUtf8(out, Replacement);
    i += taken;
  }
  return out;
}

std::size_t CharacterWidthAt(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80)
    return 1;
  if ((lead & 0xC0) == 0x80)
    return 0;
  utf8proc_int32_t code = 0;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at);
  if (utf8proc_iterate(bytes, static_cast<utf8proc_ssize_t>(text.size() - at), &code) <= 0)
    return 1;
  switch (utf8proc_category(code)) {
  case UTF8PROC_CATEGORY_MN:
  case UTF8PROC_CATEGORY_ME:
  case UTF8PROC_CATEGORY_CF:
    return 0;
  default:
    return utf8proc_charwidth(code) == 2 ? 2 : 1;
  }
}

std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t at = 0; at < text.size(); ++at)
    width += CharacterWidthAt(text, at);
  return width;
}

std::size_t OneColumnAt(std::string_view text, std::size_t at) {
  return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80 ? 0 : 1;
}

std::string ComposedForm(std::string_view text) {
  const std::string valid = SanitizeUtf8(text);
  utf8proc_uint8_t* composed = nullptr;
  const utf8proc_ssize_t length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(valid.data()),
                   static_cast<utf8proc_ssize_t>(valid.size()), &composed,
                   static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  if (length < 0)
    return valid;
  std::string result(reinterpret_cast<const char*>(composed), static_cast<std::size_t>(length));
  std::free(composed);
  return result;
}

std::string CountOf(std::size_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string_view TrimControlRight(std::string_view text) {
  while (!text.empty() && IsControlOrSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

std::string_view TrimControl(std::string_view text) {
  text = TrimControlRight(text);
  while (!text.empty() && IsControlOrSpace(text.front()))
    text.remove_prefix(1);
  return text;
}

namespace {
char32_t LowerOf(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
    return c + 0x20;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
    return c + 0x20;
  if (c >= 0x410 && c <= 0x42F)
    return c + 0x20;
  if (c >= 0x400 && c <= 0x40F)
    return c + 0x50;
  if (c == 0x178)
    return 0xFF;
  const bool evenUpper = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if ((evenUpper && c % 2 == 0) || (oddUpper && c % 2 == 1))
    return c + 1;
  return c;
}

char32_t UpperOf(char32_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
    return c - 0x20;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
    return c - 0x20;
  if (c >= 0x430 && c <= 0x44F)
    return c - 0x20;
  if (c >= 0x450 && c <= 0x45F)
    return c - 0x50;
  if (c == 0xFF)
    return 0x178;
  const bool evenUpper = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if ((evenUpper && c % 2 == 1) || (oddUpper && c % 2 == 0))
    return c - 1;
  return c;
}

template <typename Map> std::string MapCodePoints(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char>(map(lead));
      ++i;
      continue;
    }
    // Two-byte sequences hold every letter mapped here; longer ones pass unchanged.
    if (lead >= 0xC2 && lead <= 0xDF && i + 1 < text.size() &&
        (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      const char32_t cp = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
      AppendUtf8(out, map(cp));
      i += 2;
      continue;
    }
    out += text[i++];
  }
  return out;
}
} // namespace

std::string FoldCase(std::string_view text) {
  return MapCodePoints(text, LowerOf);
}

std::string ToUpperCase(std::string_view text) {
  return MapCodePoints(text, UpperOf);
}

std::string CheckTotalsText(std::size_t ok, std::size_t bad) {
  return std::to_string(ok) + " OK, " + std::to_string(bad) + " bad";
}

namespace {
// The valid UTF-8 sequence at text[at]: its length (0 where none starts) and code point.
struct TSequence {
  std::size_t Length = 0;
  std::int32_t CodePoint = -1;
};

TSequence SequenceAt(std::string_view text, std::size_t at) {
  utf8proc_int32_t codePoint = 0;
  const utf8proc_ssize_t length =
      utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
                       static_cast<utf8proc_ssize_t>(text.size() - at), &codePoint);
  if (length <= 0 || codePoint < 0)
    return {};
  return {static_cast<std::size_t>(length), codePoint};
}

void AppendEscapedByte(std::string& out, unsigned char byte) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  out += "\\x";
  out += Hex[byte >> 4];
  out += Hex[byte & 15];
}

// Control characters (C0, DEL, C1) and bytes that start no valid UTF-8 sequence as "\xHH",
// and so are the marks that turn text's direction (a name "a\u202Etxt.exe" shows as
// "aexe.txt"); with the backslash doubled too where the result must not pass for another
// name.
std::string Escaped(std::string_view text, bool backslash) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') { // printable ASCII, most names whole
      out += text[at++];
      continue;
    }
    const TSequence sequence = SequenceAt(text, at);
    if (byte == '\\' && backslash) {
      out += "\\\\";
    } else if (sequence.Length == 0 || IsControlCharacter(text[at])) {
      AppendEscapedByte(out, byte);
    } else if (IsHiddenControl(static_cast<char32_t>(sequence.CodePoint))) {
      for (std::size_t i = 0; i < sequence.Length; ++i)
        AppendEscapedByte(out, static_cast<unsigned char>(text[at + i]));
      at += sequence.Length;
      continue;
    } else {
      out.append(text.substr(at, sequence.Length));
      at += sequence.Length;
      continue;
    }
    ++at;
  }
  return out;
}
} // namespace

std::string PrintableName(std::string_view name) {
  return Escaped(name, true);
}

std::string PrintableText(std::string_view text) {
  return Escaped(text, false);
}

std::string ReplaceHiddenControls(std::string_view text, std::string (*with)(char32_t c)) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const TSequence sequence = SequenceAt(text, at);
    const std::size_t length = std::max<std::size_t>(1, sequence.Length);
    if (sequence.Length > 0 && IsHiddenControl(static_cast<char32_t>(sequence.CodePoint)))
      out += with(static_cast<char32_t>(sequence.CodePoint));
    else
      out.append(text.substr(at, length));
    at += length;
  }
  return out;
}

std::string OnOneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\0')
      c = ' ';
  return text;
}

std::string WithoutHiddenControls(std::string_view text) {
  return ReplaceHiddenControls(text, [](char32_t) { return std::string(); });
}

std::string PrintableDocument(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    const bool lineEnd =
        byte == '\n' || (byte == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n');
    // UTF-8's C1 controls and direction marks; a code page's bytes that happen to spell one
    // are shown escaped too, which a terminal reading UTF-8 could not have shown anyway.
    const TSequence sequence = byte >= 0xC2 ? SequenceAt(bytes, at) : TSequence{};
    if (sequence.Length > 1 && IsHiddenControl(static_cast<char32_t>(sequence.CodePoint))) {
      for (std::size_t i = 0; i < sequence.Length; ++i)
        AppendEscapedByte(out, static_cast<unsigned char>(bytes[at + i]));
      at += sequence.Length - 1;
    } else if (IsControlCharacter(bytes[at]) && byte != '\t' && !lineEnd) {
      AppendEscapedByte(out, byte);
    } else {
      out += bytes[at];
    }
  }
  return out;
}

namespace {
std::string EachLine(std::string_view lines, std::string (*printable)(std::string_view)) {
  std::string out;
  for (std::size_t start = 0;;) {
    const std::size_t end = lines.find('\n', start);
    out += printable(lines.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos)
      return out;
    out += '\n';
    start = end + 1;
  }
}
} // namespace

std::string PrintableNames(std::string_view lines) {
  return EachLine(lines, PrintableName);
}

std::string PrintableTextLines(std::string_view lines) {
  return EachLine(lines, PrintableText);
}

std::string TextFileToUtf8(std::string_view bytes) {
  const bool little = bytes.starts_with("\xFF\xFE"), big = bytes.starts_with("\xFE\xFF");
  if (little || big) {
    std::vector<char16_t> units;
    units.reserve(bytes.size() / 2);
    for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
      const auto first = static_cast<unsigned char>(bytes[at]);
      const auto second = static_cast<unsigned char>(bytes[at + 1]);
      units.push_back(static_cast<char16_t>(big ? first << 8 | second : second << 8 | first));
    }
    return Utf16ToUtf8(units);
  }
  if (bytes.starts_with("\xEF\xBB\xBF"))
    bytes.remove_prefix(3);
  std::string valid = SanitizeUtf8(bytes);
  return valid == bytes ? valid : Cp1252ToUtf8(bytes);
}
