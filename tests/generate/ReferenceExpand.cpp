#include "generate/ReferenceExpand.h"

#include "common/TextUnit.h"

namespace {
constexpr std::string_view Marker = "@RIGHT";

std::size_t ColumnOf(const std::string& text, std::size_t position) {
  const std::size_t lineStart = text.find_last_of("\r\n", position == 0 ? 0 : position - 1);
  const std::size_t from = (lineStart == std::string::npos || position == 0) ? 0 : lineStart + 1;
  return DisplayWidth(std::string_view(text).substr(from, position - from));
}
} // namespace

std::string ReferenceAlignRight(std::string text) {
  std::size_t target = 0;
  for (std::size_t at = text.find(Marker); at != std::string::npos; at = text.find(Marker, at + 1))
    target = std::max(target, ColumnOf(text, at));
  for (std::size_t at = text.find(Marker); at != std::string::npos; at = text.find(Marker)) {
    text.erase(at, Marker.size());
    const std::size_t column = ColumnOf(text, at);
    if (target > column)
      text.insert(at, target - column, ' ');
  }
  return text;
}

std::string ReferenceExpandBlock(std::string text, std::string_view startMarker,
                                 std::string_view endMarker,
                                 std::span<const std::string_view> tokens, std::size_t itemCount,
                                 const TBlockValue& valueOf) {
  const std::size_t s = text.find(startMarker);
  if (s == std::string::npos)
    return text;
  const std::size_t e = text.find(endMarker);
  if (e == std::string::npos || e <= s || e < s + startMarker.size())
    return text;
  std::string body = text.substr(s + startMarker.size(), e - s - startMarker.size());
  while (!body.empty() && (body[0] == '\r' || body[0] == '\n'))
    body.erase(0, 1);
  while (!body.empty() && static_cast<unsigned char>(body.back()) <= 32)
    body.pop_back();
  body += "\r\n";
  std::string repeated;
  for (std::size_t i = 0; i < itemCount; ++i)
    repeated += body;
  for (std::size_t item = 0; item < itemCount; ++item)
    for (std::size_t token = 0; token < tokens.size(); ++token) {
      const std::size_t at = repeated.find(tokens[token]);
      if (at != std::string::npos)
        repeated.replace(at, tokens[token].size(), valueOf(item, token));
    }
  text.replace(s, e + endMarker.size() - s, ReferenceAlignRight(repeated));
  return text;
}
