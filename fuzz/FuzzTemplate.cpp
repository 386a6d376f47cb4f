// SPDX-License-Identifier: GPL-3.0-or-later
// A template and the album's texts from the input: the template is the text before the
// first NUL, then one NUL-separated text per album field and per track title.
#include "generate/ExpandUnit.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  auto next = [&input] {
    const std::size_t end = input.find('\0');
    const std::string_view part = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return std::string(part);
  };
  const std::string text = next();
  TAlbumInfo album;
  album.SetArtist(next());
  album.SetAlbumTitle(next());
  album.Year = next();
  album.PostedBy = next();
  std::vector<std::string> groups = {next(), next()};
  album.NewsGroups = &groups;
  for (int i = 0; i < 4 && !input.empty(); ++i) {
    auto info = std::make_unique<TTrackInfo>();
    info->HasTag = i % 2 == 0;
    info->Title = next();
    info->DurationText = next();
    album.Tracks.push_back({next(), std::move(info)});
  }
  TGenerateContext context;
  context.PostingPolicy = {next()};
  (void)ExpandTemplate(text, album, context);
  return 0;
}
