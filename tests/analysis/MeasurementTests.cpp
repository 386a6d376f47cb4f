// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/AlbumAnalysis.h"
#include "audio/CRC32Unit.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A save that measures its tracks takes their .sfv checksums in the same reading: whatever
// order each decoder reads its file in (the tail's tags first, an MP4's index at its end,
// Ogg's last page), whatever it never reaches (bytes after the stream, a cut stream), the
// checksum is the whole file's.
TEST(Measurement, TakesEachFilesChecksumInTheSameReading) {
  const std::string data = std::string(TAMBERLON_TEST_DATA) + "/";
  const TTempFolder temp;
  const std::string flac = ReadWholeFile(data + "flac-16bit-tags.flac");
  const std::vector<std::string> paths = {
      data + "flac-pictures.flac",
      data + "lame-mpeg2-id3v1.mp3",
      data + "mutagen-v24-utf8.mp3",
      data + "ffmpeg-vorbis.ogg",
      data + "ffmpeg-opus.opus",
      data + "ffmpeg-aac.m4a",
      data + "ffmpeg-alac-cover.m4a",
      temp.Write("junk after the stream.flac", flac + std::string(300000, 'j')),
      temp.Write("cut.flac", flac.substr(0, flac.size() / 2)),
  };
  TAnalysisHooks hooks;
  hooks.WithFileCrc = true;
  const TAlbumAnalysis album = AnalyzeAlbum(paths, hooks);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    ASSERT_TRUE(album.Tracks[i].FileCrc);
    EXPECT_EQ(CRC32Text(*album.Tracks[i].FileCrc), CRC32Text(*FileCRC32(paths[i])));
  }
}
