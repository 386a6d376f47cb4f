// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumExtras.h"

#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"
#include "common/NaturalOrder.h"
#include "common/TextUnit.h"
#include "generate/DocumentKinds.h"

#include <algorithm>
#include <fnmatch.h>
#include <set>

namespace {
// A name a save gives one of its documents ("Album.sfv", "Album_dr.txt", a PAR2 volume):
// such a file belongs to the release's documents, even when a pattern takes it.
bool IsDocumentName(const std::string& name) {
  const std::string folded = FoldCase(name);
  return std::any_of(DocumentKinds.begin(), DocumentKinds.end(), [&](const TDocumentKind& kind) {
    return folded.ends_with(FoldCase(kind.Extension));
  });
}
} // namespace

std::vector<std::string> SplitNamePatterns(std::string_view patterns) {
  std::vector<std::string> split;
  std::size_t at = 0;
  while (at < patterns.size()) {
    const std::size_t start = patterns.find_first_not_of(" \t,;", at);
    if (start == std::string_view::npos)
      break;
    const std::size_t end = std::min(patterns.find_first_of(" \t,;", start), patterns.size());
    split.emplace_back(patterns.substr(start, end - start));
    at = end;
  }
  return split;
}

bool MatchesNamePattern(const std::string& name, const std::vector<std::string>& patterns) {
  return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& pattern) {
    return ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0;
  });
}

std::vector<TExtraFile> FindAlbumExtras(const std::vector<std::string>& trackPaths,
                                        std::string_view patterns) {
  const std::vector<std::string> wanted = SplitNamePatterns(patterns);
  std::set<std::string> folders, tracks;
  for (const std::string& path : trackPaths) {
    folders.insert(FolderPart(path));
    tracks.insert(path);
  }
  // An album of disc folders keeps its cover and log above them.
  folders.insert(AlbumFolderOf(trackPaths));
  std::vector<std::string> paths;
  for (const std::string& folder : folders) {
    const auto entries = ReadFolder(folder.empty() ? "." : folder);
    if (!entries)
      continue;
    for (const TFolderEntry& entry : *entries) {
      const std::string path = folder + entry.Name;
      // A link is left out: it may lead anywhere, and a release holds files. A name the
      // .sfv cannot list (a control character, a comment's ";") is left out too.
      if (entry.IsFolder || entry.IsLink || HasTrackExtension(entry.Name) ||
          entry.Name.starts_with(';') ||
          std::any_of(entry.Name.begin(), entry.Name.end(), IsControlCharacter) ||
          tracks.contains(path) || IsDocumentName(entry.Name) ||
          !MatchesNamePattern(entry.Name, wanted) || !FileExists(path))
        continue;
      paths.push_back(path);
    }
  }
  SortNaturally(paths);
  std::vector<TExtraFile> extras;
  for (const std::string& path : paths) {
    const auto stamp = FileStampOf(path);
    extras.push_back({path, stamp ? static_cast<std::uint64_t>(stamp->Size) : 0, {}, {}});
  }
  return extras;
}

std::optional<std::string> ComputeExtraChecksums(TAlbumInfo& album) {
  for (TExtraFile& extra : album.Extras) {
    extra.ChecksumStamp = FileStampOf(extra.Path);
    const auto crc = FileCRC32(extra.Path);
    if (!crc)
      return extra.Path;
    extra.Checksum = CRC32Text(*crc);
  }
  return std::nullopt;
}
