// SPDX-License-Identifier: GPL-3.0-or-later
// The FLAC audio check as `check --audio` runs it (the file decoded, its MD5 compared), and
// the analysis as `sonogram` runs it, to the picture drawn: a stream's information must
// never make either run for ever.
#include "FuzzFile.h"
#include "analysis/AlbumAnalysis.h"
#include "analysis/SonogramImage.h"
#include "audio/FlacCheckUnit.h"

#include "audio/CRC32Unit.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TFuzzFile file(data, size);
  (void)CheckFlacAudio(file.Path());
  // The analysis knows a track by its name, so it reads a named copy in memory.
  static const std::string named =
      "/dev/shm/tamberlon-fuzz-" + std::to_string(::getpid()) + ".flac";
  if (FILE* copy = std::fopen(named.c_str(), "wb")) {
    std::fwrite(data, 1, size, copy);
    std::fclose(copy);
    TAnalysisHooks hooks;
    hooks.Threads = 1;
    hooks.KeepSonograms = true;
    hooks.WithFileCrc = true;
    const TAlbumAnalysis album = AnalyzeAlbum({named}, hooks);
    if (album.Tracks.front().FileCrc != FileCRC32(named)) // taken from the decoder's reads
      std::abort();
    if (album.Tracks.front().Sonogram)
      (void)DrawSonogram(*album.Tracks.front().Sonogram, SonogramCaption(album.Tracks.front()));
    std::remove(named.c_str());
  }
  return 0;
}
