// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The expansion of a template against an album record: a pure function of its inputs,
// so that it is tested without a clock or files.
#include "generate/AlbumUnit.h"

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct TGenerateContext {
  std::string DateText;
  std::string TimeText;
  std::string ProductName;
  std::string VersionText;
  std::string ProductURL;
  std::vector<std::string> PostingPolicy;
  std::string DecimalSeparator = ".";
  std::string ThousandSeparator = ",";
  // The document is written in an 8-bit code page: texts in their composed form, and
  // columns counted as the code page has them, one a character (a "?" for a character it
  // lacks included).
  bool CodePage = false;
  // A list's own path: $TRACK_FILENAME names each track relative to the list's folder.
  // Empty: by its file name alone (the .nfo shows names, it does not find files).
  std::string DocumentPath;
};

// The columns the character starting at text[at] takes (0 for a continuation byte).
using TWidthAt = std::size_t (*)(std::string_view text, std::size_t at);

std::string ExpandTemplate(std::string_view templateText, const TAlbumInfo& album,
                           const TGenerateContext& context);

// Text being expanded, each byte marked as the template's own or as part of a value put
// in. Tokens and markers are found in the template's own bytes alone: a value (a tag, a
// box, a file name) is data and is never read as template text.
class TMarkedText {
public:
  TMarkedText() = default;
  explicit TMarkedText(std::string_view templateText) { AppendTemplate(templateText); }

  void AppendTemplate(std::string_view text);
  void AppendValue(std::string_view value);
  // Bytes [from, from + count) of another marked text, with their marks.
  void Append(const TMarkedText& other, std::size_t from, std::size_t count);
  void Replace(std::size_t at, std::size_t length, std::string_view value);
  void Erase(std::size_t at, std::size_t length);
  void Reserve(std::size_t size);

  // The first occurrence at or after `from`, ending by `to`, made wholly of template bytes.
  std::size_t Find(std::string_view what, std::size_t from = 0,
                   std::size_t to = std::string::npos) const;
  bool IsTemplate(std::size_t at, std::size_t length) const;
  std::size_t Size() const { return Bytes.size(); }
  bool Empty() const { return Bytes.empty(); }
  char At(std::size_t at) const { return Bytes[at]; }
  char Back() const { return Bytes.back(); }
  void PopBack();
  const std::string& Text() const { return Bytes; }

private:
  std::string Bytes;
  std::string Marks; // '\1' for a byte of a value, '\0' for the template's own
};

// Replaces every template occurrence of the token by the value, scanning on after each
// inserted value.
void ReplaceAll(TMarkedText& text, std::string_view token, std::string_view value);
// The same for a plain template text.
void ReplaceAll(std::string& text, std::string_view token, std::string_view value);

// The value of token number `token` (an index into the block's tokens) for item `item`.
using TBlockValue = std::function<std::string(std::size_t item, std::size_t token)>;

// Expands the first block between the two markers: its body once per item, each token's
// first remaining occurrence taken by each item in turn, then the @RIGHT alignment.
TMarkedText ExpandBlock(TMarkedText text, std::string_view startMarker, std::string_view endMarker,
                        std::span<const std::string_view> tokens, std::size_t itemCount,
                        const TBlockValue& valueOf, TWidthAt widthAt);
std::string ExpandBlock(std::string_view templateText, std::string_view startMarker,
                        std::string_view endMarker, std::span<const std::string_view> tokens,
                        std::size_t itemCount, const TBlockValue& valueOf);

// Each section from an @IF_VALUE to the next @END_IF (the markers' own line breaks with
// them) is written, without its markers, when it holds a value put in; else it goes whole.
// A marker without its partner stays as text. A section inside the block the two markers
// give is left whole, for each of the block's items once their values are in.
TMarkedText KeepSectionsWithValues(const TMarkedText& text, std::string_view blockStart = {},
                                   std::string_view blockEnd = {});

// Removes every template @RIGHT and moves the text behind it to the right-most marker's
// column.
TMarkedText AlignRight(const TMarkedText& text, TWidthAt widthAt);
std::string AlignRight(std::string_view templateText);

// The name of a track's file: its path after the last "/".
std::string TrackFileName(std::string_view path);

// A list's item number, right-aligned to the width of the list's largest (two at least).
std::string ItemNumber(std::size_t number, std::size_t count);
