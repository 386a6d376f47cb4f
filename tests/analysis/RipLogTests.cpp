// SPDX-License-Identifier: GPL-3.0-or-later
// Logs written from the rippers' published formats (EAC's English log, XLD's), and real logs
// the rippers wrote on their users' machines (tests/data/riplogs, whipper's made here).
#include "analysis/RipLog.h"
#include "analysis/RipLogMatch.h"
#include "analysis/RipLogText.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {
std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string EacTrack(int number, const char* test, const char* copy, const char* accurate) {
  return "Track " + std::string(number < 10 ? " " : "") + std::to_string(number) +
         "\r\n\r\n     Filename C:\\Rips\\0" + std::to_string(number) +
         ".wav\r\n\r\n     Peak level 98.8 %\r\n     Extraction speed 3.2 X\r\n     "
         "Track quality 100.0 %\r\n     Test CRC " +
         test + "\r\n     Copy CRC " + copy + "\r\n     " + accurate + "\r\n     Copy OK\r\n\r\n";
}

const std::string Eac =
    "Exact Audio Copy V1.6 from 23. November 2020\r\n\r\nEAC extraction logfile from 1. "
    "December 2026, 10:00\r\n\r\nBand / Record\r\n\r\nUsed drive  : PLEXTOR DVDR   PX-716A   "
    "Adapter: 1  ID: 0\r\n\r\nRead mode               : Secure\r\nUtilize accurate stream : "
    "Yes\r\nDefeat audio cache      : Yes\r\nMake use of C2 pointers : No\r\n\r\nRead offset "
    "correction                      : 30\r\nOverread into Lead-In and Lead-Out          : "
    "No\r\nFill up missing offset samples with silence : Yes\r\nDelete leading and trailing "
    "silent blocks    : No\r\nNull samples used in CRC calculations       : Yes\r\nUsed "
    "interface                              : Native Win32 interface for Win NT & 2000\r\nGap "
    "handling                                : Appended to previous track\r\n\r\nUsed output "
    "format              : User Defined Encoder\r\nAdd ID3 tag                     : "
    "No\r\n\r\nTOC of the extracted CD\r\n\r\n     Track |   Start  |  Length  | Start sector "
    "| End sector\r\n    ---------------------------------------------------------\r\n        1 "
    " |  0:00.00 |  3:00.00 |         0    |    13499\r\n\r\n" +
    EacTrack(1, "1A2B3C4D", "1A2B3C4D", "Accurately ripped (confidence 5)  [0A0B0C0D]  (AR v2)") +
    EacTrack(2, "5E6F7081", "5E6F7081", "Accurately ripped (confidence 12)  [1B2C3D4E]  (AR v2)") +
    "No errors occurred\r\n\r\nAll tracks accurately ripped\r\n\r\nEnd of status "
    "report\r\n\r\n==== Log checksum "
    "9D6E2B2C2F3A4B5C6D7E8F9A0B1C2D3E4F5A6B7C8D9E0F1A2B3C4D5E6F7A8B9C "
    "====\r\n";

const std::string Xld =
    "X Lossless Decoder version 20230627 (155.2)\n\nXLD extraction logfile from 2026-12-01 "
    "10:00:00 +0100\n\nBand / Record\n\nUsed drive : HL-DT-ST DVDRAM GP65NB60 (revision "
    "RF01)\nMedia type : Pressed CD\n\nRipper mode             : XLD Secure Ripper\nDisable "
    "audio cache     : OK\nMake use of C2 pointers : NO\nRead offset correction  : 6\nGap "
    "status              : Analyzed, Appended\n\nTrack 01\n    Filename : /Rips/01.flac\n\n    "
    "CRC32 hash (test run)  : 1A2B3C4D\n    CRC32 hash             : 1A2B3C4D\n    CRC32 hash "
    "(skip zero) : 99999999\n    AccurateRip v1 signature : 0A0B0C0D\n        ->Accurately "
    "ripped (v1+v2, confidence 7/7)\n    Statistics\n        Read error                      "
    "     : 0\n        Damaged sector count                 : 0\n\nNo errors occurred\n\nEnd "
    "of status report\n\n-----BEGIN XLD SIGNATURE-----\nABCDEF\n-----END XLD SIGNATURE-----\n";

// A log written by whipper's own logger (Debian's whipper 0.10.0, scripts/make-fixtures),
// its hash line whipper's.
const std::string Whipper = ReadWholeFile(std::string(TAMBERLON_TEST_DATA) + "/whipper-0.10.log");

// The English words of the log in a French of no EAC release; track 2 not matched in
// AccurateRip, with its summary line after the tracks.
std::string French(std::string text) {
  for (const auto& [english, french] : std::initializer_list<std::pair<std::string, std::string>>{
           {"EAC extraction logfile from", "Fichier journal d'extraction EAC du"},
           {"Track  1\r\n", "Piste  1\r\n"},
           {"Track  2\r\n", "Piste  2\r\n"},
           {"Test CRC 1A2B3C4D", "CRC de test 1A2B3C4D"},
           {"Copy CRC 1A2B3C4D", "CRC de copie 1A2B3C4D"},
           {"Test CRC 5E6F7081", "CRC de test 5E6F7081"},
           {"Copy CRC 5E6F7081", "CRC de copie 5E6F7081"},
           {"Accurately ripped (confidence 5)", "Extraction précise (confiance 5)"},
           {"Accurately ripped (confidence 12)  [1B2C3D4E]",
            "Extraction imprécise (confiance 12)  [1B2C3D4E], AccurateRip : [99999999]"},
           {"No errors occurred", "Piste  1  précise (confiance 5)  [0A0B0C0D]  (AR v2)"}})
    text = Replaced(text, english, french);
  return text;
}

std::string Utf16(std::string_view ascii) {
  std::string bytes = "\xFF\xFE";
  for (const char c : ascii)
    bytes += {c, '\0'};
  return bytes;
}

// "score|deductions|AccurateRip|drive|checksum", or the problem of a text that is no log.
std::string Shape(const TRipLog& log) {
  if (!log.IsLog())
    return log.Problem;
  std::string shape = (log.Score ? std::to_string(*log.Score) : "-") + "|";
  for (const TRipLogDeduction& deduction : log.Deductions)
    shape += deduction.Text + " -" + std::to_string(deduction.Points) + ";";
  return shape + "|" + AccurateRipText(log) + "|" + RipperDriveText(log) + "|" +
         LogChecksumText(log);
}

std::string RealLogPath(const char* name) {
  return std::string(TAMBERLON_TEST_DATA) + "/riplogs/" + name;
}
std::string RealLog(const char* name) {
  return ReadWholeFile(RealLogPath(name));
}

// ASCII as UTF-16LE without a byte-order mark, as it stands inside EAC's file.
std::string Wide(std::string_view ascii) {
  return Utf16(ascii).substr(2);
}
} // namespace

TEST(RipLog, ScoresWhatTheRippersWrite) {
  // Its checksum line is made up: the log reads as edited.
  const std::string perfectEac = "100||2 of 2 tracks accurate (confidence 5 to 12)|PLEXTOR DVDR "
                                 "PX-716A, read offset +30|edited";
  const struct {
    const char* Name;
    std::string Text;
    std::string Shape;
  } cases[] = {
      {"EAC, all good", Eac, perfectEac},
      {"EAC saved as UTF-16 with a byte-order mark", Utf16(Eac), perfectEac},
      {"EAC: a CRC mismatch, the cache not defeated, no checksum",
       Replaced(Replaced(Replaced(Eac, "Copy CRC 5E6F7081", "Copy CRC 5E6F7082"),
                         "cache      : Yes", "cache      : No"),
                "==== Log checksum", "Log checksum"),
       "60|audio cache not defeated -10;CRC mismatch on track 2 -30;|2 of 2 tracks accurate "
       "(confidence 5 to 12)|PLEXTOR DVDR PX-716A, read offset +30|missing"},
      {"EAC 0.99: settings in the read mode (the cache's not), a range rip",
       Replaced(Replaced(Replaced(Eac, "V1.6", "V0.99 prebeta 5"),
                         "Secure\r\nUtilize accurate stream : Yes\r\nDefeat audio cache      : "
                         "Yes\r\nMake use of C2 "
                         "pointers : No",
                         "Secure with NO C2, accurate stream"),
                "Track  1\r\n", "Range status and errors\r\n"),
       "69|range rip -30;settings not stated: audio cache -1;|2 of 2 tracks accurate "
       "(confidence 5 to 12)|PLEXTOR DVDR PX-716A, read offset +30|edited"},
      {"EAC: burst mode, a suspicious position, no gap detection, truncated",
       Replaced(Replaced(Replaced(Eac.substr(0, Eac.find("End of status")), "Secure", "Burst"),
                         "     Copy OK", "     Suspicious position 0:01:12\r\n"),
                "Gap handling", "Gap"),
       "50|not ripped in secure mode -20;gaps not detected and appended (or not stated) "
       "-10;suspicious positions on track 1 -20;|2 of 2 tracks accurate (confidence 5 to "
       "12)|PLEXTOR DVDR PX-716A, read offset +30|missing"},
      {"EAC in a language whose strings are not known: not scored, its tracks read by their shape",
       French(Eac),
       "-||1 of 2 tracks accurate (confidence 5)|PLEXTOR DVDR PX-716A, read offset +30|edited"},
      {"XLD, all good", Xld,
       "100||1 of 1 tracks accurate (confidence 7)|HL-DT-ST DVDRAM GP65NB60 (revision RF01), "
       "read offset +6|edited"},
      {"XLD: cdparanoia's burst (which the checkers let pass), C2, damaged sectors, no test",
       Replaced(Replaced(Replaced(Replaced(Xld, "XLD Secure Ripper", "CDParanoia III 10.2 (Burst)"),
                                  "pointers : NO", "pointers : YES"),
                         "count                 : 0", "count                 : 3"),
                "    CRC32 hash (test run)  : 1A2B3C4D\n", ""),
       "77|C2 pointers used -10;read, skipped or damaged sectors (a point each, 10 at most) on "
       "track 1 -3;test and copy not used -10;|1 of 1 tracks accurate (confidence "
       "7)|HL-DT-ST DVDRAM GP65NB60 (revision RF01), read offset +6|edited"},
      {"whipper, its hash verified", Whipper,
       "100||2 of 2 tracks accurate (confidence 9)|HL-DT-STBD-RE WH14NS40 (revision 1.03), "
       "read offset +6|OK"},
      {"whipper, edited after its hash",
       Replaced(Whipper, "Copy CRC: CF6EF475", "Copy CRC: CF6EF476"),
       "70|CRC mismatch on track 1 -30;|2 of 2 tracks accurate (confidence 9)|HL-DT-STBD-RE "
       "WH14NS40 (revision 1.03), read offset +6|edited"},
      {
          "EAC: an MP3 file, a file write error, the read offset not stated",
          Replaced(Replaced(Replaced(Eac, "01.wav", "01.mp3"), "Copy CRC 5E6F7081",
                            "Copy CRC 5E6F7081\r\n     File write error"),
                   "Read offset correction", "Read offset"),
          "78|settings not stated: read offset -1;file write errors on track 2 -20;no .wav, .flac "
          "or "
          ".ape file on track 1 -1;|2 of 2 tracks accurate (confidence 5 to 12)|PLEXTOR DVDR "
          "PX-716A|edited",
      },
      {"EAC with no tracks", Eac.substr(0, Eac.find("Track  1")),
       "0|no tracks -100;||PLEXTOR DVDR PX-716A, read offset +30|missing"},
      {"EAC 0.95: its header the extraction line", Eac.substr(Eac.find("EAC extraction")),
       "70|EAC older than 0.99 -30;|2 of 2 tracks accurate (confidence 5 to 12)|PLEXTOR DVDR "
       "PX-716A, read offset +30|edited"},
      {"EAC: two rips, the second's CRCs disagreeing",
       Eac + std::string(60, '-') + "\r\n\r\n" +
           Replaced(Eac, "Copy CRC 5E6F7081", "Copy CRC 5E6F7082"),
       "70|CRC mismatch on track 2 -30;|2 of 2 tracks accurate (confidence 5 to 12)|PLEXTOR DVDR "
       "PX-716A, read offset +30|edited"},
      {"XLD: a (null) drive, the disc as one file",
       Replaced(Replaced(Xld, "HL-DT-ST DVDRAM GP65NB60 (revision RF01)",
                         "(null) (null) (revision (null))"),
                "\n\nTrack 01\n", "\n\nAll Tracks\n    Filename : /Rips/CD.flac\n\nTrack 01\n"),
       "50|range rip -30;a \"(null)\" drive -20;|1 of 1 tracks accurate (confidence 7)|(null) "
       "(null) (revision (null)), read offset +6|edited"},
      {"a text that is no log", "Band - Record\nTrack  1\nTest CRC 1A2B3C4D\n",
       "not a rip log of EAC, XLD or whipper"},
      {"binary zeros", std::string(4096, '\0'), "not a rip log of EAC, XLD or whipper"},
      {"nothing", "", "not a rip log of EAC, XLD or whipper"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Shape(ReadRipLog(c.Text)), c.Shape);
  }
}

// Logs the rippers wrote, as the checkers score them; an edited copy of a signed one.
TEST(RipLog, ReadsRealLogsAndTheirChecksums) {
  const auto edited = [](std::string log, std::string_view from, std::string_view to) {
    return Replaced(std::move(log), from, to);
  };
  const std::string eac13 = RealLog("eac-1.3-utf16.log");
  const std::string xld = RealLog("xld-20141129.log");
  const struct {
    const char* Name;
    std::string Bytes;
    std::string Shape;
  } cases[] = {
      {"EAC 1.3 in UTF-16, signed", eac13,
       "100||4 of 4 tracks accurate (confidence 72 to 74)|Optiarc DVD RW AD-7940H, read offset "
       "+48|OK"},
      {"the same, one word changed", edited(eac13, Wide("Copy OK"), Wide("Copy ok")),
       "100||4 of 4 tracks accurate (confidence 72 to 74)|Optiarc DVD RW AD-7940H, read offset "
       "+48|edited"},
      {"the same without its byte-order mark", eac13.substr(2),
       "100||4 of 4 tracks accurate (confidence 72 to 74)|Optiarc DVD RW AD-7940H, read offset "
       "+48|OK"},
      {"EAC 1.0 beta 2, signed, no null samples in the CRCs", RealLog("eac-1.0b2-signed.log"),
       "95|null samples left out of the CRCs -5;|4 of 4 tracks accurate (confidence "
       "16)|TSSTcorpDVD+-RW "
       "TS-H653F, read offset +6|OK"},
      {"EAC combined: an aborted rip, then the disc again (text changed after signing)",
       RealLog("eac-1.0b3-combined.log"),
       "100||not in the AccurateRip database|HL-DT-STDVD-ROM "
       "GDRH10N, read offset +102|edited"},
      {"EAC 0.95: the old header, burst, no test", RealLog("eac-0.95-burst.log"),
       "-10|EAC older than 0.99 -30;not ripped in secure mode -20;gaps not detected and appended "
       "(or not stated) -10;test and copy not used -10;neither secure mode nor test and copy "
       "-40;||HL-DT-STDVDRAM GSA-H44L, read offset 0|not used by this ripper version"},
      // Logs in other languages, read through EAC's strings as the checkers read them.
      {"EAC in Russian, UTF-16, signed, one file", RealLog("eac-1.0b3-russian-utf16.log"),
       "60|range rip -30;gaps not detected and appended (or not stated) -10;|11 of 11 tracks "
       "accurate (confidence 6 to 7)|PLEXTOR CD-R PX-S88T, read offset +98|OK"},
      {"EAC 0.99 in Russian, Windows-1251: the combined offset hides the read one",
       RealLog("eac-0.99-russian-cp1251.log"),
       "70|audio cache not defeated -10;null samples left out of the CRCs -5;a combined "
       "read/write offset -4;settings not stated: read offset -1;test and copy not used -10;||"
       "Optiarc DVD RW AD-7200S|not used by this ripper version"},
      {"EAC in Swedish, UTF-8: burst, timing problems, CRC mismatches",
       RealLog("eac-1.0b3-swedish-utf8.log"),
       "-30|not ripped in secure mode -20;CRC mismatch on tracks 8, 9, 10 -90;timing problems on "
       "track 2 -20;|9 of 11 tracks accurate (confidence 2)|TSSTcorpCDDVDW SH-S203D, read offset "
       "+6|missing"},
      {"EAC 1.3 in Spanish, UTF-16: a colon of the translation's own after some labels",
       RealLog("eac-1.3-spanish-utf16.log"),
       "70|audio cache not defeated -10;gaps not detected and appended (or not stated) -10;test "
       "and copy not used -10;|14 of 14 tracks accurate (confidence 1 to 2)|HL-DT-STDVDRAM "
       "GH24NS95, read offset +6|missing"},
      {"EAC 0.99 in Spanish, Windows-1252: that release's own words",
       RealLog("eac-0.99-spanish-cp1252.log"),
       "70|audio cache not defeated -10;C2 pointers used -10;test and copy not used -10;|not in "
       "the AccurateRip database|HL-DT-STDVDRAM GH22NS40, read offset +667|not used by this "
       "ripper version"},
      {"EAC before 0.99 in French, Windows-1252: the settings in the read mode, cased otherwise",
       RealLog("eac-0.9x-french-cp1252.log"),
       "45|EAC older than 0.99 -30;gaps not detected and appended (or not stated) -10;a combined "
       "read/write offset -4;settings not stated: read offset -1;test and copy not used -10;||"
       "PLEXTOR DVD-ROM PX-130A|not used by this ripper version"},
      {"XLD, signed, MP3 files", xld,
       "94|no .wav, .flac or .ape file on tracks 1, 2, 3, 4, 5, 6 -6;|3 of 6 tracks accurate "
       "(confidence 1)|TSSTcorp CDDVDW SE-218CB (revision MF00), read offset +6|OK"},
      {"the same, its drive changed", edited(xld, "SE-218CB", "SE-218CC"),
       "94|no .wav, .flac or .ape file on tracks 1, 2, 3, 4, 5, 6 -6;|3 of 6 tracks accurate "
       "(confidence 1)|TSSTcorp CDDVDW SE-218CC (revision MF00), read offset +6|edited"},
      {"XLD: the disc as one file", RealLog("xld-20170729-range.log"),
       "70|range rip -30;|3 of 3 tracks accurate (confidence 3 to 5)|VBOX CD-ROM (revision 1.0), "
       "read offset +6|OK"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Shape(ReadRipLog(c.Bytes)), c.Shape);
  }
}

TEST(RipLog, DecodesTheEncodingsLogsComeIn) {
  const std::string utf16 = RealLog("eac-1.0b3-russian-utf16.log");
  std::string bigEndian = utf16;
  for (std::size_t i = 0; i + 1 < bigEndian.size(); i += 2)
    std::swap(bigEndian[i], bigEndian[i + 1]);
  const struct {
    const char* Name;
    std::string Bytes;
  } cases[] = {
      {"UTF-16LE", utf16},
      {"UTF-16BE", bigEndian},
      {"UTF-16LE without a mark", utf16.substr(2)},
      {"UTF-16BE without a mark", bigEndian.substr(2)},
      {"Windows-1251", RealLog("eac-0.99-russian-cp1251.log")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_NE(RipLogTextOf(c.Bytes).find("Дисковод: "), std::string::npos);
  }
  EXPECT_EQ(RipsOf("\n" + std::string(60, '-') + "\nA\r\n" + std::string(60, '-') +
                   "\r\n\r\nB\n    " + std::string(60, '-') + "\nC\n"),
            (std::vector<std::string_view>{"A", "B\n    " + std::string(60, '-') + "\nC"}));
}

// A second of audio from ARver's tests (riplogs/README.md) with the checksums they publish
// for each place on a disc (whipper's own code gives the same), and its CRC with and without
// null samples.
TEST(RipLog, ComputesTheChecksumsLogsState) {
  const TAlbumAnalysis album = AnalyzeAlbum({RealLogPath("arver-sample.flac")}, {});
  ASSERT_TRUE(album.Tracks[0].RipSums);
  const TRipChecksums& sums = *album.Tracks[0].RipSums;
  EXPECT_EQ(sums.Crc, 0x8CE80129u);
  EXPECT_EQ(sums.CrcWithoutNulls, 0x2D5000DCu);
  const struct {
    const char* Name;
    EDiscPlace Place;
    TAccurateRipSums Sums;
  } cases[] = {
      {"the only track", EDiscPlace::Only, {0xF43F9174, 0x0AE7C6F9}},
      {"the first of 99", EDiscPlace::First, {0x9D6C90EC, 0xB775893E}},
      {"the 10th of 99", EDiscPlace::Middle, {0x3C8DD1D2, 0x56BBA272}},
      {"the last of 99", EDiscPlace::Last, {0x9360D25A, 0xAA2DE02D}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(sums.At(c.Place).V1, c.Sums.V1);
    EXPECT_EQ(sums.At(c.Place).V2, c.Sums.V2);
  }
}

// sox-made tracks decoded here, against logs that state their checksums (CRCs as flac's raw
// output and zlib give them: CF6EF475 and 5CAB25B6, E343426C and B64573A2 without null samples;
// AccurateRip's as whipper computes them), in the log's order or not.
TEST(RipLog, SaysWhetherTheLogDescribesTheFiles) {
  const std::string data = std::string(TAMBERLON_TEST_DATA) + "/";
  const TAlbumAnalysis album =
      AnalyzeAlbum({data + "flac-16bit-tags.flac", data + "flac-two-artists.flac"}, {});
  const auto log = [](const char* first, const char* second, bool nulls = true) {
    std::string text =
        Replaced(Replaced(Eac, "Copy CRC 1A2B3C4D", std::string("Copy CRC ") + first),
                 "Copy CRC 5E6F7081", std::string("Copy CRC ") + second);
    text = Replaced(Replaced(text, "[0A0B0C0D]", "[18BCBE56]"), "[1B2C3D4E]", "[5A7FD662]");
    return ReadRipLog(
        nulls ? text : Replaced(text, "calculations       : Yes", "calculations       : No"));
  };
  // XLD's one track (the disc's only), ripped at another offset than the database's.
  const TRipLog xld = ReadRipLog(Replaced(
      Replaced(Xld, "hash             : 1A2B3C4D", "hash             : CF6EF475"),
      "v1 signature : 0A0B0C0D",
      "v1 signature : AFCFB4E3 (12345678 w/correction)\n    AccurateRip v2 signature : C8EB3DAC"));
  const std::vector<const TTrackAnalysis*> both = {&album.Tracks[0], &album.Tracks[1]};
  const struct {
    const char* Name;
    TRipLog Log;
    std::vector<const TTrackAnalysis*> Tracks;
    std::string Match;
  } cases[] = {
      {"the rip's files", log("CF6EF475", "5CAB25B6"), both, "the log matches all 2 tracks"},
      {"in another order", log("5CAB25B6", "CF6EF475"), both, "tracks 1, 2 do not match the log"},
      {"one of another rip", log("CF6EF475", "5CAB25B7"), both, "track 2 does not match the log"},
      {"a track missing",
       log("CF6EF475", "5CAB25B6"),
       {&album.Tracks[0]},
       "the log has 2 tracks, the files 1"},
      {"CRCs without null samples", log("E343426C", "B64573A2", false), both,
       "the log matches all 2 tracks"},
      {"CRCs with null samples where the log says without", log("CF6EF475", "5CAB25B6", false),
       both, "tracks 1, 2 do not match the log"},
      {"whipper's log of the files", ReadRipLog(Whipper), both, "the log matches all 2 tracks"},
      {"whipper's, only the last track's AccurateRip v2 another's",
       ReadRipLog(Replaced(Whipper, "Local CRC: 5A7FD662", "Local CRC: 5A7FD663")), both,
       "track 2 does not match the log"},
      {"EAC 0.99's AccurateRip, v1 without its name",
       ReadRipLog(Replaced(Replaced(Eac, "Copy CRC 1A2B3C4D", "Copy CRC CF6EF475"),
                           "[0A0B0C0D]  (AR v2)\r\n", "[FBE4B41D]\r\n")),
       both, "track 2 does not match the log"},
      {"XLD's only track", xld, {&album.Tracks[0]}, "the log matches its one track"},
      {"XLD's only track as the second of two",
       xld,
       {&album.Tracks[1]},
       "track 1 does not match the log"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(LogMatchText(c.Log, c.Tracks), c.Match);
  }
}
