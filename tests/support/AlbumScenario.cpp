// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/AlbumScenario.h"

#include "BuildInfo.h"
#include "common/AppVersionUnit.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/time.h>

std::vector<std::string> PrepareFixtureAlbum(const std::string& folder) {
  const char* fixtures[] = {"lame-cbr128-tags.mp3", "lame-mpeg2-id3v1.mp3", "lame-vbr-mono.mp3",
                            "mutagen-v23-utf16.mp3", "mutagen-v24-utf8.mp3"};
  std::filesystem::create_directories(folder);
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 1;
  local.tm_hour = 12;
  local.tm_isdst = -1;
  const std::time_t noon = std::mktime(&local);
  const timeval times[2] = {{noon, 0}, {noon, 0}};
  std::vector<std::string> paths;
  for (const char* name : fixtures) {
    const std::string path = folder + name;
    std::filesystem::copy_file(std::string(TAMBERLON_TEST_DATA) + "/" + name, path);
    EXPECT_EQ(::utimes(path.c_str(), times), 0);
    paths.push_back(path);
  }
  std::reverse(paths.begin(), paths.end());
  return paths;
}

std::vector<std::string> ExpectedFixtureAlbumNfo() {
  // The fixtures are steady sine tones: the meter's RMS takes a sine's crest factor out, so
  // their dynamic range is truly DR0; LAME's noise floor reaches the top band, so no rate is
  // doubted.
  const auto kept = [](const char* kbps, const char* khz) {
    return std::string("    ") + kbps + " kbps, content to " + khz + " kHz: as the rate keeps";
  };
  std::vector<std::string> lines = {
      "Artist     : Various Artists",
      "Album      : Into the Trees",
      "Source     : ",
      "Label      : ",
      "Year       : 2001",
      "Genre      : Rock",
      "",
      "Encoder    : LAME 3.100 -b 96",
      "Codec      : LAME 3.100",
      "Bitrate    : 96K/s  44100Hz  Joint Stereo",
      "ID3-Tag    : ID3v2.3",
      "Dynamics   : DR0",
      "",
      "Ripped By  : Ripper on 12/1/2026",
      "Posted By  : Poster on 12/8/2026",
      "",
      "Posted to  :",
      "  alt.binaries.sounds.mp3",
      "  alt.binaries.sounds.mp3.full_albums",
      "",
      "",
      "Track Listing",
      "-------------",
      " 1. Lame Title (Lame Artist)  (0:01)",
      kept("128", "22.1"),
      " 2. Low Rate (V1 Artist)      (0:01)",
      kept("64", "10.2"),
      " 3. lame-vbr-mono.mp3 ()      (0:02)",
      kept("36", "22.1"),
      " 4. Übermorgen (Die Ärzte)    (0:01)",
      kept("96", "16.0"),
      " 5. Café Noir (Zoë Keating)   (0:01)",
      kept("96", "16.0"),
      "",
      "Total Playing Time: 0:06 (min:sec)",
      "Total Size        : 66.7 KB (68,328 bytes)",
      "",
      std::string(70, '='),
      ".NFO file created with Tamberlon V1.0.469 on 12/8/2026 at 2:05 PM",
  };
  if (HasProductURL())
    lines.insert(lines.end(), {"", "For more information on Tamberlon",
                               std::string("visit ") + TAMBERLON_PRODUCT_URL});
  return lines;
}
