// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/EncodingUnit.h"

#include "common/IconvUnit.h"
#include "common/TextUnit.h"

#include <array>

namespace {
struct TEncodingNames {
  TNfoEncoding Encoding;
  std::string_view Name;
  std::string_view Caption;
  const char* Iconv;
};
constexpr std::array<TEncodingNames, 3> Names = {{
    {TNfoEncoding::Utf8, "utf-8", "UTF-8", "UTF-8"},
    {TNfoEncoding::Cp437, "cp437", "DOS (CP437)", "CP437"},
    {TNfoEncoding::Windows1252, "windows-1252", "Windows-1252", "WINDOWS-1252"},
}};

const TEncodingNames& NamesOf(TNfoEncoding encoding) {
  for (const TEncodingNames& names : Names)
    if (names.Encoding == encoding)
      return names;
  return Names.front();
}

// One conversion with iconv; a character the target lacks becomes "?" and is noted.
TEncodedText Convert(std::string_view text, const char* from, const char* to) {
  TEncodedText result;
  // iconv stops at bytes that are no UTF-8; bytes of a code page are all characters.
  const std::string input =
      std::string_view(from) == "UTF-8" ? SanitizeUtf8(text) : std::string(text);
  const auto bytes = ConvertWithIconv(input, from, to, [&result](std::string_view rest) {
    std::size_t length = 1;
    while (length < rest.size() && (static_cast<unsigned char>(rest[length]) & 0xC0) == 0x80)
      ++length;
    const std::string_view character = rest.substr(0, length);
    if (result.Unmappable.find(character) == std::string::npos)
      result.Unmappable += character;
    return std::optional(std::pair(length, std::string("?")));
  });
  result.Bytes = bytes.value_or(std::string(text));
  return result;
}
} // namespace

std::string_view EncodingName(TNfoEncoding encoding) {
  return NamesOf(encoding).Name;
}

std::string_view EncodingCaption(TNfoEncoding encoding) {
  return NamesOf(encoding).Caption;
}

std::optional<TNfoEncoding> EncodingNamed(std::string_view name) {
  // A name is a word: "CP437" and "UTF-8" are as good as the lower-case forms.
  const std::string folded = FoldCase(name);
  for (const TEncodingNames& names : Names)
    if (names.Name == folded)
      return names.Encoding;
  return std::nullopt;
}

TEncodedText EncodeText(std::string_view utf8, TNfoEncoding encoding) {
  if (encoding == TNfoEncoding::Utf8)
    return {std::string(utf8), {}}; // the tags' own bytes, as they were written
  // A decomposed "é" (e and a combining accent) is the code page's one character "é".
  return Convert(ComposedForm(utf8), "UTF-8", NamesOf(encoding).Iconv);
}

std::string AsItWillRead(std::string_view utf8, TNfoEncoding encoding) {
  if (encoding == TNfoEncoding::Utf8)
    return std::string(utf8);
  return Convert(EncodeText(utf8, encoding).Bytes, NamesOf(encoding).Iconv, "UTF-8").Bytes;
}
