#include "generate/ExpandUnit.h"

#include "common/IntToAbbrStrUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumFieldTable.h"
#include "generate/TokenUnit.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {
constexpr std::size_t None = std::string::npos;

std::string PrepareBody(std::string_view body) {
  while (!body.empty() && (body.front() == '\r' || body.front() == '\n'))
    body.remove_prefix(1);
  std::string prepared(TrimControlRight(body));
  prepared += "\r\n";
  return prepared;
}

// The body's copies, one string each. Every copy ends with CR LF and no token holds a
// line break, so no occurrence of a token ever spans two copies; each token keeps a
// position before which it cannot occur, so that a search never starts from the top.
class TRepeatedBody {
public:
  TRepeatedBody(const std::string& body, std::size_t count,
                std::span<const std::string_view> tokens)
      : Copies(count, body), Tokens(tokens), Hints(tokens.size()) {}

  void ReplaceFirst(std::size_t token, std::string_view value) {
    const std::string_view text = Tokens[token];
    THint& hint = Hints[token];
    for (; hint.Copy < Copies.size(); ++hint.Copy, hint.Offset = 0) {
      const std::size_t at = Copies[hint.Copy].find(text, hint.Offset);
      if (at != None) {
        hint.Offset = at;
        Replace(hint.Copy, at, text.size(), value);
        return;
      }
    }
  }

  std::string Joined() const {
    std::size_t size = 0;
    for (const std::string& copy : Copies)
      size += copy.size();
    std::string text;
    text.reserve(size);
    for (const std::string& copy : Copies)
      text += copy;
    return text;
  }

private:
  struct THint {
    std::size_t Copy = 0;
    std::size_t Offset = 0;
  };

  void Replace(std::size_t copy, std::size_t at, std::size_t length, std::string_view value) {
    std::string& text = Copies[copy];
    text.replace(at, length, value);
    for (std::size_t t = 0; t < Tokens.size(); ++t) {
      THint& hint = Hints[t];
      if (hint.Copy == copy && hint.Offset > at)
        hint.Offset = hint.Offset >= at + length ? hint.Offset - length + value.size() : at;
      // The inserted value, and its joins with the text around it, may hold new occurrences.
      const std::size_t size = Tokens[t].size();
      const std::size_t from = at >= size - 1 ? at - (size - 1) : 0;
      const std::size_t to = std::min(text.size(), at + value.size() + size - 1);
      const std::size_t found = text.find(Tokens[t], from);
      const bool before = hint.Copy > copy || (hint.Copy == copy && found < hint.Offset);
      if (found != None && found + size <= to && before)
        hint = {copy, found};
    }
  }

  std::vector<std::string> Copies;
  std::span<const std::string_view> Tokens;
  std::vector<THint> Hints;
};
} // namespace

void ReplaceAll(std::string& text, std::string_view token, std::string_view value) {
  std::size_t at = text.find(token);
  if (at == None)
    return;
  std::string result;
  std::size_t from = 0;
  for (; at != None; at = text.find(token, from)) {
    result.append(text, from, at - from).append(value);
    from = at + token.size();
  }
  result.append(text, from);
  text = std::move(result);
}

std::string AlignRight(std::string_view text) {
  if (text.find(token::Right) == None)
    return std::string(text);
  // The target: the largest column of a marker, all markers still in place.
  std::size_t target = 0;
  std::size_t column = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      column = 0;
      continue;
    }
    if (text.substr(i, token::Right.size()) == token::Right)
      target = std::max(target, column);
    column += CharacterWidthAt(text, i);
  }
  // Left to right, each marker as soon as the text in front of it is final; a marker that
  // the removal of another one joins together is handled like any other.
  std::string out;
  out.reserve(text.size() + 64);
  column = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    out += c;
    if (c == '\r' || c == '\n')
      column = 0;
    else
      column += CharacterWidthAt(text, i);
    if (out.ends_with(token::Right)) {
      out.resize(out.size() - token::Right.size());
      column -= token::Right.size();
      if (target > column) {
        out.append(target - column, ' ');
        column = target;
      }
    }
  }
  return out;
}

std::string ExpandBlock(std::string text, std::string_view startMarker, std::string_view endMarker,
                        std::span<const std::string_view> tokens, std::size_t itemCount,
                        const TBlockValue& valueOf) {
  const std::size_t start = text.find(startMarker);
  if (start == None)
    return text;
  const std::size_t end = text.find(endMarker);
  const std::size_t bodyStart = start + startMarker.size();
  if (end == None || end < bodyStart)
    return text;

  const std::string body = PrepareBody(std::string_view(text).substr(bodyStart, end - bodyStart));
  TRepeatedBody repeated(body, itemCount, tokens);
  for (std::size_t item = 0; item < itemCount; ++item)
    for (std::size_t token = 0; token < tokens.size(); ++token)
      repeated.ReplaceFirst(token, valueOf(item, token));

  text.replace(start, end + endMarker.size() - start, AlignRight(repeated.Joined()));
  return text;
}

std::string TrackFileName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == None ? path : path.substr(slash + 1));
}

std::string ItemNumber(std::size_t number) {
  char text[24];
  std::snprintf(text, sizeof text, "%2zu", number);
  return text;
}

std::string ExpandTemplate(std::string_view templateText, const TAlbumInfo& album,
                           const TGenerateContext& context) {
  std::string policy;
  for (const std::string& line : context.PostingPolicy)
    policy.append(line).append("\r\n");

  std::string text(templateText);
  for (const TAlbumField& field : AlbumFields)
    ReplaceAll(text, field.Token, field.Get(album));
  const std::array<std::pair<std::string_view, std::string>, 10> totalTokens = {{
      {token::TrackCount, std::to_string(album.TrackCount())},
      {token::PlayingTime, album.PlayingTime},
      {token::TotalSize, album.TotalSize},
      {token::TotalBytes, FormatThousands(album.TotalBytes, context.ThousandSeparator)},
      {token::NfoName, context.ProductName},
      {token::NfoVersion, context.VersionText},
      {token::NfoDate, context.DateText},
      {token::NfoTime, context.TimeText},
      {token::NfoUrl, context.ProductURL},
      {token::PostingPolicy, policy},
  }};
  for (const auto& [name, value] : totalTokens)
    ReplaceAll(text, name, value);

  const std::size_t longest = static_cast<std::size_t>(album.LongestDurationLength());
  const TTrackInfo untagged;
  text =
      ExpandBlock(std::move(text), token::ForEachTrack, token::EndTrack, token::TrackTokens,
                  album.Tracks.size(), [&](std::size_t item, std::size_t token) {
                    const TTrackEntry& entry = album.Tracks[item];
                    const TTrackInfo& track = entry.Info ? *entry.Info : untagged;
                    switch (token) {
                    case 0:
                      return ItemNumber(item + 1);
                    case 1:
                      return track.HasTag ? track.Title : TrackFileName(entry.Path);
                    case 2:
                      return track.HasTag ? track.Artist : std::string();
                    case 3:
                      return TrackFileName(entry.Path);
                    case 4:
                      return IntToAbbrStr(track.FileSize, context.DecimalSeparator);
                    case 5:
                      return FormatThousands(track.FileSize, context.ThousandSeparator);
                    case 6: {
                      const std::size_t length = DisplayWidth(track.DurationText);
                      const std::size_t pad = longest > length ? longest - length : 0;
                      return std::string(std::min<std::size_t>(pad, 255), ' ') + track.DurationText;
                    }
                    default:
                      return track.Checksum;
                    }
                  });

  static const std::vector<std::string> NoGroups;
  const std::vector<std::string>& groups = album.NewsGroups ? *album.NewsGroups : NoGroups;
  return ExpandBlock(std::move(text), token::ForEachNewsgroup, token::EndNewsgroup,
                     token::GroupTokens, groups.size(), [&](std::size_t item, std::size_t token) {
                       return token == 0 ? ItemNumber(item + 1) : groups[item];
                     });
}
