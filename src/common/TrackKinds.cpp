// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TrackKinds.h"

#include <algorithm>
#include <cctype>

const TTrackKindRow& TrackKindRow(TTrackKind kind) {
  return *std::find_if(TrackKinds.begin(), TrackKinds.end(),
                       [kind](const TTrackKindRow& row) { return row.Kind == kind; });
}

std::optional<TTrackKind> TrackKindOfName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || name.size() - dot > 8)
    return std::nullopt;
  std::string extension(name.substr(dot));
  for (char& c : extension)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const TTrackKindRow& row : TrackKinds)
    for (std::string_view known : row.Extensions)
      if (!known.empty() && extension == known)
        return row.Kind;
  return std::nullopt;
}

namespace {
bool HasAt(std::span<const unsigned char> bytes, std::size_t offset, std::string_view mark) {
  return bytes.size() >= offset + mark.size() &&
         std::equal(mark.begin(), mark.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                    [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
}

} // namespace

std::size_t Id3v2TagSize(std::span<const unsigned char> head) {
  if (!HasAt(head, 0, "ID3") || head.size() < 10)
    return 0;
  std::size_t size = 0;
  for (std::size_t i = 6; i < 10; ++i) {
    if (head[i] & 0x80)
      return 0;
    size = (size << 7) | head[i];
  }
  const bool footer = (head[5] & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

std::optional<TTrackKind> TrackKindOfBytes(std::span<const unsigned char> head) {
  if (HasAt(head, 0, "OggS")) {
    // The first page holds one packet, the stream's identification header; its lacing
    // table is one byte long for both kinds.
    if (HasAt(head, 28, "\x01vorbis"))
      return TTrackKind::OggVorbis;
    if (HasAt(head, 28, "OpusHead"))
      return TTrackKind::Opus;
    return std::nullopt;
  }
  if (HasAt(head, 4, "ftyp"))
    return TTrackKind::M4A;
  if (HasAt(head, 0, "fLaC"))
    return TTrackKind::FLAC;
  if (const std::size_t tag = Id3v2TagSize(head); tag > 0)
    return HasAt(head, tag, "fLaC") ? TTrackKind::FLAC : TTrackKind::MP3;
  if (head.size() >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0)
    return TTrackKind::MP3;
  return std::nullopt;
}

namespace {
// "*.mp3", "*.ogg *.oga": a row's patterns for a dialog.
std::string Patterns(const TTrackKindRow& row) {
  std::string patterns;
  for (std::string_view extension : row.Extensions)
    if (!extension.empty())
      patterns.append(patterns.empty() ? "*" : " *").append(extension);
  return patterns;
}
} // namespace

std::vector<TFileFilter> TrackFileFilters() {
  std::vector<TFileFilter> filters = {{"Audio files", ""}};
  for (const TTrackKindRow& row : TrackKinds) {
    filters.front().Pattern += (filters.size() > 1 ? " " : "") + Patterns(row);
    filters.push_back({std::string(row.FilterName), Patterns(row)});
  }
  filters.push_back({"All Files (*.*)", "*"});
  return filters;
}
