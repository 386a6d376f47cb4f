// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The NZB 1.1 index of a posted release: for each file, the subject it was posted under
// and the articles that hold it (their size, number and Message-ID), so that a downloader
// fetches exactly what the server accepted.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TNzbSegment {
  std::uint64_t Bytes = 0; // the article's size on the wire
  int Number = 0;          // the part, from 1
  std::string MessageId;   // with its angle brackets, as the article carries it
};

struct TNzbFile {
  std::string Subject; // the file's real subject, whatever the wire carried
  std::vector<TNzbSegment> Segments;
};

// The <head>'s entries besides the title that a downloader or an indexer reads, each left
// out when empty: the release's tag, its category, the password its archives open with.
struct TNzbMeta {
  std::string Tag, Category, Password;
};

struct TNzbRelease {
  std::string Title; // the album's name
  std::string Poster;
  std::int64_t Date = 0; // seconds since 1970, UTC
  std::vector<std::string> Groups;
  std::vector<TNzbFile> Files; // a file with no accepted article is left out
  TNzbMeta Meta;
};

std::string NzbText(const TNzbRelease& release);

// An NZB read back: its title, each file's subject, groups and segments (Message-IDs with
// their angle brackets). Markup it does not know is passed over, and so is a file without
// a segment reference that can be read; nothing when the text holds no <nzb> element or
// no file to look up.
// Bounded by the text: every entry stands for bytes of it.
std::optional<TNzbRelease> ReadNzb(std::string_view text);
// The same for a file's bytes, compressed (.nzb.gz) or not.
std::optional<TNzbRelease> ReadNzbFileBytes(std::string_view bytes);
// The most an NZB may hold, read or unpacked: far above any release's index, far below what
// a hostile stream could unpack to. A caller reads at most one byte more.
inline constexpr std::size_t LargestNzbBytes = std::size_t{64} << 20;
// Whether an NZB at the path is written compressed: its name ends in .gz.
bool IsCompressedNzbPath(std::string_view path);
