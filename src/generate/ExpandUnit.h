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
};

std::string ExpandTemplate(std::string_view templateText, const TAlbumInfo& album,
                           const TGenerateContext& context);

// Replaces every occurrence, scanning on after each inserted value.
void ReplaceAll(std::string& text, std::string_view token, std::string_view value);

// The value of token number `token` (an index into the block's tokens) for item `item`.
using TBlockValue = std::function<std::string(std::size_t item, std::size_t token)>;

// Expands the first block between the two markers: its body once per item, each token's
// first remaining occurrence taken by each item in turn, then the @RIGHT alignment.
std::string ExpandBlock(std::string text, std::string_view startMarker, std::string_view endMarker,
                        std::span<const std::string_view> tokens, std::size_t itemCount,
                        const TBlockValue& valueOf);

// Removes every @RIGHT and moves the text behind it to the right-most marker's column.
std::string AlignRight(std::string_view text);

// The name of a track's file: its path after the last "/".
std::string TrackFileName(std::string_view path);

// "%2d": right-aligned in two characters.
std::string ItemNumber(std::size_t number);
