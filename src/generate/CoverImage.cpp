// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/CoverImage.h"

#include "common/FileUnit.h"
#include "common/ImageSize.h"
#include "common/TextUnit.h"
#include "generate/AlbumExtras.h"

#include <array>
#include <string_view>
#include <vector>

namespace {
bool IsImageName(const std::string& name) {
  static const std::vector<std::string> images = {"*.jpg", "*.jpeg", "*.png", "*.gif"};
  return MatchesNamePattern(name, images);
}
} // namespace

std::string CoverText(const TAlbumInfo& album) {
  const TExtraFile* first = nullptr;
  const TExtraFile* named = nullptr;
  for (const TExtraFile& extra : album.Extras) {
    const std::string name = FileNamePart(extra.Path);
    if (!IsImageName(name))
      continue;
    const std::string folded = FoldCase(name);
    if (!first)
      first = &extra;
    if (!named && (folded.starts_with("folder") || folded.starts_with("cover") ||
                   folded.starts_with("front")))
      named = &extra;
  }
  const TExtraFile* cover = named ? named : first;
  std::string text;
  if (cover) {
    text = FileNamePart(cover->Path);
    std::vector<std::uint8_t> head(ImageHeadBytes);
    auto file = TReadOnlyFile::Open(cover->Path);
    const auto read = file ? file->ReadAt(0, head) : std::nullopt;
    if (const auto size = read ? ReadImageSize(std::span(head.data(), *read)) : std::nullopt)
      text += " " + ImageSizeText(*size);
  }
  // The tracks' own picture is told too: the first track that holds one.
  for (const TTrackEntry& track : album.Tracks)
    if (track.Info && !track.Info->EmbeddedCover.empty())
      return text + (text.empty() ? "" : "; ") + "embedded " + track.Info->EmbeddedCover;
  return text;
}
