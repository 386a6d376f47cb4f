// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/ExpandUnit.h"

#include "common/FileUnit.h"
#include "common/IntToAbbrStrUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumDiscs.h"
#include "generate/AlbumFieldTable.h"
#include "generate/AnalysisTexts.h"
#include "generate/TokenUnit.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {
constexpr std::size_t None = std::string::npos;
constexpr char TemplateMark = '\0';
constexpr char ValueMark = '\1';

// Without a web page address a line that points to it says nothing: it goes, with its
// line break.
std::string WithoutLinesHolding(std::string text, std::string_view token) {
  for (std::size_t at = text.find(token); at != None; at = text.find(token, at)) {
    const std::size_t before = text.find_last_of("\r\n", at);
    const std::size_t start = before == None ? 0 : before + 1;
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == None)
      end = text.size();
    else
      end += text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    text.erase(start, end - start);
    at = start;
  }
  return text;
}

std::size_t PastLineBreak(const TMarkedText& text, std::size_t at) {
  if (at < text.Size() && text.At(at) == '\r')
    ++at;
  if (at < text.Size() && text.At(at) == '\n')
    ++at;
  return at;
}

TMarkedText PrepareBody(const TMarkedText& text, std::size_t from, std::size_t to) {
  while (from < to && (text.At(from) == '\r' || text.At(from) == '\n'))
    ++from;
  while (to > from && static_cast<unsigned char>(text.At(to - 1)) <= 32)
    --to;
  TMarkedText body;
  body.Reserve(to - from + 2);
  body.Append(text, from, to - from);
  body.AppendTemplate("\r\n");
  return body;
}

// The body's copies, one marked text each. Every copy ends with CR LF and no token holds a
// line break, so no occurrence of a token ever spans two copies; each token keeps a
// position before which it cannot occur, so that a search never starts from the top.
class TRepeatedBody {
public:
  TRepeatedBody(const TMarkedText& body, std::size_t count,
                std::span<const std::string_view> tokens)
      : Copies(count, body), Tokens(tokens), Hints(tokens.size()) {}

  void ReplaceFirst(std::size_t token, std::string_view value) {
    const std::string_view text = Tokens[token];
    THint& hint = Hints[token];
    for (; hint.Copy < Copies.size(); ++hint.Copy, hint.Offset = 0) {
      const std::size_t at = Copies[hint.Copy].Find(text, hint.Offset);
      if (at != None) {
        hint.Offset = at;
        Replace(hint.Copy, at, text.size(), value);
        return;
      }
    }
  }

  TMarkedText Joined() const {
    std::size_t size = 0;
    for (const TMarkedText& copy : Copies)
      size += copy.Size();
    TMarkedText text;
    text.Reserve(size);
    for (const TMarkedText& copy : Copies)
      text.Append(copy, 0, copy.Size());
    return text;
  }

private:
  struct THint {
    std::size_t Copy = 0;
    std::size_t Offset = 0;
  };

  void Replace(std::size_t copy, std::size_t at, std::size_t length, std::string_view value) {
    TMarkedText& text = Copies[copy];
    text.Replace(at, length, value);
    for (std::size_t t = 0; t < Tokens.size(); ++t) {
      THint& hint = Hints[t];
      if (hint.Copy == copy && hint.Offset > at)
        hint.Offset = hint.Offset >= at + length ? hint.Offset - length + value.size() : at;
      // A value is never searched, but the template text on both sides of an empty one
      // now stands together and may form a token.
      const std::size_t size = Tokens[t].size();
      const std::size_t from = at >= size - 1 ? at - (size - 1) : 0;
      const std::size_t to = std::min(text.Size(), at + value.size() + size - 1);
      const std::size_t found = text.Find(Tokens[t], from, to);
      const bool before = hint.Copy > copy || (hint.Copy == copy && found < hint.Offset);
      if (found != None && before)
        hint = {copy, found};
    }
  }

  std::vector<TMarkedText> Copies;
  std::span<const std::string_view> Tokens;
  std::vector<THint> Hints;
};
} // namespace

void TMarkedText::AppendTemplate(std::string_view text) {
  Bytes.append(text);
  Marks.append(text.size(), TemplateMark);
}

void TMarkedText::AppendValue(std::string_view value) {
  Bytes.append(value);
  Marks.append(value.size(), ValueMark);
}

void TMarkedText::Append(const TMarkedText& other, std::size_t from, std::size_t count) {
  Bytes.append(other.Bytes, from, count);
  Marks.append(other.Marks, from, count);
}

void TMarkedText::Replace(std::size_t at, std::size_t length, std::string_view value) {
  Bytes.replace(at, length, value);
  Marks.replace(at, length, value.size(), ValueMark);
}

void TMarkedText::Erase(std::size_t at, std::size_t length) {
  Bytes.erase(at, length);
  Marks.erase(at, length);
}

void TMarkedText::Reserve(std::size_t size) {
  Bytes.reserve(size);
  Marks.reserve(size);
}

void TMarkedText::PopBack() {
  Bytes.pop_back();
  Marks.pop_back();
}

bool TMarkedText::IsTemplate(std::size_t at, std::size_t length) const {
  const std::string_view marks = std::string_view(Marks).substr(at, length);
  return marks.find(ValueMark) == std::string_view::npos;
}

std::size_t TMarkedText::Find(std::string_view what, std::size_t from, std::size_t to) const {
  const std::string_view bytes = std::string_view(Bytes).substr(0, std::min(to, Bytes.size()));
  for (std::size_t at = bytes.find(what, from); at != None; at = bytes.find(what, at + 1))
    if (IsTemplate(at, what.size()))
      return at;
  return None;
}

void ReplaceAll(TMarkedText& text, std::string_view token, std::string_view value) {
  std::size_t at = text.Find(token);
  if (at == None)
    return;
  TMarkedText result;
  result.Reserve(text.Size());
  std::size_t from = 0;
  for (; at != None; at = text.Find(token, from)) {
    result.Append(text, from, at - from);
    result.AppendValue(value);
    from = at + token.size();
  }
  result.Append(text, from, text.Size() - from);
  text = std::move(result);
}

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

TMarkedText KeepSectionsWithValues(const TMarkedText& text, std::string_view blockStart,
                                   std::string_view blockEnd) {
  std::size_t start = text.Find(token::IfValue);
  if (start == None)
    return text;
  // A section inside the block is its items' to keep, once their values are in.
  std::size_t skipFrom = None, skipTo = None;
  if (!blockStart.empty() && (skipFrom = text.Find(blockStart)) != None)
    skipTo = text.Find(blockEnd, skipFrom);
  TMarkedText result;
  result.Reserve(text.Size());
  std::size_t from = 0;
  for (; start != None; start = text.Find(token::IfValue, from)) {
    if (skipTo != None && start > skipFrom && start < skipTo) {
      result.Append(text, from, skipTo - from);
      from = skipTo;
      continue;
    }
    const std::size_t body = PastLineBreak(text, start + token::IfValue.size());
    const std::size_t end = text.Find(token::EndIf, body);
    if (end == None)
      break;
    result.Append(text, from, start - from);
    // Album values are the only bytes not the template's at this point.
    if (!text.IsTemplate(body, end - body))
      result.Append(text, body, end - body);
    from = PastLineBreak(text, end + token::EndIf.size());
  }
  result.Append(text, from, text.Size() - from);
  return result;
}

TMarkedText AlignRight(const TMarkedText& text, TWidthAt widthAt) {
  const std::string& bytes = text.Text();
  if (text.Find(token::Right) == None)
    return text;
  // The target: the largest column of a marker, all markers still in place.
  std::size_t target = 0;
  std::size_t column = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      column = 0;
      continue;
    }
    if (bytes.compare(i, token::Right.size(), token::Right) == 0 &&
        text.IsTemplate(i, token::Right.size()))
      target = std::max(target, column);
    column += widthAt(bytes, i);
  }
  // Left to right, each marker as soon as the text in front of it is final; a marker that
  // the removal of another one joins together is handled like any other.
  TMarkedText out;
  out.Reserve(bytes.size() + 64);
  column = 0;
  const std::size_t marker = token::Right.size();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    out.Append(text, i, 1);
    if (c == '\r' || c == '\n')
      column = 0;
    else
      column += widthAt(bytes, i);
    if (out.Size() >= marker && out.Text().ends_with(token::Right) &&
        out.IsTemplate(out.Size() - marker, marker)) {
      for (std::size_t k = 0; k < marker; ++k)
        out.PopBack();
      column -= marker;
      if (target > column) {
        out.AppendTemplate(std::string(target - column, ' '));
        column = target;
      }
    }
  }
  return out;
}

std::string AlignRight(std::string_view templateText) {
  return AlignRight(TMarkedText(templateText), CharacterWidthAt).Text();
}

TMarkedText ExpandBlock(TMarkedText text, std::string_view startMarker, std::string_view endMarker,
                        std::span<const std::string_view> tokens, std::size_t itemCount,
                        const TBlockValue& valueOf, TWidthAt widthAt) {
  const std::size_t start = text.Find(startMarker);
  if (start == None)
    return text;
  const std::size_t end = text.Find(endMarker);
  const std::size_t bodyStart = start + startMarker.size();
  if (end == None || end < bodyStart)
    return text;

  TRepeatedBody repeated(PrepareBody(text, bodyStart, end), itemCount, tokens);
  for (std::size_t item = 0; item < itemCount; ++item)
    for (std::size_t token = 0; token < tokens.size(); ++token)
      repeated.ReplaceFirst(token, valueOf(item, token));

  const TMarkedText aligned = AlignRight(repeated.Joined(), widthAt);
  TMarkedText result;
  result.Reserve(text.Size() + aligned.Size());
  result.Append(text, 0, start);
  result.Append(aligned, 0, aligned.Size());
  const std::size_t after = end + endMarker.size();
  result.Append(text, after, text.Size() - after);
  return result;
}

std::string ExpandBlock(std::string_view templateText, std::string_view startMarker,
                        std::string_view endMarker, std::span<const std::string_view> tokens,
                        std::size_t itemCount, const TBlockValue& valueOf) {
  return ExpandBlock(TMarkedText(templateText), startMarker, endMarker, tokens, itemCount, valueOf,
                     CharacterWidthAt)
      .Text();
}

std::string TrackFileName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == None ? path : path.substr(slash + 1));
}

// Numbers are right-aligned to the widest one in the list (two columns at least), so that a
// listing of a hundred tracks keeps its titles in one column.
std::string ItemNumber(std::size_t number, std::size_t count) {
  int width = 2;
  for (std::size_t rest = count; rest >= 100; rest /= 10)
    ++width;
  char text[24];
  std::snprintf(text, sizeof text, "%*zu", width, number);
  return text;
}

namespace {
// What one expansion shares: the context's ways of writing a text and counting its columns.
class TExpansion {
public:
  TExpansion(const TAlbumInfo& album, const TGenerateContext& context)
      : Album(album), Context(context), WidthAt(context.CodePage ? OneColumnAt : CharacterWidthAt) {
  }

  // For a code page every text is taken in its composed form, so that its columns are
  // counted as the code page will have them.
  std::string AsWritten(std::string text) const {
    return Context.CodePage ? ComposedForm(text) : text;
  }
  std::size_t Columns(std::string_view text) const {
    std::size_t width = 0;
    for (std::size_t at = 0; at < text.size(); ++at)
      width += WidthAt(text, at);
    return width;
  }
  // A file as the document names it: from the document's folder when it has one.
  std::string ListedName(const std::string& path) const {
    return AsWritten(
        Context.DocumentPath.empty()
            ? TrackFileName(path)
            : NameInFolderOf(Context.DocumentPath, path).value_or(TrackFileName(path)));
  }

  TMarkedText Fields(std::string_view templateText) const;
  TMarkedText Tracks(TMarkedText text) const;
  TMarkedText Extras(TMarkedText text) const;
  TMarkedText NewsGroups(TMarkedText text) const;

private:
  std::string TrackValue(std::size_t item, std::size_t token, std::size_t longest) const;

  const TAlbumInfo& Album;
  const TGenerateContext& Context;
  const TWidthAt WidthAt;
};

TMarkedText TExpansion::Fields(std::string_view templateText) const {
  std::string policy;
  for (const std::string& line : Context.PostingPolicy)
    policy.append(line).append("\r\n");
  TMarkedText text(AsWritten(Context.ProductURL.empty()
                                 ? WithoutLinesHolding(std::string(templateText), token::NfoUrl)
                                 : std::string(templateText)));
  // A field is got only when the template shows it: some read files ($COVER, the logs).
  for (const TAlbumField& field : AlbumFields)
    if (!field.Token.empty() && text.Find(field.Token) != None)
      ReplaceAll(text, field.Token, AsWritten(field.Get(Album)));
  const std::array<std::pair<std::string_view, std::string>, 10> totalTokens = {{
      {token::TrackCount, std::to_string(Album.TrackCount())},
      {token::PlayingTime, Album.PlayingTime},
      {token::TotalSize, Album.TotalSize},
      {token::TotalBytes, FormatThousands(Album.TotalBytes, Context.ThousandSeparator)},
      {token::NfoName, Context.ProductName},
      {token::NfoVersion, Context.VersionText},
      {token::NfoDate, Context.DateText},
      {token::NfoTime, Context.TimeText},
      {token::NfoUrl, Context.ProductURL},
      {token::PostingPolicy, policy},
  }};
  for (const auto& [name, value] : totalTokens)
    ReplaceAll(text, name, AsWritten(value));
  return KeepSectionsWithValues(text, token::ForEachTrack, token::EndTrack);
}

// A track's value for the block's token, in token::TrackTokens' order; its length padded to
// the longest, so that the lengths line up on the right.
std::string TExpansion::TrackValue(std::size_t item, std::size_t token, std::size_t longest) const {
  static const TTrackInfo untagged;
  const TTrackEntry& entry = Album.Tracks[item];
  const TTrackInfo& track = entry.Info ? *entry.Info : untagged;
  switch (token) {
  case 0:
    return ItemNumber(item + 1, Album.Tracks.size());
  case 1:
    return AsWritten(track.HasTag ? track.Title : TrackFileName(entry.Path));
  case 2:
    return AsWritten(track.HasTag ? track.Artist : std::string());
  case 3:
    return ListedName(entry.Path);
  case 4:
    return IntToAbbrStr(track.FileSize, Context.DecimalSeparator);
  case 5:
    return FormatThousands(track.FileSize, Context.ThousandSeparator);
  case 6: {
    const std::size_t length = Columns(track.DurationText);
    const std::size_t pad = longest > length ? longest - length : 0;
    return std::string(std::min<std::size_t>(pad, 255), ' ') + AsWritten(track.DurationText);
  }
  case 7:
    return track.Checksum;
  case 8:
    return std::to_string(TrackDiscNumber(entry));
  case 9:
    return TrackDrText(TrackAnalysisOf(Album, entry.Path));
  case 10:
    return TrackGainText(TrackAnalysisOf(Album, entry.Path));
  case 11:
    return TrackCutoffText(TrackAnalysisOf(Album, entry.Path));
  default:
    return TrackQualityText(TrackAnalysisOf(Album, entry.Path));
  }
}

TMarkedText TExpansion::Tracks(TMarkedText text) const {
  std::size_t longest = 0;
  for (const TTrackEntry& track : Album.Tracks)
    if (track.Info)
      longest = std::max(longest, Columns(track.Info->DurationText));
  text = ExpandBlock(
      std::move(text), token::ForEachTrack, token::EndTrack, token::TrackTokens,
      Album.Tracks.size(),
      [&](std::size_t item, std::size_t token) { return TrackValue(item, token, longest); },
      WidthAt);
  return KeepSectionsWithValues(text); // each track's own
}

TMarkedText TExpansion::Extras(TMarkedText text) const {
  return ExpandBlock(
      std::move(text), token::ForEachExtra, token::EndExtra, token::ExtraTokens,
      Album.Extras.size(),
      [&](std::size_t item, std::size_t token) {
        const TExtraFile& extra = Album.Extras[item];
        const auto size = static_cast<std::int64_t>(extra.Size);
        switch (token) {
        case 0:
          return ListedName(extra.Path);
        case 1:
          return IntToAbbrStr(size, Context.DecimalSeparator);
        case 2:
          return FormatThousands(size, Context.ThousandSeparator);
        default:
          return extra.Checksum;
        }
      },
      WidthAt);
}

TMarkedText TExpansion::NewsGroups(TMarkedText text) const {
  static const std::vector<std::string> NoGroups;
  const std::vector<std::string>& groups = Album.NewsGroups ? *Album.NewsGroups : NoGroups;
  return ExpandBlock(
      std::move(text), token::ForEachNewsgroup, token::EndNewsgroup, token::GroupTokens,
      groups.size(),
      [&](std::size_t item, std::size_t token) {
        return token == 0 ? ItemNumber(item + 1, groups.size()) : AsWritten(groups[item]);
      },
      WidthAt);
}
} // namespace

std::string ExpandTemplate(std::string_view templateText, const TAlbumInfo& album,
                           const TGenerateContext& context) {
  const TExpansion expansion(album, context);
  TMarkedText text = expansion.Fields(templateText);
  text = expansion.Tracks(std::move(text));
  text = expansion.Extras(std::move(text));
  return expansion.NewsGroups(std::move(text)).Text();
}
