// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/EncodingUnit.h"

#include "common/TextUnit.h"

#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>

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
  const iconv_t handle = ::iconv_open(to, from);
  if (handle == reinterpret_cast<iconv_t>(-1))
    return {std::string(text), {}};
  const std::unique_ptr<void, int (*)(iconv_t)> closer(handle, &::iconv_close);
  // iconv stops at bytes that are no UTF-8; bytes of a code page are all characters.
  std::string input = std::string_view(from) == "UTF-8" ? SanitizeUtf8(text) : std::string(text);
  char* in = input.data();
  std::size_t inLeft = input.size();
  std::array<char, 4096> buffer{};
  while (inLeft > 0) {
    char* out = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t done = ::iconv(handle, &in, &inLeft, &out, &outLeft);
    result.Bytes.append(buffer.data(), buffer.size() - outLeft);
    if (done != static_cast<std::size_t>(-1) || errno == E2BIG)
      continue;
    // EILSEQ or EINVAL: the character at `in` has no place in the target.
    std::size_t length = 1;
    while (length < inLeft && (static_cast<unsigned char>(in[length]) & 0xC0) == 0x80)
      ++length;
    const std::string character(in, length);
    if (result.Unmappable.find(character) == std::string::npos)
      result.Unmappable += character;
    result.Bytes += '?';
    in += length;
    inLeft -= length;
  }
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
