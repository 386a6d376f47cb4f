// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/FileUnit.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace {
struct TRead {
  std::int64_t Offset;
  std::size_t Size;
};

// What a read at offset must give: the file's bytes there, short at its end.
std::string Expected(const std::string& content, TRead read) {
  if (read.Offset >= static_cast<std::int64_t>(content.size()))
    return {};
  return content.substr(static_cast<std::size_t>(read.Offset), read.Size);
}
} // namespace

// A tag reader jumps between the head and the tail of a file; every read, wherever it falls
// against the cached windows, gives the bytes a plain read would.
TEST(ReadOnlyFile, EveryReadGivesTheFileBytesWhereverItFalls) {
  const struct {
    const char* Name;
    std::size_t Length;
    std::vector<TRead> Reads;
  } cases[] = {
      {"a small file, head then tail", 300, {{0, 10}, {10, 200}, {172, 128}, {0, 300}, {290, 40}}},
      {"a track: tag, ID3v1, first frames, encoder name",
       33319,
       {{0, 10}, {10, 292}, {33191, 128}, {302, 3458}, {29733, 3458}}},
      {"reads across a window's edge", 20000, {{0, 100}, {4000, 200}, {4090, 10}, {8190, 4096}}},
      {"the tail window ends at the file's end", 20000, {{19872, 128}, {15900, 4000}, {19999, 1}}},
      {"three places in turn", 50000, {{0, 64}, {25000, 64}, {49936, 64}, {0, 64}, {25010, 8}}},
      {"larger than a window", 50000, {{100, 20000}, {0, 10}, {30000, 20000}}},
      {"at and past the end", 5000, {{5000, 10}, {4995, 10}, {9000, 10}, {4999, 4096}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string content(c.Length, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
      content[i] = static_cast<char>(i * 7 + i / 251); // no two nearby windows alike
    TTempFolder folder;
    auto file = TReadOnlyFile::Open(folder.Write("t.mp3", content));
    ASSERT_TRUE(file);
    for (const TRead& read : c.Reads) {
      SCOPED_TRACE(testing::Message() << "read " << read.Size << " at " << read.Offset);
      std::string got(read.Size, '\x55');
      const auto count = file->ReadAt(
          read.Offset, std::span(reinterpret_cast<std::uint8_t*>(got.data()), got.size()));
      ASSERT_TRUE(count);
      got.resize(*count);
      EXPECT_EQ(got, Expected(content, read));
    }
  }
}

// A shell's "*.mp3" gives many names in one folder, typed from one listing of it: each is
// taken as a stat would take it, a folder (or a link to one) opened into its tracks.
TEST(ExpandTrackFolders, ManyNamesOfOneFolderAreTakenAsAStatTakesThem) {
  const TTempFolder temp;
  const std::string& at = temp.Path();
  std::vector<std::string> operands;
  for (int i = 0; i < 40; ++i)
    operands.push_back(temp.Write(std::to_string(i) + ".mp3", "x"));
  std::filesystem::create_directory(at + "album.mp3");
  temp.Write("album.mp3/01.flac", "x");
  std::filesystem::create_directory_symlink(at + "album.mp3", at + "linked");
  std::filesystem::create_symlink(at + "0.mp3", at + "file link.mp3");
  for (const char* name : {"album.mp3", "linked", "file link.mp3", "missing.mp3", "album.mp3/"})
    operands.push_back(at + name);

  const std::vector<std::string> files = ExpandTrackFolders(operands);
  const std::vector<std::string> tail(files.end() - 5, files.end());
  EXPECT_EQ(files.size(), 45u);
  EXPECT_EQ(tail, (std::vector<std::string>{at + "album.mp3/01.flac", at + "linked/01.flac",
                                            at + "file link.mp3", at + "missing.mp3",
                                            at + "album.mp3/01.flac"}));
}
