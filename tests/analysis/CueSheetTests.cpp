// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/CueSheet.h"

#include <gtest/gtest.h>

namespace {
// Each track as "number:start-in-frames:title", a file's name before its tracks.
std::string Shape(const TCueSheet& sheet) {
  std::string shape = sheet.Performer + "/" + sheet.Title;
  for (const TCueFile& file : sheet.Files) {
    shape += " [" + file.Name + "]";
    for (const TCueTrack& track : file.Tracks)
      shape += " " + std::to_string(track.Number) + ":" +
               (track.Start ? std::to_string(*track.Start) : "-") + ":" + track.Title;
  }
  return shape;
}
} // namespace

TEST(CueSheet, ReadsWhatRippersWrite) {
  const struct {
    const char* Name;
    std::string Text;
    const char* Shape; // nullptr: no sheet
  } cases[] = {
      {"an image with a pregap",
       "REM GENRE Rock\r\nPERFORMER \"Band\"\r\nTITLE \"Record\"\r\nFILE \"Band - Record.flac\" "
       "WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE \"One\"\r\n    INDEX 01 00:00:00\r\n  TRACK 02 "
       "AUDIO\r\n    TITLE \"Two\"\r\n    INDEX 00 03:10:00\r\n    INDEX 01 03:12:74\r\n",
       "Band/Record [Band - Record.flac] 1:0:One 2:14474:Two"},
      {"a file a track, lower-case commands and LF lines",
       "file \"01.flac\" wave\n track 01 audio\n  index 01 00:00:00\nfile \"02.flac\" wave\n "
       "track 02 audio\n  index 1 00:02:00\n",
       "/ [01.flac] 1:0: [02.flac] 2:150:"},
      {"a byte-order mark and UTF-8",
       "\xEF\xBB\xBFTITLE \"Caf\xC3\xA9\"\nFILE a.wav WAVE\nTRACK 1 AUDIO\n", "/Café [a.wav] 1:-:"},
      {"Windows-1252", "TITLE \"Caf\xE9\"\nFILE a.wav WAVE\nTRACK 1 AUDIO\n", "/Café [a.wav] 1:-:"},
      {"an impossible time is no INDEX",
       "FILE a.wav WAVE\nTRACK 1 AUDIO\nINDEX 01 00:61:00\nTRACK 2 AUDIO\nINDEX 01 1:2:75\n",
       "/ [a.wav] 1:-: 2:-:"},
      {"an unclosed quote runs to the line's end", "FILE \"a b.wav WAVE\nTRACK 1 AUDIO\n",
       "/ [a b.wav WAVE] 1:-:"},
      {"a track before any FILE is passed over", "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", nullptr},
      {"no sheet at all", std::string(5000, '\0'), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto sheet = ReadCueSheet(c.Text);
    ASSERT_EQ(sheet.has_value(), c.Shape != nullptr);
    if (sheet) {
      EXPECT_EQ(Shape(*sheet), c.Shape);
    }
  }
}
