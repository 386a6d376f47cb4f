// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/ReferenceExpand.h"

#include "common/TextUnit.h"

namespace {
constexpr std::string_view Marker = "@RIGHT";

std::size_t ColumnOf(const std::string& text, std::size_t position) {
  const std::size_t lineStart = text.find_last_of("\r\n", position == 0 ? 0 : position - 1);
  const std::size_t from = (lineStart == std::string::npos || position == 0) ? 0 : lineStart + 1;
  return DisplayWidth(std::string_view(text).substr(from, position - from));
}

TMarkedText Part(const TMarkedText& text, std::size_t from, std::size_t count) {
  TMarkedText part;
  part.Append(text, from, count);
  return part;
}

TMarkedText ReferenceAlign(TMarkedText text) {
  std::size_t target = 0;
  for (std::size_t at = text.Find(Marker); at != std::string::npos; at = text.Find(Marker, at + 1))
    target = std::max(target, ColumnOf(text.Text(), at));
  for (std::size_t at = text.Find(Marker); at != std::string::npos; at = text.Find(Marker)) {
    text.Erase(at, Marker.size());
    const std::size_t column = ColumnOf(text.Text(), at);
    if (target > column) {
      TMarkedText padded = Part(text, 0, at);
      padded.AppendTemplate(std::string(target - column, ' '));
      padded.Append(text, at, text.Size() - at);
      text = std::move(padded);
    }
  }
  return text;
}
} // namespace

std::string ReferenceAlignRight(std::string text) {
  return ReferenceAlign(TMarkedText(text)).Text();
}

std::string ReferenceExpandBlock(std::string templateText, std::string_view startMarker,
                                 std::string_view endMarker,
                                 std::span<const std::string_view> tokens, std::size_t itemCount,
                                 const TBlockValue& valueOf) {
  const TMarkedText text(templateText);
  const std::size_t s = text.Find(startMarker);
  if (s == std::string::npos)
    return templateText;
  const std::size_t e = text.Find(endMarker);
  if (e == std::string::npos || e <= s || e < s + startMarker.size())
    return templateText;
  TMarkedText body = Part(text, s + startMarker.size(), e - s - startMarker.size());
  while (!body.Empty() && (body.At(0) == '\r' || body.At(0) == '\n'))
    body.Erase(0, 1);
  while (!body.Empty() && static_cast<unsigned char>(body.Back()) <= 32)
    body.PopBack();
  body.AppendTemplate("\r\n");
  TMarkedText repeated;
  for (std::size_t i = 0; i < itemCount; ++i)
    repeated.Append(body, 0, body.Size());
  for (std::size_t item = 0; item < itemCount; ++item)
    for (std::size_t token = 0; token < tokens.size(); ++token) {
      const std::size_t at = repeated.Find(tokens[token]);
      if (at != std::string::npos)
        repeated.Replace(at, tokens[token].size(), valueOf(item, token));
    }
  TMarkedText result = Part(text, 0, s);
  const TMarkedText aligned = ReferenceAlign(repeated);
  result.Append(aligned, 0, aligned.Size());
  result.Append(text, e + endMarker.size(), text.Size() - e - endMarker.size());
  return result.Text();
}
