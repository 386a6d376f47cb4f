// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TextUnit.h"

#include <gtest/gtest.h>

TEST(Text, Cp1252BecomesUtf8WithZeroBytesKept) {
  EXPECT_EQ(Cp1252ToUtf8("Caf\xE9"), "Café");
  EXPECT_EQ(Cp1252ToUtf8("\x80 \x99 \x9F"), "€ ™ Ÿ");
  EXPECT_EQ(Cp1252ToUtf8("\xFF"), "ÿ");
  EXPECT_EQ(Cp1252ToUtf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xC2\x81"); // unassigned bytes keep their code
}

TEST(Text, Utf16PairsAndLoneSurrogates) {
  const std::u16string pair = u"\U0001F3B5x";
  EXPECT_EQ(Utf16ToUtf8(pair), "\xF0\x9F\x8E\xB5x");
  const char16_t lone[] = {0xD800, u'a'};
  EXPECT_EQ(Utf16ToUtf8(lone), "\xEF\xBF\xBD"
                               "a");
}

// Invalid UTF-8 made valid for documents, and shown byte by byte where a name is printed,
// as are the characters that would move a terminal's cursor or break a line.
TEST(Text, InvalidUtf8BecomesReplacementCharacters) {
  const struct {
    const char* Name;
    std::string Input;
    std::string Expected;
    std::string Printable;
  } cases[] = {
      {"valid passes", "Ünïcødé ✓", "Ünïcødé ✓", "Ünïcødé ✓"},
      {"stray continuation", "a\x80z", "a\xEF\xBF\xBDz", "a\\x80z"},
      {"truncated at end", "ab\xE2\x82", "ab\xEF\xBF\xBD", "ab\\xE2\\x82"},
      {"overlong", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD", "\\xC0\\xAF"},
      {"surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD", "\\xED\\xA0\\x80"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xEF\xBF\xBD", "\\xF4\\x90\\x80\\x80"},
      {"line break, escape and bell", "a\nb\x1B[2J\x07", "a\nb\x1B[2J\x07", "a\\x0Ab\\x1B[2J\\x07"},
      {"C1 control and DEL",
       "a\xC2\x9B"
       "2J\x7F",
       "a\xC2\x9B"
       "2J\x7F",
       "a\\xC2\\x9B"
       "2J\\x7F"},
      {"backslash", "a\\x0A", "a\\x0A", "a\\\\x0A"},
      {"a mark that turns the text's direction", "a\u202Etxt.exe", "a\u202Etxt.exe",
       "a\\xE2\\x80\\xAEtxt.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(SanitizeUtf8(c.Input), c.Expected);
    EXPECT_EQ(PrintableName(c.Input), c.Printable);
  }
  // A text from outside is escaped as a name is, but for the backslashes of the names it
  // quotes, made printable already.
  EXPECT_EQ(PrintableText("502 \x1B]0;x\x07 a\\x0A\xC2\x9B\xFF"),
            "502 \\x1B]0;x\\x07 a\\x0A\\xC2\\x9B\\xFF");
}

TEST(Text, WidthCountsColumnsAndTrimRemovesControls) {
  const struct {
    const char* Text;
    std::size_t Width;
  } cases[] = {{"Café", 4},   {"", 0},          {"Cafe\u0301", 4}, {"\u20DD", 0},
               {"日本", 4},   {"ＡＢ", 4},      {"🎵", 2},          {"a\u200Bb\u00AD", 2},
               {"\t\x01", 2}, {"\xFF\x80x", 2}, {"\xE6\x97", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(DisplayWidth(c.Text), c.Width);
  }
  EXPECT_EQ(TrimControl(std::string_view("\0 \tSong \0\0", 11)), "Song");
  EXPECT_EQ(TrimControlRight("  Song  "), "  Song");
}
