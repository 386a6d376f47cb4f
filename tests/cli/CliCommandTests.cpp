// SPDX-License-Identifier: GPL-3.0-or-later
// The document commands run in-process, with the scripted host and their own streams.
#include "audio/CRC32Unit.h"
#include "cli/CommandLine.h"
#include "cli/JsonText.h"
#include "common/FileUnit.h"
#include "common/TextListUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "par2/RecoveryRepairUnit.h"
#include "platform/ConsoleHost.h"
#include "posting/PostPlan.h"
#include "support/AlbumScenario.h"
#include "support/Mp3Builder.h"
#include "support/ScriptedHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace {
struct CliCommands : ::testing::Test {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;
  std::ostringstream Out, Err;
  TCliContext Context{Out, Err, false};
  std::string Album = Host.ProgramDir.Path() + "album/";

  // The command line after the program's name, run in-process.
  int Run(const std::string& command, std::vector<std::string> arguments) {
    Out.str("");
    Err.str("");
    arguments.insert(arguments.begin(), command);
    return RunCommandLine(arguments, Context);
  }
};
} // namespace

TEST_F(CliCommands, NfoWritesWhatTheWindowSaves) {
  PrepareFixtureAlbum(Album);
  std::vector<std::string> arguments = {
      "--ripped-by", "Ripper", "--posted-by", "Poster", "--various-artists-template",
      "--sfv",       Album};
  for (const std::string& group : FixtureAlbumGroups)
    arguments.insert(arguments.begin(), {"--group", group});
  ASSERT_EQ(Run("nfo", arguments), 0) << Err.str();
  const std::string nfo = Album + "Various Artists - Into the Trees.nfo";
  EXPECT_EQ(ReadWholeFile(nfo), JoinTextLines(ExpectedFixtureAlbumNfo()) + "\r\n");

  // Never silently over an existing document.
  EXPECT_EQ(Run("nfo", {Album}), 1);
  EXPECT_NE(Err.str().find("exists; use --force"), std::string::npos);
  EXPECT_EQ(Run("nfo", {"--force", "--no-sort", Album}), 0) << Err.str();

  // The checker agrees with what was written; one changed byte fails it.
  const std::string sfv = Album + "Various Artists - Into the Trees.sfv";
  EXPECT_EQ(Run("check", {sfv}), 0) << Out.str();
  std::string bytes = ReadWholeFile(Album + "lame-vbr-mono.mp3");
  bytes[bytes.size() / 2] ^= 1;
  Host.ProgramDir.Write("album/lame-vbr-mono.mp3", bytes);
  std::filesystem::remove(Album + "mutagen-v24-utf8.mp3");
  EXPECT_EQ(Run("check", {sfv}), 1);
  EXPECT_NE(Out.str().find("lame-vbr-mono.mp3 FAILED"), std::string::npos);
  EXPECT_NE(Out.str().find("mutagen-v24-utf8.mp3 MISSING"), std::string::npos);
}

TEST_F(CliCommands, EveryOptionOverridesItsField) {
  PrepareFixtureAlbum(Album);
  ASSERT_EQ(Run("nfo", {"--stdout",
                        "--template",
                        Host.ProgramDir.Write("t.txt", "$ARTIST|$ALBUM|$YEAR|$GENRE|$SOURCE|"
                                                       "$LABEL|$ENCODER|$CODEC|$BIT_RATE|"
                                                       "$SAMPLE_RATE|$STEREO|$ID3_VERSION|"
                                                       "$RIPPED_BY|$RIP_DATE|$POSTED_BY|"
                                                       "$POST_DATE"),
                        "--artist",
                        "A",
                        "--album",
                        "B",
                        "--year",
                        "1999",
                        "--genre",
                        "G",
                        "--source",
                        "Vinyl",
                        "--label",
                        "L",
                        "--encoder",
                        "E",
                        "--codec",
                        "C",
                        "--bitrate",
                        "320K/s",
                        "--vbr",
                        "--samplerate",
                        "48000Hz",
                        "--stereo",
                        "mono",
                        "--id3",
                        "ID3v1.1",
                        "--ripped-by",
                        "R",
                        "--rip-date",
                        "2020-02-29",
                        "--posted-by",
                        "P",
                        "--post-date",
                        "2021-03-04",
                        Album}),
            0)
      << Err.str();
  EXPECT_EQ(Out.str(),
            "A|B|1999|G|Vinyl|L|E|C|VBR ~320K/s|48000Hz|Mono|ID3v1.1|R|2/29/2020|P|3/4/2021\r\n");
}

// The command-line tool reads the window's preferences file: its encoding, ripper and
// newsgroups; a value there that means nothing is told as the file's, and its default
// serves.
TEST_F(CliCommands, ReadsTheWindowsPreferences) {
  PrepareFixtureAlbum(Album);
  const std::string ini = Host.ProgramDir.Write(
      "tamberlon.INI", "[MenuPrefs]\r\nNfoEncoding=cp437\r\n[InitPrefs]\r\nRippedBy=Ripp\u00E9r\r\n"
                       "NGPostedTo=alt.binaries.one\r\n");
  const std::string templatePath =
      Host.ProgramDir.Write("t.txt", "$RIPPED_BY@FOR_EACH_NEWSGROUP $GROUP_NAME@END_NEWSGROUP");
  ASSERT_EQ(Run("nfo", {"--stdout", "--template", templatePath, Album}), 0) << Err.str();
  EXPECT_EQ(Out.str(), "Ripp\x82r alt.binaries.one\r\n\r\n");

  Host.ProgramDir.Write("tamberlon.INI",
                        "[MenuPrefs]\r\nNfoEncoding=xyz\r\nPar2Redundancy=abc\r\n");
  Host.ExpectMessage(TMessageKind::Information,
                     "NfoEncoding=xyz is no encoding Tamberlon knows (utf-8, cp437 or "
                     "windows-1252); utf-8 is used\n" +
                         ini);
  Host.ExpectMessage(TMessageKind::Information,
                     "Par2Redundancy=abc means nothing to Tamberlon; 10 is used\n" + ini);
  ASSERT_EQ(Run("nfo", {"--stdout", "--template", templatePath, Album}), 0) << Err.str();
  EXPECT_EQ(Out.str(), "\r\n");
}

TEST_F(CliCommands, SfvAndUsage) {
  PrepareFixtureAlbum(Album);
  ASSERT_EQ(Run("sfv", {"-o", Album + "album.sfv", Album}), 0) << Err.str();
  EXPECT_EQ(Run("check", {Album + "album.sfv"}), 0);
  EXPECT_EQ(Out.str().substr(0, 24), "lame-cbr128-tags.mp3 OK\n");
  EXPECT_EQ(Run("sfv", {"-o", Album + "album.sfv", Album}), 1); // exists
  // A checksum list and a recovery set take any file: what a file holds is not theirs to
  // judge (a file named .mp3 that held no audio was an error each, and par2 failed).
  Host.ProgramDir.Write("album/notes.mp3", "not audio at all");
  EXPECT_EQ(Run("sfv", {"-o", Album + "any.sfv", Album}), 0) << Err.str();
  EXPECT_EQ(Run("par2", {"-o", Album + "any.par2", Album}), 0) << Err.str();
  std::filesystem::remove(Album + "notes.mp3");

  // A password file others can read is refused, as ssh refuses such a key.
  const std::string password = Host.ProgramDir.Write("password", "secret\n");
  using std::filesystem::perms;
  std::filesystem::permissions(password, perms::owner_read | perms::owner_write |
                                             perms::group_read | perms::others_read);
  const std::vector<std::string> server = {"--server", "127.0.0.1:1", "--group", "a.b"};
  const auto post = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), server.begin(), server.end());
    arguments.push_back(Album + "album.sfv");
    return arguments;
  };
  const struct {
    std::string Command;
    std::vector<std::string> Arguments;
  } bad[] = {{"post", {Album + "album.sfv"}}, // no server named
             {"post", post({"--tls", "maybe"})},
             {"post", post({"--connections", "0"})},
             {"post", post({"--server", "127.0.0.1:70000"})},
             {"nfo", {"--post", "--recursive", Album}},
             {"nfo", {}},
             {"nfo", {"--bogus", Album}},
             {"nfo", {"--artist"}},
             {"nfo", {"--rip-date", "yesterday", Album}},
             {"nfo", {"--stereo", "quad", Album}},
             {"nfo", {"--rip-date", "2023-02-29", Album}}, // no day, not 1 March
             {"nfo", {Host.ProgramDir.Path() + "empty-folder-that-is-missing"}},
             {"sfv", {}},
             {"check", {}},
             {"check", {"a.sfv", "b.sfv"}},
             {"post", post({"--user", "me", "--password-file", password})}};
  for (const auto& c : bad) {
    SCOPED_TRACE(c.Arguments.empty() ? "(none)" : c.Arguments.front());
    // A missing file is analysed quietly and then makes no album at all.
    EXPECT_EQ(Run(c.Command, c.Arguments), 2);
    EXPECT_FALSE(Err.str().empty());
  }
  EXPECT_NE(Err.str().find("others can read it (mode 0644)"), std::string::npos) << Err.str();
  EXPECT_EQ(Run("nfo", {"--help"}), 0);
  EXPECT_NE(Out.str().find("--various-artists-template"), std::string::npos);

  // A mistyped option names the one it most likely meant; one nothing like any gets no guess.
  EXPECT_EQ(Run("nfo", {"--ripper", "Me", Album}), 2);
  EXPECT_EQ(Err.str().substr(0, Err.str().find('\n')),
            "tamberlon-cli: unknown option --ripper; did you mean --ripped-by?");
  EXPECT_EQ(Run("nfo", {"--zzzzzz", Album}), 2);
  EXPECT_EQ(Err.str().substr(0, Err.str().find('\n')), "tamberlon-cli: unknown option --zzzzzz");
  EXPECT_EQ(Run("nfo", {"--sfv=yes", Album}), 2); // a switch takes no value
  // A folder whose albums lie below it points to --recursive.
  EXPECT_EQ(Run("nfo", {Host.ProgramDir.Path()}), 2);
  EXPECT_NE(
      Err.str().find("no track files given; the albums are in folders below: use --recursive"),
      std::string::npos)
      << Err.str();
}

// An .sfv from a download names only what lies in its own folder: anything else is
// reported on its own line, counts as bad and is never read. A FIFO is no file.
TEST_F(CliCommands, CheckReadsOnlyInsideTheSfvFolder) {
  namespace fs = std::filesystem;
  const std::string outside = Host.ProgramDir.Write("outside.mp3", "outside bytes");
  fs::create_directories(Album + "sub");
  Host.ProgramDir.Write("album/sub/inside.mp3", "inside bytes");
  fs::create_symlink(outside, Album + "link.mp3");
  ASSERT_EQ(::mkfifo((Album + "fifo.mp3").c_str(), 0644), 0);
  const std::string crc = CRC32Text(*FileCRC32(outside));
  const std::string sfv = Host.ProgramDir.Write(
      "album/album.sfv", "sub/inside.mp3 " + CRC32Text(*FileCRC32(Album + "sub/inside.mp3")) +
                             "\r\n../outside.mp3 " + crc + "\r\nsub/../../outside.mp3 " + crc +
                             "\r\n" + outside + " " + crc + "\r\nlink.mp3 " + crc +
                             "\r\nfifo.mp3 " + crc + "\r\n");
  EXPECT_EQ(Run("check", {sfv}), 1);
  EXPECT_EQ(Out.str(),
            "sub/inside.mp3 OK\n../outside.mp3 UNSAFE\nsub/../../outside.mp3 UNSAFE\n" + outside +
                " UNSAFE\nlink.mp3 UNSAFE\nfifo.mp3 MISSING\n1 OK, 5 bad (1 missing, 4 unsafe)\n");
}

namespace {
std::string Shell(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
      output.append(buffer, got);
    ::pclose(pipe);
  }
  return output;
}
} // namespace

// The playlist a real player reads, every entry of it; the .nfo in the DOS code page with
// its box-drawing art, as iconv reads it back; a character the code page lacks stops the
// command before anything is written.
TEST_F(CliCommands, PlaylistAndClassicEncodings) {
  PrepareFixtureAlbum(Album);
  ASSERT_EQ(Run("nfo", {"--m3u", "-o", Album + "album.nfo", Album}), 0) << Err.str();
  const std::string m3u = ReadWholeFile(Album + "album.m3u");
  EXPECT_EQ(m3u.substr(0, 19), "#EXTM3U\r\n#EXTINF:1,");
  EXPECT_EQ(std::count(m3u.begin(), m3u.end(), '\n'), 11);
  const std::string played =
      Shell("cd '" + Album + "' && ffmpeg -hide_banner -nostdin -v verbose -f hls " +
            "-allowed_extensions ALL -live_start_index 0 " + "-i album.m3u -f null - 2>&1");
  for (const char* name : {"lame-cbr128-tags.mp3", "lame-mpeg2-id3v1.mp3", "lame-vbr-mono.mp3",
                           "mutagen-v23-utf16.mp3", "mutagen-v24-utf8.mp3"})
    EXPECT_NE(played.find(std::string("Opening '") + name + "'"), std::string::npos) << name << "\n"
                                                                                     << played;

  // A list names each track from its own folder, however the track was given: by a path
  // relative to where the command runs, or from a list in the folder above.
  const std::string here = std::filesystem::current_path();
  std::filesystem::current_path(Host.ProgramDir.Path());
  const int relative =
      Run("nfo", {"--m3u", "--force", "-o", Album + "album.nfo", "album/lame-vbr-mono.mp3"});
  std::filesystem::current_path(here);
  ASSERT_EQ(relative, 0) << Err.str();
  EXPECT_TRUE(
      ReadWholeFile(Album + "album.m3u").ends_with(",lame-vbr-mono\r\nlame-vbr-mono.mp3\r\n"));
  const std::string above = Host.ProgramDir.Path() + "above.sfv";
  ASSERT_EQ(Run("sfv", {"-o", above, Album}), 0) << Err.str();
  EXPECT_EQ(Run("check", {above}), 0) << Out.str();
  EXPECT_NE(Out.str().find("album/lame-vbr-mono.mp3 OK"), std::string::npos) << Out.str();

  const std::string art = Host.ProgramDir.Write("art.txt", "╔══╗\r\n║$ARTIST║\r\n╚══╝");
  // A value that is a word is taken in any case, and "--name=value" is "--name value".
  ASSERT_EQ(Run("nfo", {"--template", art, "--encoding=CP437", "-o", Album + "art.nfo", Album}), 0)
      << Err.str();
  EXPECT_EQ(ReadWholeFile(Album + "art.nfo"),
            "\xC9\xCD\xCD\xBB\r\n\xBAVarious Artists\xBA\r\n\xC8\xCD\xCD\xBC\r\n");
  EXPECT_EQ(Shell("iconv -f CP437 -t UTF-8 '" + Album + "art.nfo'"),
            "╔══╗\r\n║Various Artists║\r\n╚══╝\r\n");

  const std::string snow = Host.ProgramDir.Write("snow.txt", "$ARTIST ☃ ✓ ☃");
  EXPECT_EQ(
      Run("nfo", {"--template", snow, "--encoding", "cp437", "-o", Album + "snow.nfo", Album}), 1);
  EXPECT_EQ(Err.str(), "tamberlon-cli: cp437 has no place for these characters: ☃✓; nothing "
                       "written\n");
  EXPECT_FALSE(std::filesystem::exists(Album + "snow.nfo"));

  // The window's "write ? instead": asked (no, then yes) or given by the option.
  const std::string question = "The encoding DOS (CP437) has no place for these characters: "
                               "☃✓\nSave the .NFO file with \"?\" in their place?";
  const std::vector<std::string> snowy = {"--template",       snow, "--encoding", "cp437", "-o",
                                          Album + "snow.nfo", Album};
  const auto with = [&](std::string choice) {
    std::vector<std::string> arguments = snowy;
    arguments.insert(arguments.begin(), choice);
    return arguments;
  };
  Host.ExpectMessage(TMessageKind::Confirmation, question, TMessageResult::No);
  EXPECT_EQ(Run("nfo", with("--unmappable=ask")), 1);
  EXPECT_FALSE(std::filesystem::exists(Album + "snow.nfo"));
  Host.ExpectMessage(TMessageKind::Confirmation, question, TMessageResult::Yes);
  EXPECT_EQ(Run("nfo", with("--unmappable=Ask")), 0) << Err.str();
  EXPECT_EQ(ReadWholeFile(Album + "snow.nfo"), "Various Artists ? ? ?\r\n");
  EXPECT_EQ(Run("nfo", with("--unmappable=replace")), 1); // exists: kept without --force
  std::filesystem::remove(Album + "snow.nfo");
  EXPECT_EQ(Run("nfo", with("--unmappable=replace")), 0) << Err.str();
  EXPECT_EQ(Run("nfo", with("--unmappable=maybe")), 2);
}

// What would lose or break a file is refused before anything is written, naming the
// files: a document over another one or over a track, a name the lists cannot carry, a
// pipe given as a track, a link to itself.
TEST_F(CliCommands, RefusesWhatWouldLoseOrBreakAFile) {
  namespace fs = std::filesystem;
  PrepareFixtureAlbum(Album);
  const std::string track = Album + "lame-vbr-mono.mp3";
  const std::string bytes = ReadWholeFile(track);
  Host.RecordOnly = true;
  const auto make = [&](const char* name) {
    return [this, name, &bytes] {
      Host.ProgramDir.Write("album/" + std::string(name), bytes);
    };
  };
  const struct {
    const char* Name;
    std::function<void()> Setup;
    std::string Command;
    std::vector<std::string> Arguments;
    const char* Said;
  } cases[] = {
      {"the .nfo named like its .sfv",
       {},
       "nfo",
       {"--sfv", "-o", Album + "out.sfv", Album},
       "The .nfo and the .sfv would be the same file"},
      {"the .nfo named like its .m3u",
       {},
       "nfo",
       {"--m3u", "-o", Album + "x.m3u", Album},
       "The .nfo and the .m3u would be the same file"},
      {"the .sfv over a track",
       {},
       "sfv",
       {"--force", "-o", track, track, Album + "lame-cbr128-tags.mp3"},
       "The .sfv would be written over the track"},
      {"a name starting with ;",
       make(";intro.mp3"),
       "nfo",
       {"--sfv", "-o", Album + "semi.nfo", Album},
       "starts with \";\""},
      {"a name holding a line break",
       make("line\nbreak.mp3"),
       "nfo",
       {"--m3u", "-o", Album + "break.nfo", Album},
       "line break"},
      {"a pipe as a track",
       [&] { ::mkfifo((Album + "pipe.mp3").c_str(), 0644); },
       "nfo",
       {"-o", Album + "pipe.nfo", Album + "pipe.mp3", track},
       "pipe.mp3: not a regular file"},
      {"an input named like a volume of the set",
       make("s.vol0+1.par2"),
       "par2",
       {"--force", "-o", Album + "s.par2", track, Album + "s.vol0+1.par2"},
       "would be written over this file they protect"},
      {"a name PAR2 clients cannot find",
       make("back\\slash.mp3"),
       "par2",
       {"-o", Album + "bs.par2", track, Album + "back\\slash.mp3"},
       "holds a backslash"},
      {"an .sfv in a folder that does not hold its tracks",
       [&] { fs::create_directory(Album + "sub"); },
       "sfv",
       {"-o", Album + "sub/list.sfv", track},
       "The .sfv file can only name tracks in its folder or below it"},
      {"an .m3u in a folder that does not hold its tracks",
       {},
       "nfo",
       {"--m3u", "-o", Album + "sub/list.nfo", track},
       "The .m3u file can only name tracks in its folder or below it"},
      {"a new .nfo beside the recovery set that lists the old one",
       [&] {
         Run("nfo", {"--par2", "-o", Album + "set.nfo", track});
         fs::remove(Album + "set.nfo");
       },
       "nfo",
       {"--par2", "-o", Album + "set.nfo", track},
       "set.par2: lists set.nfo, which this save would change, and would no longer match it"},
      {"a link to itself",
       [&] { fs::create_symlink("self.mp3", Album + "self.mp3"); },
       "sfv",
       {"-o", Album + "self.sfv", Album},
       "Too many levels of symbolic links"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.Setup)
      c.Setup();
    std::vector<std::string> before;
    for (const auto& entry : fs::directory_iterator(Album))
      before.push_back(entry.path().filename().string());
    Host.Calls.clear();
    EXPECT_EQ(Run(c.Command, c.Arguments), 1);
    std::string said = Err.str();
    for (const std::string& call : Host.Calls)
      said += call + "\n";
    EXPECT_NE(said.find(c.Said), std::string::npos) << said;
    std::vector<std::string> after;
    for (const auto& entry : fs::directory_iterator(Album))
      after.push_back(entry.path().filename().string());
    EXPECT_EQ(after.size(), before.size()); // nothing written
    EXPECT_EQ(ReadWholeFile(track), bytes);
    for (const char* made : {";intro.mp3", "line\nbreak.mp3", "pipe.mp3", "self.mp3",
                             "s.vol0+1.par2", "back\\slash.mp3"})
      fs::remove(Album + made);
  }
}

// An .sfv passes only when every line was verified: check gives the verdict rhash -c and
// cksfv give on the same damaged files (cksfv alone reads a byte-order mark as part of
// the first name).
TEST_F(CliCommands, CheckJudgesDamagedFilesAsRhashAndCksfvDo) {
  PrepareFixtureAlbum(Album);
  const auto entry = [&](const std::string& name) {
    return name + " " + CRC32Text(*FileCRC32(Album + name));
  };
  const std::string a = entry("lame-cbr128-tags.mp3");
  const std::string b = entry("lame-vbr-mono.mp3");
  const struct {
    const char* Name;
    std::string Text;
    bool Passes;
    bool CksfvAgrees = true;
  } cases[] = {
      {"every entry right", a + "\r\n" + b + "\r\n", true},
      {"comments and blank lines", "; made by hand\r\n\r\n" + a + "\r\n" + b, true},
      {"a tab before the checksum", a + "\r\nlame-vbr-mono.mp3\t" + b.substr(b.size() - 8), true},
      {"a byte-order mark", "\xEF\xBB\xBF" + a + "\r\n" + b + "\r\n", true, false},
      {"a NUL line, then a wrong entry",
       a + std::string("\r\n\0\r\n", 5) + "lame-vbr-mono.mp3 00000000\r\n", false},
      {"a NUL inside an entry",
       a + "\r\nlame-vbr-mono.mp3" + std::string(1, '\0') + b.substr(b.size() - 9), false},
      {"a letter that is no digit", a + "\r\nlame-vbr-mono.mp3 5108ZA7A\r\n", false},
      {"seven digits", a + "\r\nlame-vbr-mono.mp3 1234567\r\n", false},
      {"a line that is no entry", a + "\r\nthis is not an entry\r\n", false},
      {"a folder written the Windows way", "cd1\\" + a + "\r\n", true, false},
  };
  std::filesystem::create_directory(Album + "cd1");
  std::filesystem::copy_file(Album + "lame-cbr128-tags.mp3", Album + "cd1/lame-cbr128-tags.mp3");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Host.ProgramDir.Write("album/check.sfv", c.Text);
    EXPECT_EQ(Run("check", {Album + "check.sfv"}) == 0, c.Passes) << Out.str() << Err.str();
    const auto passes = [&](const std::string& tool) {
      return Shell("cd '" + Album + "' && " + tool + " >/dev/null 2>&1; echo $?") == "0\n";
    };
    EXPECT_EQ(passes("rhash -c check.sfv"), c.Passes);
    if (c.CksfvAgrees) {
      EXPECT_EQ(passes("cksfv -q -f check.sfv"), c.Passes);
    }
  }
  // A track given as the list is said to be no list, once (it took a line a line before).
  EXPECT_EQ(Run("check", {Album + "lame-cbr128-tags.mp3"}), 1);
  EXPECT_EQ(Err.str(), "tamberlon-cli: " + Album +
                           "lame-cbr128-tags.mp3: no line lists a file and its checksum: this is "
                           "no SFV file\n");
}

// --recursive names what it could not read: a root that is no folder, a folder below that
// is locked (counted failed); an album with a track that cannot be read is written and
// counted under its own word; the status follows the summary.
TEST_F(CliCommands, RecursiveSaysWhatItCouldNotRead) {
  const std::string shelf = Host.ProgramDir.Path() + "shelf/";
  PrepareFixtureAlbum(shelf + "one/");
  PrepareFixtureAlbum(shelf + "locked/");
  const std::string unreadable = PrepareFixtureAlbum(shelf + "two/").front();
  Host.ProgramDir.Write("shelf/notes.txt", "not a folder");
  ::chmod((shelf + "locked").c_str(), 0);
  ::chmod(unreadable.c_str(), 0);
  Host.RecordOnly = true;
  SetPermissionOverride(false); // as root too, locked is locked
  const int status = Run("nfo", {"--recursive", shelf, shelf + "notes.txt", shelf + "missing"});
  SetPermissionOverride(true);
  ::chmod((shelf + "locked").c_str(), 0755);
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(Context.StatusFinal);
  EXPECT_NE(Out.str().find("3 albums: 2 written, 0 skipped, 1 failed, 1 warning (tracks that "
                           "could not be read)\n"),
            std::string::npos)
      << Out.str();
  for (const std::string& said :
       {shelf + "locked/: Permission denied", shelf + "notes.txt: not a folder",
        shelf + "missing: no such folder"})
    EXPECT_NE(Err.str().find(said), std::string::npos) << said << "\n" << Err.str();
}

// A shelf of albums in one run: each folder that holds MP3 files is an album, and a folder
// of disc folders (CD1/, CD2/) one album whose lists name its discs' tracks and whose
// template numbers the discs (a lone disc folder stays an album of its own). One whose
// .nfo exists keeps it (named) and gets the companions it lacks; a second run finds
// every album complete and skips them all.
TEST_F(CliCommands, RecursiveWritesEveryAlbumOfATree) {
  const std::string shelf = Host.ProgramDir.Path() + "shelf/";
  PrepareFixtureAlbum(shelf + "one/");
  PrepareFixtureAlbum(shelf + "two/disc 2/");
  PrepareFixtureAlbum(shelf + "three/");
  PrepareFixtureAlbum(shelf + "four/CD2/");
  PrepareFixtureAlbum(shelf + "four/CD1/");
  std::filesystem::create_directories(shelf + "no music");
  Host.ProgramDir.Write("shelf/three/Various Artists - Into the Trees.nfo", "mine\r\n");
  EXPECT_EQ(Run("nfo", {"--recursive", "--sfv", shelf}), 0) << Err.str();
  EXPECT_NE(Out.str().find("4 albums: 4 written, 0 skipped, 0 failed\n"), std::string::npos)
      << Out.str();
  EXPECT_NE(Err.str().find("three/Various Artists - Into the Trees.nfo: exists"),
            std::string::npos);
  EXPECT_EQ(ReadWholeFile(shelf + "three/Various Artists - Into the Trees.nfo"), "mine\r\n");
  for (const char* album : {"one/", "two/disc 2/", "three/"})
    EXPECT_TRUE(std::filesystem::exists(shelf + album + "Various Artists - Into the Trees.sfv"))
        << album;
  EXPECT_EQ(Run("nfo", {"--recursive", "--sfv", shelf}), 0) << Err.str();
  EXPECT_NE(Out.str().find("4 albums: 0 written, 4 skipped, 0 failed\n"), std::string::npos);
  const std::string skipped = Err.str(); // one line an album, not one a document
  EXPECT_EQ(std::count(skipped.begin(), skipped.end(), '\n'), 4) << skipped;
  EXPECT_EQ(Run("nfo", {"--recursive", "-o", "x.nfo", shelf}), 2);
  std::string discs;
  for (const auto& entry : std::filesystem::directory_iterator(shelf + "four"))
    if (entry.path().extension() == ".sfv")
      discs = ReadWholeFile(entry.path().string());
  EXPECT_LT(discs.find("CD1/"), discs.find("CD2/")) << discs;
  EXPECT_NE(discs.find("CD2/"), std::string::npos) << discs;
  // Each disc's rip log: the album's score is the lower, AccurateRip counts both discs.
  const std::string log = "X Lossless Decoder version 20230627\nUsed drive : D\nRipper mode : "
                          "XLD Secure Ripper\nDisable audio cache : OK\nMake use of C2 pointers "
                          ": NO\nRead offset correction : 6\nGap status : Analyzed, "
                          "Appended\nTrack 01\n CRC32 hash (test run) : 1\n CRC32 hash : 1\n "
                          "->Accurately ripped (v2, confidence 3/3)\nEnd of status report\n";
  Host.ProgramDir.Write("shelf/four/CD1/rip.log", log + "-----BEGIN XLD SIGNATURE-----\n");
  Host.ProgramDir.Write("shelf/four/CD2/rip.log", log);
  Host.ProgramDir.Write("discs.txt", "$LOG_SCORE|$ACCURATERIP|$RIPPER_DRIVE "
                                     "$DISC_COUNT@FOR_EACH_TRACK\r\n $DISC_NUMBER@END_TRACK");
  ASSERT_EQ(Run("render", {"--template", Host.ProgramDir.Path() + "discs.txt", shelf + "four"}), 0)
      << Err.str();
  EXPECT_EQ(Out.str(), "98|2 of 2 tracks accurate (confidence 3)|D, read offset +6 2 1\r\n 1\r\n "
                       "1\r\n 1\r\n 1\r\n 2\r\n 2\r\n 2\r\n 2\r\n 2\r\n");
}

// The command-line tool's regional forms come from the C library's locale: its strftime
// forms in the program's letters, English forms where a conversion has no letters.
TEST(ConsoleHost, RegionalFormsFromTheCLibrary) {
  const struct {
    const char* Strftime;
    bool Time;
    std::optional<std::string> Expected;
  } cases[] = {{"%m/%d/%y", false, "MM/dd/yy"},      {"%d.%m.%Y", false, "dd.MM.yyyy"},
               {"%e/%m/%Y", false, "d/MM/yyyy"},     {"%I:%M:%S %p", true, "hh:mm AP"},
               {"%H:%M:%S", true, "HH:mm"},          {"%Hh%M", true, "HHhmm"},
               {"%a %d %b %Y", false, std::nullopt}, {"%d%", false, std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Strftime);
    EXPECT_EQ(ProgramForm(c.Strftime, c.Time), c.Expected);
  }
  const locale_t posix = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  ASSERT_NE(posix, static_cast<locale_t>(nullptr));
  const TRegionalSettings settings = LocaleRegionalSettings(posix);
  freelocale(posix);
  EXPECT_EQ(settings.DecimalSeparator, ".");
  EXPECT_EQ(settings.ShortDateFormat, "MM/dd/yy");
  EXPECT_EQ(settings.ShortTimeFormat, "HH:mm");
  EXPECT_EQ(settings.TimeSeparator, ":");
}

// Every line the tool writes on stderr is made by one function: a server's greeting, a log's
// or a sheet's text reaches the terminal with its control characters escaped, the line
// breaks of a message as spaces.
TEST(ConsoleHost, LinesFromOutsideReachNoTerminalRaw) {
  const struct {
    const char* Name;
    std::string Path, Text, Line;
  } cases[] = {
      {"server greeting", "", "502 \x1B]0;OWNED\x07 \x1B[2J",
       "tamberlon-cli: 502 \\x1B]0;OWNED\\x07 \\x1B[2J\n"},
      {"lines of a message", "a.par2", "Not repairable.\r\nNeeds 2 more.",
       "tamberlon-cli: a.par2: Not repairable. Needs 2 more.\n"},
      {"a name in the path and the text",
       "CD\x1B"
       "1/a\\b.log",
       "reads \xC2\x9B"
       "2J in CD\\x1B1",
       "tamberlon-cli: CD\\x1B1/a\\\\b.log: reads \\xC2\\x9B2J in CD\\x1B1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ConsoleLine(c.Path, c.Text), c.Line);
  }
  // JSON (a log's drive, a tag), and a document printed on a terminal: the same characters
  // escaped; a name's invalid UTF-8 replaced, never a failure; a code page's bytes kept.
  EXPECT_EQ(JsonText(nlohmann::json{{"Drive", "a\x1B\xC2\x9B"
                                              "2J\xE2\x80\xAE\xFF"}}),
            "{\"Drive\":\"a\\u001b\\u009b2J\\u202e\xEF\xBF\xBD\"}");
  EXPECT_EQ(PrintableDocument("Title: \x1B]0;x\x07\r\nA\rB\t\x82\xC2\x9B\xE2\x80\xAE\r\n"),
            "Title: \\x1B]0;x\\x07\r\nA\\x0DB\t\x82\\xC2\\x9B\\xE2\\x80\\xAE\r\n");
}

namespace {
// The distinct packets of a folder's .par2 files, but the creator's note (each program
// signs its own), and the names of those files with the set's base taken out.
std::pair<std::set<std::string>, std::set<std::string>> RecoveryPackets(const std::string& folder,
                                                                        const std::string& base) {
  std::set<std::string> packets, names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (!name.ends_with(".par2"))
      continue;
    names.insert(name.substr(base.size()));
    const std::string bytes = ReadWholeFile(entry.path().string());
    for (std::size_t at = 0; at + 64 <= bytes.size();) {
      std::uint64_t length = 0;
      for (int i = 7; i >= 0; --i)
        length = (length << 8) | static_cast<unsigned char>(bytes[at + 8 + i]);
      if (length < 64 || length > bytes.size() - at)
        break;
      if (bytes.compare(at + 48, 16, std::string("PAR 2.0\0Creator\0", 16)) != 0)
        packets.insert(bytes.substr(at, length));
      at += length;
    }
  }
  return {packets, names};
}
} // namespace

// The recovery files are par2cmdline's, packet for packet and name for name (its creator's
// note aside); par2 verifies them and check agrees; after a track is deleted and 100 KB of
// another overwritten, check says it can be repaired and par2 repair restores both.
TEST_F(CliCommands, RecoveryFilesAreWhatPar2MakesAndRepairs) {
  std::filesystem::create_directories(Album);
  for (int i = 1; i <= 4; ++i)
    Host.ProgramDir.Write("album/0" + std::to_string(i) + ".mp3", Frames({}, 300 * i));
  ASSERT_EQ(Run("nfo", {"--sfv", "--m3u", "--par2", "--redundancy", "60", "--block-size", "16384",
                        "-o", Album + "set.nfo", Album}),
            0)
      << Err.str();
  const std::string reference = Host.ProgramDir.Path() + "reference/";
  ASSERT_EQ(Shell("mkdir '" + reference + "' && cd '" + Album + "' && cp *.mp3 set.nfo set.sfv " +
                  "set.m3u '" + reference + "' && cd '" + reference +
                  "' && par2 create -q -q -s16384 -r60 ref.par2 * >/dev/null 2>&1; echo $?"),
            "0\n");
  const auto ours = RecoveryPackets(Album, "set");
  const auto theirs = RecoveryPackets(reference, "ref");
  EXPECT_EQ(ours.second, theirs.second);
  EXPECT_EQ(ours.first.size(), theirs.first.size());
  EXPECT_TRUE(ours.first == theirs.first);

  const auto par2 = [&](const std::string& action) {
    return Shell("cd '" + Album + "' && par2 " + action + " -q set.par2 >/dev/null 2>&1; echo $?");
  };
  EXPECT_EQ(par2("verify"), "0\n");
  EXPECT_EQ(Run("check", {Album + "set.vol00+01.par2"}), 0) << Out.str();
  const std::string second = ReadWholeFile(Album + "02.mp3");
  const std::string fourth = ReadWholeFile(Album + "04.mp3");
  std::filesystem::remove(Album + "02.mp3");
  Host.ProgramDir.Write("album/04.mp3", fourth.substr(0, 200000) + std::string(100000, '\x7F') +
                                            fourth.substr(300000));
  EXPECT_EQ(Run("check", {Album + "set.par2"}), 1);
  // The tracks' frames repeat: the blocks lost are all in the other tracks.
  EXPECT_NE(Out.str().find("02.mp3 MISSING\n03.mp3 OK\n04.mp3 DAMAGED (0 blocks)\n"),
            std::string::npos)
      << Out.str();
  EXPECT_NE(Out.str().find("needed: repairable\n"), std::string::npos) << Out.str();
  EXPECT_EQ(par2("repair"), "0\n");
  EXPECT_EQ(ReadWholeFile(Album + "02.mp3"), second);
  EXPECT_EQ(ReadWholeFile(Album + "04.mp3"), fourth);
}

// --extras: the album's other files by the patterns go into the .sfv (also with a template
// of an earlier version, which has no block for them) and the PAR2 set, checked by cksfv
// and par2, and into the post after the tracks; hidden files, links, names the .sfv cannot
// list and the release's own documents stay out; --no-extras lists the tracks alone.
TEST_F(CliCommands, ExtrasGoIntoTheListsAndThePost) {
  std::filesystem::create_directories(Album);
  Host.ProgramDir.Write("album/01.mp3", Frames({}, 40));
  Host.ProgramDir.Write("album/02.mp3", Frames({}, 50));
  for (const char* name : {"folder.jpg", "album.cue", "rip.log", ".hidden.txt", ";comment.txt",
                           "Old_dr.txt", "notes.doc"})
    Host.ProgramDir.Write("album/" + std::string(name), std::string("bytes of ") + name);
  std::filesystem::create_symlink(Album + "rip.log", Album + "link.log");
  Host.ProgramDir.Write("template-sfv.txt", "@FOR_EACH_TRACK\r\n$TRACK_FILENAME "
                                            "$TRACK_CHECKSUM\r\n@END_TRACK\r\n;end\r\n");
  ASSERT_EQ(Run("nfo", {"--sfv", "--par2", "--extras", "-o", Album + "set.nfo", Album}), 0)
      << Err.str();
  const std::string sfv = ReadWholeFile(Album + "set.sfv");
  std::vector<std::string> listed;
  for (std::size_t at = 0; at < sfv.size();) {
    const std::size_t end = sfv.find("\r\n", at);
    const std::string line = sfv.substr(at, end - at);
    if (!line.empty() && line[0] != ';')
      listed.push_back(line.substr(0, line.rfind(' ')));
    at = end + 2;
  }
  EXPECT_EQ(listed,
            (std::vector<std::string>{"01.mp3", "02.mp3", "album.cue", "folder.jpg", "rip.log"}));
  EXPECT_EQ(Shell("cd '" + Album + "' && cksfv -q -f set.sfv >/dev/null 2>&1 && par2 verify -q " +
                  "set.par2 >/dev/null 2>&1; echo $?"),
            "0\n");
  const std::vector<std::string> posted = ReleaseFilesBeside(Album + "set.nfo");
  std::vector<std::string> names;
  for (const std::string& path : posted)
    names.push_back(FileNamePart(path));
  EXPECT_EQ(names, (std::vector<std::string>{"set.nfo", "set.sfv", "01.mp3", "02.mp3", "album.cue",
                                             "folder.jpg", "rip.log", "set.par2", "set.vol0+1.par2",
                                             "set.vol1+2.par2", "set.vol3+3.par2"}));
  // The same from the album's folder, the .nfo named without one: each file once (the .sfv
  // was posted again as "./set.sfv", the name the recovery set lists it by).
  const auto here = std::filesystem::current_path();
  std::filesystem::current_path(Album);
  std::vector<std::string> relative;
  for (const std::string& path : ReleaseFilesBeside("set.nfo"))
    relative.push_back(FileNamePart(path));
  std::filesystem::current_path(here);
  EXPECT_EQ(relative, names);
  ASSERT_EQ(Run("nfo", {"--sfv", "--no-extras", "--force", "-o", Album + "set.nfo", Album}), 0);
  EXPECT_EQ(ReadWholeFile(Album + "set.sfv").find("rip.log"), std::string::npos);
}

// repair against par2 repair on copies of the same damage, on our set and on sets par2
// makes (other block sizes, the index deleted so that only the volumes describe the set):
// each restores the files byte for byte, or both say the set is short by the same number
// of blocks; no other file is left behind; a cancel changes nothing.
TEST_F(CliCommands, RepairRestoresWhatPar2Restores) {
  std::filesystem::create_directories(Album);
  for (int i = 1; i <= 4; ++i) { // frames that differ: repeated ones hold each other's blocks
    std::string track = Frames({}, 300 * i);
    std::mt19937 random(static_cast<unsigned>(i));
    for (std::size_t at = 4; at < track.size(); ++at)
      track[at] = static_cast<char>(random());
    Host.ProgramDir.Write("album/0" + std::to_string(i) + ".mp3", track);
  }
  Host.ProgramDir.Write("album/rip.log", "a log of 40 bytes, less than a block\n");
  // 30 % given is the set's size as given, and the save warns of what it cannot rebuild
  // (the files are written: no error, and the status says so).
  ASSERT_EQ(Run("par2", {"--redundancy", "30", "--block-size", "16384", "-o", Album + "set.par2",
                         Album + "01.mp3", Album + "02.mp3", Album + "03.mp3", Album + "04.mp3",
                         Album + "rip.log"}),
            0)
      << Err.str();
  EXPECT_NE(Err.str().find("set.par2: warning: The recovery files hold 24 blocks and the "
                           "largest file, 04.mp3, takes 31: a reader who loses it cannot "
                           "rebuild it."),
            std::string::npos)
      << Err.str();
  std::map<std::string, std::string> original;
  for (const auto& entry : std::filesystem::directory_iterator(Album))
    original[entry.path().filename().string()] = ReadWholeFile(entry.path().string());
  const std::string tracks = "01.mp3 02.mp3 03.mp3 04.mp3 rip.log";
  const std::string cutHead = "tail -c +101 02.mp3 > cut && mv cut 02.mp3";
  const struct {
    const char* Name;
    const char* Damage;    // a shell command run in the album's copy
    const char* Said;      // what repair prints last
    std::string Make = {}; // par2's options making the set instead of ours
  } cases[] = {
      {"deleted track", "rm 02.mp3", "Repaired: 1 file, 16 blocks rebuilt."},
      {"overwritten range", "printf '%0100000d' 0 | dd of=04.mp3 bs=1 seek=150000 conv=notrunc",
       "Repaired: 1 file, 7 blocks rebuilt."},
      {"truncated and extended",
       "truncate -s 70000 03.mp3 && printf 'tail' >> 01.mp3 && rm rip.log",
       "Repaired: 3 files, 20 blocks rebuilt."},
      {"renamed", "mv 03.mp3 renamed.bin && mv rip.log 'notes (1).txt'",
       "Repaired: 2 files, 0 blocks rebuilt."},
      {"too few blocks", "rm 03.mp3 04.mp3",
       "tamberlon-cli: Not repairable: 30 more recovery blocks are needed."},
      {"100 bytes cut from a track's head", cutHead.c_str(), "Repaired: 1 file, 1 block rebuilt."},
      {"100 bytes inserted, a track's head moved to its end",
       "{ head -c 50000 03.mp3; printf '%0100d' 0; tail -c +50001 03.mp3; } > x && mv x 03.mp3 "
       "&& { tail -c +32769 01.mp3; head -c 32768 01.mp3; } > y && mv y 01.mp3",
       "Repaired: 2 files, 1 block rebuilt."},
      {"par2's set of 4 KiB blocks, a head cut", cutHead.c_str(),
       "Repaired: 1 file, 1 block rebuilt.", "-s4096 -r5"},
      {"par2's set of 12 KiB blocks, bytes flipped and a track deleted",
       "printf 'xyz' | dd of=01.mp3 bs=1 seek=70000 conv=notrunc && rm rip.log",
       "Repaired: 2 files, 2 blocks rebuilt.", "-s12288 -r10"},
      {"par2's volumes alone (the index deleted), a track renamed and one cut",
       "rm set.par2 && mv 04.mp3 renamed && tail -c +5001 03.mp3 > c && mv c 03.mp3",
       "Repaired: 2 files, 1 block rebuilt.", "-s8192 -r10 -n3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string ours = Host.ProgramDir.Path() + "ours/",
                      theirs = Host.ProgramDir.Path() + "theirs/";
    ASSERT_EQ(Shell("rm -rf '" + ours + "' '" + theirs + "' && cp -a '" + Album + "' '" + ours +
                    "' && cd '" + ours + "' && { " +
                    (c.Make.empty()
                         ? "true"
                         : "rm *.par2 && par2 create -q -q " + c.Make + " set.par2 " + tracks) +
                    "; } >/dev/null 2>&1 && { " + c.Damage + "; } >/dev/null 2>&1 && cp -a '" +
                    ours + "' '" + theirs + "'; echo $?"),
              "0\n");
    std::string index; // the set's first .par2 left, by name
    for (const auto& entry : std::filesystem::directory_iterator(ours))
      if (const std::string name = entry.path().filename().string();
          name.ends_with(".par2") && (index.empty() || name < index))
        index = name;
    const int status = Run("repair", {ours + index});
    const std::string said = Out.str() + Err.str();
    EXPECT_NE(said.find(std::string(c.Said) + "\n"), std::string::npos) << said;
    // par2 is given the folder's other files to search, as repair searches them.
    const std::string par2 = Shell("cd '" + theirs + "' && par2 repair " + index +
                                   " $(ls | grep -v '[.]par2$') 2>&1; echo $?");
    if (status == 0) {
      EXPECT_EQ(par2.substr(par2.size() - 2), "0\n") << par2;
      for (const auto& [name, bytes] : original) {
        if (!c.Make.empty() && name.ends_with(".par2"))
          continue;
        EXPECT_EQ(ReadWholeFile(ours + name), bytes) << name;
        EXPECT_EQ(ReadWholeFile(theirs + name), bytes) << name;
      }
      for (const auto& entry : std::filesystem::directory_iterator(ours))
        EXPECT_TRUE(original.contains(entry.path().filename().string()) ||
                    entry.path().extension() == ".par2")
            << entry.path();
    } else {
      const std::string more = said.substr(said.find(": Not repairable: ") + 18);
      EXPECT_NE(par2.find("You need " + more.substr(0, more.find(' ')) + " more"),
                std::string::npos)
          << par2;
    }
  }
  // Cancelled while checking or while rebuilding: the damaged copy stays as it was.
  const std::string copy = Host.ProgramDir.Path() + "ours/";
  Shell("rm -rf '" + copy + "' && cp -a '" + Album + "' '" + copy + "' && rm '" + copy + "02.mp3'");
  for (const TRepairPhase phase : {TRepairPhase::Checking, TRepairPhase::Repairing}) {
    TRepairSettings settings;
    settings.Progress = [&](TRepairPhase now, std::uint64_t, std::uint64_t) {
      return now != phase;
    };
    EXPECT_EQ(RepairRecoverySet(copy + "set.par2", settings).Outcome, TRepairOutcome::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(copy + "02.mp3"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(copy),
                            std::filesystem::directory_iterator()),
              static_cast<std::ptrdiff_t>(original.size() - 1));
  }
}

// check --audio decodes FLAC files made by sox and flac, and damaged by hand: the words
// flac -t would give (a damaged frame decodes as silence, so the MD5 no longer matches).
TEST_F(CliCommands, CheckAudioTellsEachFlacFilesState) {
  const std::string folder = Host.ProgramDir.Path();
  ASSERT_EQ(Shell("cd '" + folder +
                  "' && sox -R -n -r 44100 -c 2 -b 16 ok.flac synth 3 sine 440 && " +
                  "sox -R -n -r 44100 -c 2 -b 16 t.wav synth 3 sine 660 && " +
                  "flac -s --no-md5-sum -o notset.flac t.wav 2>/dev/null; echo $?"),
            "0\n");
  const std::string sound = ReadWholeFile(folder + "ok.flac");
  std::string mismatch = sound, damaged = sound;
  mismatch[26] = static_cast<char>(~mismatch[26]); // a byte of the stored MD5
  for (std::size_t i = 20000; i < 20300; ++i)
    damaged[i] = static_cast<char>(i * 7);
  Host.ProgramDir.Write("mismatch.flac", mismatch);
  Host.ProgramDir.Write("damaged.flac", damaged);
  Host.ProgramDir.Write("truncated.flac", sound.substr(0, 30000));
  std::string unsetDamaged = ReadWholeFile(folder + "notset.flac");
  for (std::size_t i = 20000; i < 20300; ++i)
    unsetDamaged[i] = static_cast<char>(i * 7);
  Host.ProgramDir.Write("notset-damaged.flac", unsetDamaged);
  Host.ProgramDir.Write("mp3.flac", Frames({}, 20));
  const struct {
    const char* Name;
    const char* Line;
  } cases[] = {
      {"ok.flac", "OK"},
      {"notset.flac", "NOT SET"},
      {"notset-damaged.flac", "DAMAGED (damaged frames decoded as silence)"},
      {"mismatch.flac", "MISMATCH (the audio differs)"},
      {"damaged.flac", "MISMATCH (damaged frames decoded as silence)"},
      {"truncated.flac", "DAMAGED (the stream ends after 53248 of 132300 samples)"},
      {"mp3.flac", "DAMAGED (not a FLAC stream)"},
      {"none.flac", "MISSING"},
  };
  std::vector<std::string> operands = {"--audio"};
  std::string expected;
  for (const auto& c : cases) {
    operands.push_back(folder + c.Name);
    expected += folder + c.Name + " " + c.Line + "\n";
  }
  EXPECT_EQ(Run("check", operands), 1);
  EXPECT_EQ(Out.str(), expected + "1 OK, 7 bad\n");
  EXPECT_EQ(Run("check", {"--audio", folder + "ok.flac"}), 0);
  // A folder stands for its FLAC files (it was taken for a file, and failed).
  std::filesystem::create_directory(folder + "album");
  Host.ProgramDir.Write("album/ok.flac", sound);
  Host.ProgramDir.Write("album/song.mp3", Frames({}, 20));
  EXPECT_EQ(Run("check", {"--audio", folder + "album"}), 0) << Out.str();
  EXPECT_EQ(Out.str(), folder + "album/ok.flac OK\n1 OK, 0 bad\n");
}

// nfo --ffp lists each FLAC track's audio MD5 as metaflac shows it (an MP3 beside them has
// none); for an album without a FLAC track the .ffp is skipped, and said, and the rest is
// saved (nothing was, where the .ffp is a remembered choice), its DR log included.
TEST_F(CliCommands, FingerprintsAreWhatMetaflacShows) {
  const std::string folder = Host.ProgramDir.Path() + "flacs/";
  ASSERT_EQ(Shell("mkdir -p '" + folder + "' && cd '" + folder +
                  "' && sox -R -n -r 44100 -c 2 -b 16 '01 a.flac' synth 1 sine 440 && "
                  "sox -R -n -r 48000 -c 1 -b 24 '02 b.flac' synth 1 sine 660; echo $?"),
            "0\n");
  Host.ProgramDir.Write("flacs/03 c.mp3", Frames({}, 20));
  ASSERT_EQ(Run("nfo", {"--ffp", "-o", folder + "album.nfo", folder}), 0) << Err.str();
  std::string ffp = ReadWholeFile(folder + "album.ffp");
  std::erase(ffp, '\r');
  EXPECT_EQ(ffp, Shell("cd '" + folder + "' && metaflac --show-md5sum '01 a.flac' '02 b.flac'"));

  const std::string mp3s = Host.ProgramDir.Path() + "mp3s/";
  std::filesystem::create_directory(mp3s);
  Host.ProgramDir.Write("mp3s/01.mp3", Frames({}, 20));
  EXPECT_EQ(Run("nfo", {"--ffp", "--dr-log", "--sfv", "-o", mp3s + "album.nfo", mp3s}), 0);
  EXPECT_EQ(Out.str(), mp3s + "album.nfo\n" + mp3s + "album.sfv\n" + mp3s + "album_dr.txt\n");
  EXPECT_EQ(Err.str(), "tamberlon-cli: no .ffp was written: the album has no FLAC tracks\n");
  EXPECT_FALSE(FileExists(mp3s + "album.ffp"));
}

namespace {
// A figure ffmpeg prints after the label ("Overall DR: 11.49", "I: -27.6 LUFS"); NaN when
// it printed none.
double FfmpegFigure(const std::string& output, const std::string& label) {
  const std::size_t at = output.rfind(label);
  return at == std::string::npos ? std::nan("") : std::atof(output.c_str() + at + label.size());
}
} // namespace

// analyze agrees with FFmpeg's meters on tracks sox makes: the DR within 0.5 dB of its
// drmeter (on tracks of 5 blocks: where a fifth of the blocks is not whole, drmeter sums
// the squares of one block more than the fifth and divides by the fifth, a few tenths of a
// dB lower on an album's tracks, 2 dB on 6 blocks), the loudness, range and true peak within 0.1 of
// its ebur128; the album's loudness is the two tracks' as one; a track it does not decode is named,
// and the status says so.
TEST_F(CliCommands, AnalyzeAgreesWithFfmpegsMeters) {
  const std::string folder = Host.ProgramDir.Path();
  ASSERT_EQ(Shell("cd '" + folder +
                  "' && sox -R -n -r 44100 -c 2 -b 16 a.flac synth 13 pinknoise vol 0.3 "
                  "tremolo 0.3 80 && sox -R -n -r 44100 -c 2 -b 24 b.flac synth 15 pinknoise "
                  "vol 0.5 && sox a.flac b.flac ab.flac; echo $?"),
            "0\n");
  for (const char* name : {"a.flac", "b.flac"}) {
    SCOPED_TRACE(name);
    const std::string path = folder + name;
    ASSERT_EQ(Run("analyze", {"--json", path}), 0) << Err.str();
    const auto track = nlohmann::json::parse(Out.str().substr(0, Out.str().find('\n')));
    Out.str("");
    const std::string dr =
        Shell("ffmpeg -hide_banner -nostats -i '" + path + "' -af drmeter -f null - 2>&1");
    const std::string r128 = Shell("ffmpeg -hide_banner -nostats -i '" + path +
                                   "' -af ebur128=peak=true -f null - 2>&1");
    EXPECT_NEAR(track["DR"].get<double>(), FfmpegFigure(dr, "Overall DR:"), 0.5);
    EXPECT_NEAR(track["Loudness"].get<double>(), FfmpegFigure(r128, "I:"), 0.1);
    EXPECT_NEAR(track["LoudnessRange"].get<double>(), FfmpegFigure(r128, "LRA:"), 0.1);
    EXPECT_NEAR(track["TruePeak"].get<double>(), FfmpegFigure(r128, "Peak:"), 0.1);
  }
  Host.ProgramDir.Write("c.mp3", std::string(4000, '\0')); // no MPEG frame
  EXPECT_EQ(Run("analyze", {"--json", folder + "a.flac", folder + "b.flac", folder + "c.mp3"}), 1);
  std::vector<nlohmann::json> lines;
  for (std::istringstream text(Out.str()); !text.eof();)
    if (std::string line; std::getline(text, line) && !line.empty())
      lines.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2]["Problem"], "no MPEG audio frame was found");
  const std::string joined =
      Shell("ffmpeg -hide_banner -nostats -i '" + folder + "ab.flac' -af ebur128 -f null - 2>&1");
  EXPECT_NEAR(lines[3]["Loudness"].get<double>(), FfmpegFigure(joined, "I:"), 0.1);
  EXPECT_EQ(lines[3]["DR"], std::lround((std::round(lines[0]["DR"].get<double>()) +
                                         std::round(lines[1]["DR"].get<double>())) /
                                        2));
  // A template shows the same figures ("$ALBUM" takes nothing of "$ALBUM_GAIN"); a track
  // that is not measured shows none.
  Host.ExpectMessage(TMessageKind::Error,
                     "The file is not the kind of audio file its name says\n" + folder + "c.mp3");
  Host.ProgramDir.Write("figures.txt", "$DR $LOUDNESS $ALBUM_GAIN $ALBUM@FOR_EACH_TRACK\r\n"
                                       "$TRACK_DR|$TRACK_GAIN|$TRACK_CUTOFF@END_TRACK");
  ASSERT_EQ(Run("nfo", {"--template", folder + "figures.txt", "--stdout", "--album", "Noise",
                        "--no-sort", folder + "a.flac", folder + "b.flac", folder + "c.mp3"}),
            0)
      << Err.str();
  const auto level = [](const nlohmann::json& value) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", value.get<double>());
    return std::string(text);
  };
  EXPECT_EQ(Out.str(), "DR" + std::to_string(lines[3]["DR"].get<int>()) + " " +
                           level(lines[3]["Loudness"]) + " LUFS " + level(lines[3]["Gain"]) +
                           " dB NoiseDR" +
                           std::to_string(std::lround(lines[0]["DR"].get<double>())) + "|" +
                           level(lines[0]["Gain"]) + " dB|22.1 kHz\r\nDR" +
                           std::to_string(std::lround(lines[1]["DR"].get<double>())) + "|" +
                           level(lines[1]["Gain"]) + " dB|22.1 kHz\r\n||\r\n\r\n");
}

// A rip log beside the files it describes says so; beside another rip's (one track's
// AccurateRip v2 checksum not the file's), analyze, the save's warnings and the .nfo say which.
TEST_F(CliCommands, TheLogBesideAnotherRipIsSaidNotToMatch) {
  const std::string folder = Host.ProgramDir.Path(), data = std::string(TAMBERLON_TEST_DATA) + "/";
  ASSERT_EQ(Shell("cp '" + data + "flac-16bit-tags.flac' '" + folder + "01.flac' && cp '" + data +
                  "flac-two-artists.flac' '" + folder + "02.flac'; echo $?"),
            "0\n");
  const std::string log = ReadWholeFile(data + "whipper-0.10.log");
  std::string edited = log;
  edited.replace(edited.find("Local CRC: 5A7FD662"), 19, "Local CRC: 5A7FD663");
  Host.ProgramDir.Write("match.txt", "$LOG_MATCH");
  const struct {
    const char* Match;
    bool Warned;
  } runs[] = {{"the log matches all 2 tracks", false}, {"track 2 does not match the log", true}};
  for (const auto& [match, warned] : runs) {
    SCOPED_TRACE(match);
    Host.ProgramDir.Write("rip.log", warned ? edited : log);
    Out.str(""), Err.str("");
    ASSERT_EQ(Run("analyze", {folder + "01.flac", folder + "02.flac"}), 0) << Err.str();
    EXPECT_NE(Out.str().find(std::string("; ") + match + "\n"), std::string::npos) << Out.str();
    const std::string nfo = folder + (warned ? "b.nfo" : "a.nfo");
    ASSERT_EQ(Run("nfo", {"--template", folder + "match.txt", "-o", nfo, folder + "01.flac",
                          folder + "02.flac"}),
              0);
    EXPECT_EQ(ReadWholeFile(nfo), match + std::string("\r\n"));
    EXPECT_EQ(Err.str().find("rip.log: warning: " + std::string(match)) != std::string::npos,
              warned)
        << Err.str();
  }
}

// Every lossy kind is decoded to its length with what its encoder added left out (the
// source's 12 s, to a sample), and its cutoff set against the encoder's low-pass at its rate:
// true LAME, FFmpeg AAC and oggenc files are never doubted, a 128 kbps MP3 encoded again at a
// higher rate always is.
TEST_F(CliCommands, AnalyzeChecksALossyTracksBitRate) {
  const std::string folder = Host.ProgramDir.Path();
  ASSERT_EQ(
      Shell("cd '" + folder +
            "' && sox -R -n -r 44100 -c 2 -b 16 n.wav synth 12 pinknoise vol 0.4 tremolo "
            "0.3 60 && lame --quiet -b 128 n.wav s.mp3 && lame --quiet --decode s.mp3 s.wav "
            "&& for b in 256 320; do lame --quiet -b $b n.wav $b.mp3 && "
            "lame --quiet -b $b s.wav re-$b.mp3; done && lame --quiet -V0 n.wav v0.mp3 && "
            "lame --quiet -V0 s.wav re-v0.mp3 && "
            "ffmpeg -v error -i n.wav -c:a aac -b:a 256k 256.m4a && "
            "ffmpeg -v error -i s.wav -c:a aac -b:a 256k re-256.m4a && "
            "ffmpeg -v error -i n.wav -c:a alac alac.m4a && oggenc -Q -q 5 n.wav -o q5.ogg && "
            "oggenc -Q -q 5 s.wav -o re-q5.ogg && oggenc -Q -q 8 n.wav -o q8.ogg && "
            "oggenc -Q -q 8 s.wav -o re-q8.ogg && "
            "ffmpeg -v error -i n.wav -c:a libopus -b:a 256k 256.opus && "
            "ffmpeg -v error -i s.wav -c:a libopus -b:a 256k re-256.opus; echo $?"),
      "0\n");
  const struct {
    const char* Name;
    std::optional<bool> Suspect; // nothing: no bit rate check (lossless, or no table)
  } cases[] = {{"320.mp3", false},   {"256.mp3", false},    {"v0.mp3", false},
               {"re-320.mp3", true}, {"re-256.mp3", true},  {"re-v0.mp3", true},
               {"256.m4a", false},   {"re-256.m4a", true},  {"q5.ogg", false},
               {"re-q5.ogg", true},  {"q8.ogg", false},     {"re-q8.ogg", true},
               {"256.opus", false},  {"re-256.opus", true}, {"alac.m4a", std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_EQ(Run("analyze", {"--json", folder + c.Name}), 0) << Err.str();
    const auto track = nlohmann::json::parse(Out.str().substr(0, Out.str().find('\n')));
    Out.str("");
    EXPECT_NEAR(track["Seconds"].get<double>(), 12.0, 1.0 / 44100);
    // info's length is the decode's (an Opus pre-skip left out of both), but an MP3's, which
    // counts its frames whole as the stream analysis defines it: LAME's delay and padding in,
    // and a constant rate's Info frame too.
    ASSERT_EQ(Run("info", {"--json", folder + c.Name}), 0) << Err.str();
    const double stated = nlohmann::json::parse(Out.str())["Duration"].get<double>();
    Out.str("");
    const bool mp3 = std::string_view(c.Name).ends_with(".mp3");
    EXPECT_GT(stated, mp3 ? 12.0 : 11.999);
    EXPECT_NEAR(stated, 12.0, mp3 ? 0.1 : 0.001);
    EXPECT_EQ(track["Transcoded"], false);
    if (!c.Suspect) {
      EXPECT_FALSE(track.contains("LowerRateSource"));
      continue;
    }
    EXPECT_EQ(track["LowerRateSource"], *c.Suspect) << track["Quality"];
  }
  // The words, per track and for the album.
  ASSERT_EQ(Run("analyze", {folder + "320.mp3", folder + "re-320.mp3"}), 0) << Err.str();
  const std::string text = Out.str();
  for (const char* words :
       {"320 kbps, content to 16.",
        " kHz: probably encoded from a lower-rate source (about 128 "
        "kbps)\n",
        "Album bit rates: 1 of 2 tracks: probably encoded from a lower-rate source (about 128 "
        "kbps)\n"})
    EXPECT_NE(text.find(words), std::string::npos) << words << "\n" << text;
  // The .nfo says each track's check, and the save warns of the doubted one.
  ASSERT_EQ(Run("nfo", {"-o", folder + "lossy.nfo", folder + "320.mp3", folder + "re-320.mp3"}), 0)
      << Err.str();
  const std::string nfo = ReadWholeFile(folder + "lossy.nfo");
  EXPECT_NE(nfo.find("\r\n    320 kbps, content to 2"), std::string::npos) << nfo;
  EXPECT_NE(Err.str().find("re-320.mp3: warning: 320 kbps, content to 16."), std::string::npos)
      << Err.str();
}

// A lossless track made from a lossy one is told by the cliff its encoder's low-pass left
// in its frequencies; true lossless noise and music-like signals (whose highs fall slowly)
// are not.
TEST_F(CliCommands, AnalyzeTellsTranscodesByTheirFrequencies) {
  const std::string folder = Host.ProgramDir.Path();
  ASSERT_EQ(Shell("cd '" + folder +
                  "' && sox -R -n -r 44100 -c 2 -b 16 n.wav synth 8 pinknoise vol 0.4 "
                  "&& flac -s n.wav -o noise.flac && sox -R -n -r 44100 -c 2 -b 16 music.flac "
                  "synth 8 sine 220 sine 330 pinknoise vol 0.3 lowpass 6000 && "
                  "sox -R -n -r 48000 -c 1 -b 24 white.flac synth 8 whitenoise vol 0.3 && "
                  "for b in 128 192 320; do lame --quiet -b $b n.wav $b.mp3 && "
                  "lame --quiet --decode $b.mp3 $b.wav && flac -s $b.wav -o mp3-$b.flac; done && "
                  "ffmpeg -v error -i n.wav -c:a aac -b:a 128k aac.m4a && "
                  "ffmpeg -v error -i aac.m4a -c:a flac aac-128.flac; echo $?"),
            "0\n");
  const struct {
    const char* Name;
    bool Transcoded;
    double CutoffFrom, CutoffTo; // kHz
  } cases[] = {{"noise.flac", false, 22, 22.1},   {"music.flac", false, 0, 24},
               {"white.flac", false, 23.9, 24},   {"mp3-128.flac", true, 15.5, 17.5},
               {"mp3-192.flac", true, 18, 19.5},  {"mp3-320.flac", true, 19.5, 20.5},
               {"aac-128.flac", true, 15.5, 18.5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_EQ(Run("analyze", {"--json", folder + c.Name}), 0) << Err.str();
    const auto track = nlohmann::json::parse(Out.str().substr(0, Out.str().find('\n')));
    EXPECT_EQ(track["Transcoded"], c.Transcoded) << track["Cutoff"];
    // Content level to the Nyquist frequency (white noise) reaches it (it was said to stop
    // at 0 Hz).
    EXPECT_GE(track["Cutoff"].get<double>() / 1000, c.CutoffFrom);
    EXPECT_LE(track["Cutoff"].get<double>() / 1000, c.CutoffTo);
  }
  // The pictures show it (read back by FFmpeg): at 19 kHz the plot is dark for the 128 kbps
  // transcode and lit for the lossless noise, at 10 kHz lit for both.
  ASSERT_EQ(
      Run("sonogram", {"-o", folder + "pictures", folder + "noise.flac", folder + "mp3-128.flac"}),
      0)
      << Err.str();
  EXPECT_EQ(Out.str(), folder + "pictures/noise.png\n" + folder + "pictures/mp3-128.png\n" +
                           folder + "pictures/album.png\n");
  EXPECT_EQ(Run("sonogram", {"-o", folder + "pictures", folder + "noise.flac"}), 1);
  EXPECT_EQ(Err.str(),
            "tamberlon-cli: " + folder + "pictures/noise.png: exists (--replace replaces it)\n");
  for (const auto& [name, litAt19] : {std::pair{"noise.png", true}, {"mp3-128.png", false}}) {
    SCOPED_TRACE(name);
    const std::string rgb = Shell("ffmpeg -v error -i '" + folder + "pictures/" + name +
                                  "' -f rawvideo -pix_fmt rgb24 -");
    constexpr int Width = 948, PlotLeft = 56, PlotTop = 24, PlotHeight = 400;
    ASSERT_EQ(rgb.size(), std::size_t{Width} * 452 * 3);
    const auto brightness = [&](double hz) {
      const int y = PlotTop + static_cast<int>((1 - hz / 22050) * (PlotHeight - 1));
      const std::size_t at = (std::size_t(y) * Width + PlotLeft + 400) * 3;
      return static_cast<unsigned char>(rgb[at]) + static_cast<unsigned char>(rgb[at + 1]) +
             static_cast<unsigned char>(rgb[at + 2]);
    };
    EXPECT_GT(brightness(10000), 150);
    EXPECT_EQ(brightness(19000) > 150, litAt19) << brightness(19000);
  } // Two discs' tracks of one name get pictures named by their place below the album (the
  // second was refused, or replaced the first); a stream whose information says 0 Hz is
  // refused as info refuses it (its picture's time axis never ended).
  ASSERT_EQ(Shell("cd '" + folder +
                  "' && mkdir -p a/CD1 a/CD2 && cp noise.flac a/CD1/01.flac && "
                  "cp mp3-128.flac a/CD2/01.flac; echo $?"),
            "0\n");
  ASSERT_EQ(Run("sonogram", {"-o", folder + "discs", folder + "a"}), 0) << Err.str();
  EXPECT_EQ(Out.str(), folder + "discs/CD1-01.png\n" + folder + "discs/CD2-01.png\n" + folder +
                           "discs/album.png\n");
  std::string rateZero = ReadWholeFile(folder + "noise.flac");
  rateZero[18] = rateZero[19] = 0; // STREAMINFO's 20-bit rate
  rateZero[20] = static_cast<char>(rateZero[20] & 0x0F);
  Host.ProgramDir.Write("zero.flac", rateZero);
  EXPECT_EQ(Run("sonogram", {"-o", folder + "zero", folder + "zero.flac"}), 1);
  EXPECT_EQ(Run("analyze", {folder + "zero.flac"}), 1);
  EXPECT_EQ(Out.str(), folder + "zero.flac: the FLAC stream does not decode\n");
  // 1 Hz: its samples would make millions of the meters' blocks of seconds.
  rateZero[20] = static_cast<char>(0x10 | (rateZero[20] & 0x0F));
  Host.ProgramDir.Write("one.flac", rateZero);
  EXPECT_EQ(Run("analyze", {folder + "one.flac"}), 1);
  EXPECT_EQ(Out.str(),
            folder + "one.flac: not measured: its sample rate, 1 Hz, is none that audio uses\n");
}

// check FILE.cue: an image's sheet against the split tracks beside it, each within a frame
// (a moved INDEX is named with both lengths); a sheet of a file a track, one of them gone.
TEST_F(CliCommands, CueSheetsAgainstTheirFiles) {
  const std::string folder = Host.ProgramDir.Path();
  ASSERT_EQ(Shell("cd '" + folder +
                  "' && sox -R -n -r 44100 -c 2 -b 16 image.flac synth 20 pinknoise vol 0.3 && "
                  "sox image.flac '01 a.flac' trim 0 5.5 && sox image.flac '02 b.flac' trim "
                  "5.5 8 && sox image.flac '03 c.flac' trim 13.5; echo $?"),
            "0\n");
  const std::string sheet = "FILE \"image.flac\" WAVE\r\n  TRACK 01 AUDIO\r\n    INDEX 01 "
                            "00:00:00\r\n  TRACK 02 AUDIO\r\n    INDEX 00 00:05:00\r\n    INDEX "
                            "01 00:05:37\r\n  TRACK 03 AUDIO\r\n    INDEX 01 00:13:";
  Host.ProgramDir.Write("image.cue", sheet + "37\r\n");
  EXPECT_EQ(Run("check", {folder + "image.cue"}), 0);
  EXPECT_EQ(Out.str(), "Track 01 01 a.flac OK\nTrack 02 02 b.flac OK\nTrack 03 03 c.flac OK\n"
                       "3 OK, 0 bad\n");
  Host.ProgramDir.Write("image.cue", sheet + "30\r\n");
  EXPECT_EQ(Run("check", {folder + "image.cue"}), 1);
  EXPECT_NE(Out.str().find("Track 03 03 c.flac DIFFERS (the sheet says 0:06.45, 03 c.flac is "
                           "0:06.38)"),
            std::string::npos)
      << Out.str();
  Host.ProgramDir.Write("split.cue", "FILE \"01 a.flac\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 "
                                     "00:00:00\nFILE \"gone.flac\" WAVE\n TRACK 02 AUDIO\n  "
                                     "INDEX 01 00:00:00\n");
  EXPECT_EQ(Run("check", {folder + "split.cue"}), 1);
  EXPECT_EQ(Out.str(), "gone.flac MISSING\nTrack 01 01 a.flac OK\nTrack 02 gone.flac DIFFERS "
                       "(its file is missing or does not read)\n1 OK, 1 bad, 1 files missing\n");
  // A WAV image, whose length the program does not read: its last track is not judged,
  // also beside its split tracks (it was judged 0:00 long there, and DIFFERS).
  ASSERT_EQ(Shell("cd '" + folder +
                  "' && mkdir w && sox image.flac w/image.wav && cp 0*.flac w/; "
                  "echo $?"),
            "0\n");
  std::string wav = sheet + "37\r\n";
  wav.replace(wav.find("image.flac"), 10, "image.wav");
  Host.ProgramDir.Write("w/image.cue", wav);
  EXPECT_EQ(Run("check", {folder + "w/image.cue"}), 0) << Out.str();
  // The album's sheet against the tracks chosen: said when it differs, never fatal.
  EXPECT_EQ(Run("nfo", {"--stdout", folder + "w/01 a.flac", folder + "w/02 b.flac",
                        folder + "w/03 c.flac"}),
            0);
  EXPECT_EQ(Err.str(), "");
  EXPECT_EQ(Run("nfo", {"--stdout", folder + "w/01 a.flac", folder + "w/03 c.flac"}), 0);
  EXPECT_EQ(Err.str(), "tamberlon-cli: " + folder +
                           "w/image.cue: the CUE sheet differs: the sheet has 3 tracks, 2 are "
                           "chosen\n");
  // A name that leads outside the sheet's folder is never opened, though the file is there.
  std::filesystem::create_directory(folder + "w/sub");
  Host.ProgramDir.Write("w/sub/out.cue",
                        "FILE \"../01 a.flac\" WAVE\n TRACK 01 AUDIO\n  INDEX "
                        "01 00:00:00\nFILE \"/etc/hostname\" WAVE\n TRACK 02 AUDIO\n");
  EXPECT_EQ(Run("check", {folder + "w/sub/out.cue"}), 1);
  EXPECT_EQ(Out.str(), "../01 a.flac UNSAFE\n/etc/hostname UNSAFE\nTrack 01 ../01 a.flac "
                       "DIFFERS (its file lies outside the sheet's folder)\nTrack 02 /etc/hostname "
                       "DIFFERS (it has no INDEX 01)\n0 OK, 2 bad, 2 outside the sheet's folder\n");
}

// nfo --dr-log writes the DR log beside the .nfo: a row a track with the DR analyze
// measures, and the album's value; a track the analysis cannot measure stops the save.
TEST_F(CliCommands, DrLogBesideTheNfo) {
  const std::string folder = Host.ProgramDir.Path() + "lossless/";
  ASSERT_EQ(Shell("mkdir -p '" + folder + "' && cd '" + folder +
                  "' && sox -R -n -r 44100 -c 2 -b 16 '01 a.flac' synth 4 pinknoise vol 0.3 "
                  "tremolo 0.5 70 && sox -R -n -r 44100 -c 2 -b 16 '02 b.flac' synth 3 sine 440 "
                  "vol 0.5; echo $?"),
            "0\n");
  ASSERT_EQ(Run("analyze", {folder}), 0);
  const std::string measured = Out.str();
  ASSERT_EQ(Run("nfo", {"--dr-log", "-o", folder + "album.nfo", folder}), 0) << Err.str();
  const std::string log = ReadWholeFile(folder + "album_dr.txt");
  for (const char* name : {"01 a.flac", "02 b.flac"}) {
    SCOPED_TRACE(name);
    const std::size_t at = measured.find(std::string(name) + ": ");
    ASSERT_NE(at, std::string::npos) << measured;
    const std::size_t from = at + std::strlen(name) + 2;
    const std::string dr = measured.substr(from, measured.find(',', from) - from);
    const std::size_t row = log.find(std::string(name) + "\r\n");
    ASSERT_NE(row, std::string::npos) << log;
    EXPECT_EQ(log.substr(log.rfind("\r\n", row) + 2, dr.size() + 1), dr + " ") << log;
  }
  EXPECT_NE(log.find("Number of tracks:  2\r\nOfficial DR value: DR"), std::string::npos) << log;
  Host.ProgramDir.Write("lossless/03 c.mp3", std::string(4000, '\0')); // no MPEG frame
  Host.ExpectMessage(TMessageKind::Error, "The file is not the kind of audio file its name says\n" +
                                              folder + "03 c.mp3");
  Host.ExpectMessage(TMessageKind::Error, "The DR log measures every track, and this track could "
                                          "not be measured; nothing was saved\n" +
                                              folder + "03 c.mp3");
  EXPECT_EQ(Run("nfo", {"--dr-log", "--force", "-o", folder + "album.nfo", folder}), 1);
}
