// SPDX-License-Identifier: GPL-3.0-or-later
// The generators with their template files, the posting policy and the edit commands.
#include "audio/TrackInfo.h"
#include "common/FileUnit.h"
#include "common/GzipUnit.h"
#include "common/TextListUnit.h"
#include "generate/AlbumSession.h"
#include "generate/DocumentKinds.h"
#include "generate/NFOUnit.h"
#include "generate/NzbDocument.h"
#include "generate/PlaylistUnit.h"
#include "generate/PostingPolicyUnit.h"
#include "generate/SFVUnit.h"
#include "support/AlbumScenario.h"
#include "support/ScriptedHost.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/stat.h>

namespace {
struct Documents : ::testing::Test {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;
  TAlbumInfo Album;
  std::vector<std::string> Groups;
  Documents() { Album.NewsGroups = &Groups; }

  std::string Path(const std::string& name) const { return Host.ProgramDir.Path() + name; }
  std::string Read(const std::string& name) const { return ReadWholeFile(Path(name)); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }
  // Files in the program folder, so a test sees stray temporary files.
  std::size_t FileCount() const {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(Host.ProgramDir.Path()), {}));
  }
};
} // namespace

TEST_F(Documents, SingleArtistAlbumNeverAsksAndWritesTheDefault) {
  PrepareNfoTemplate(Album, false);
  TNFO nfo(Album, false);
  EXPECT_EQ(Read(SingleArtistTemplateFileName), JoinTextLines(DefaultNfoTemplate(false)));
  EXPECT_EQ(nfo.Template, JoinTextLines(DefaultNfoTemplate(false)));
  EXPECT_FALSE(Exists(VariousArtistsTemplateFileName));
}

// The face asks the compilation question (see the window's tests); its answer chooses.
TEST_F(Documents, CompilationAnsweredYesUsesTheVariousArtistsTemplate) {
  Album.VariousArtists = true;
  PrepareNfoTemplate(Album, true);
  TNFO nfo(Album, true);
  EXPECT_EQ(Read(VariousArtistsTemplateFileName), JoinTextLines(DefaultNfoTemplate(true)));
  EXPECT_FALSE(Exists(SingleArtistTemplateFileName));
}

// Mostly FLAC or ALAC tracks: the lossless pair; mostly Vorbis, Opus or AAC: the lossy
// pair, never called lossless; each file with its own default.
TEST_F(Documents, AnAlbumOfOtherKindsUsesItsOwnPair) {
  Album.VariousArtists = true;
  for (const auto& [format, lossless, single, various] :
       {std::tuple{"FLAC", true, LosslessTemplateFileName, LosslessVariousArtistsTemplateFileName},
        {"M4A", false, LossyTemplateFileName, LossyVariousArtistsTemplateFileName}}) {
    Album.Format = format; // as Fill Album Fields finds them
    Album.Lossless = lossless;
    const TAudioFamily family = lossless ? TAudioFamily::Lossless : TAudioFamily::Lossy;
    for (const bool useVarious : {false, true}) {
      SCOPED_TRACE(std::string(format) + (useVarious ? " various" : ""));
      PrepareNfoTemplate(Album, useVarious);
      const char* name = useVarious ? various : single;
      EXPECT_EQ(Read(name), JoinTextLines(DefaultNfoTemplate(useVarious, family)));
      EXPECT_EQ(TNFO(Album, useVarious).Template, Read(name));
    }
  }
  EXPECT_FALSE(Exists(SingleArtistTemplateFileName));
}

TEST_F(Documents, CompilationAnsweredNoWritesTheSingleArtistDefault) {
  Album.VariousArtists = true;
  PrepareNfoTemplate(Album, false);
  TNFO nfo(Album, false);
  EXPECT_EQ(Read(SingleArtistTemplateFileName), JoinTextLines(DefaultNfoTemplate(false)));
}

TEST_F(Documents, ExistingTemplatesAreKeptAndEmptyOnesReplaced) {
  Host.ProgramDir.Write(SingleArtistTemplateFileName, "Mine: $ARTIST");
  Album.SetArtist("X");
  TNFO nfo(Album, false);
  nfo.Generate();
  EXPECT_EQ(nfo.Output, "Mine: X");
  Host.ProgramDir.Write(SfvTemplateFileName, "");
  PrepareSfvTemplate();
  TSFV sfv(Album, "");
  EXPECT_EQ(Read(SfvTemplateFileName), JoinTextLines(DefaultSfvTemplate()));
}

TEST_F(Documents, UnwritableTemplatesReportTheirErrorAndGiveEmptyText) {
  std::filesystem::create_directory(Path(SingleArtistTemplateFileName));
  std::filesystem::create_directory(Path(SfvTemplateFileName));
  const std::size_t before = FileCount();
  Host.ExpectError(ecCreateNfoTemplate, Path(SingleArtistTemplateFileName));
  ShowProblem(*PrepareNfoTemplate(Album, false));
  TNFO nfo(Album, false);
  nfo.Generate();
  EXPECT_EQ(nfo.Output, "");
  Host.ExpectError(ecCreateSfvTemplate, Path(SfvTemplateFileName));
  ShowProblem(*PrepareSfvTemplate());
  TSFV sfv(Album, "");
  EXPECT_EQ(sfv.Template, "");
  EXPECT_EQ(FileCount(), before); // no temporary file left behind
}

TEST_F(Documents, GenerateReadsThePolicyAndTheClockAfresh) {
  Host.ProgramDir.Write(SingleArtistTemplateFileName,
                        "$POSTING_POLICY|$NFO_DATE $NFO_TIME|$NFO_NAME V$NFO_VERSION");
  TNFO nfo(Album, false);
  nfo.Generate();
  EXPECT_EQ(nfo.Output, "|12/8/2026 2:05 PM|Tamberlon V1.0.469");
  Host.ProgramDir.Write(PostingPolicyFileName, "  one\r\n  two");
  Host.Clock = EncodeDateTime({2027, 1, 2, 9, 7, 0});
  nfo.Generate();
  EXPECT_EQ(nfo.Output, "  one\r\n  two\r\n|1/2/2027 9:07 AM|Tamberlon V1.0.469");
  EXPECT_FALSE(Exists("template-sfv.txt"));
}

TEST_F(Documents, SaveWritesWholeOrNothing) {
  Host.ProgramDir.Write(SingleArtistTemplateFileName, "");
  TGenerate empty(Album, Path("no-such-template.txt"));
  empty.Generate();
  ASSERT_TRUE(empty.SaveToFile(Path("empty.nfo")));
  EXPECT_EQ(Read("empty.nfo"), "\r\n");

  Host.ProgramDir.Write("old.nfo", "previous");
  std::filesystem::create_directory(Path("blocked.nfo"));
  const std::size_t before = FileCount();
  EXPECT_FALSE(empty.SaveToFile(Path("missing/x.nfo")));
  EXPECT_FALSE(empty.SaveToFile(Path("blocked.nfo")));
  EXPECT_EQ(FileCount(), before);
  ASSERT_TRUE(empty.SaveToFile(Path("old.nfo")));
  EXPECT_EQ(Read("old.nfo"), "\r\n");
}

TEST(SfvPath, BesideTheNfo) {
  EXPECT_EQ(CompanionPath("/music/Album.nfo", ".sfv"), "/music/Album.sfv");
  EXPECT_EQ(CompanionPath("/music/Album", ".sfv"), "/music/Album.sfv");
  EXPECT_EQ(CompanionPath("/mu.sic/Album", ".sfv"), "/mu.sic/Album.sfv");
  EXPECT_EQ(CompanionPath("/music/A.B.nfo", ".sfv"), "/music/A.B.sfv");
  // Each kind's row lives in its own file; the table finds it by the role it names.
  for (std::size_t row = 0; row < DocumentKindCount; ++row)
    EXPECT_EQ(static_cast<std::size_t>(DocumentKinds[row].get().Role), row);
}

TEST_F(Documents, EditCommandsCreateMissingFilesAndOpenThem) {
  Host.ExpectShellOpen(VariousArtistsTemplateFileName, TShellResult::FileNotFound);
  Host.ExpectShellOpen(VariousArtistsTemplateFileName, TShellResult::Opened);
  EditTemplate(VariousArtistsTemplateFileName);
  EXPECT_EQ(Read(VariousArtistsTemplateFileName), JoinTextLines(DefaultNfoTemplate(true)));
  Host.ExpectShellOpen(SingleArtistTemplateFileName, TShellResult::FileNotFound);
  Host.ExpectShellOpen(SingleArtistTemplateFileName, TShellResult::Opened);
  EditTemplate(SingleArtistTemplateFileName);
  EXPECT_EQ(Read(SingleArtistTemplateFileName), JoinTextLines(DefaultNfoTemplate(false)));
  Host.ExpectShellOpen(SfvTemplateFileName, TShellResult::FileNotFound);
  Host.ExpectShellOpen(SfvTemplateFileName, TShellResult::Opened);
  EditSfvTemplate();
  EXPECT_EQ(Read(SfvTemplateFileName), JoinTextLines(DefaultSfvTemplate()));

  Host.ExpectShellOpen(PostingPolicyFileName, TShellResult::FileNotFound);
  Host.ExpectShellOpen(PostingPolicyFileName, TShellResult::Opened);
  EditPostingPolicy();
  EXPECT_EQ(Read(PostingPolicyFileName),
            "  Please wait 2 days after the original post before asking for reposts.\r\n"
            "  Only segment reposts will be fullfilled.\r\n"
            "  Thank you.\r\n");

  Host.ExpectShellOpen(SingleArtistTemplateFileName, TShellResult::Failed);
  EXPECT_EQ(EditTemplate(SingleArtistTemplateFileName), // to edit by hand
            ErrorProblem(ecGeneral, Path(SingleArtistTemplateFileName)));
}

TEST_F(Documents, EditCommandsEndWhenTheDefaultCannotBeWritten) {
  std::filesystem::create_directory(Path(PostingPolicyFileName));
  Host.ExpectShellOpen(PostingPolicyFileName, TShellResult::FileNotFound);
  Host.ExpectShellOpen(PostingPolicyFileName, TShellResult::FileNotFound);
  EXPECT_EQ(EditPostingPolicy(), ErrorProblem(ecCreatePostingPolicy, Path(PostingPolicyFileName)));

  std::filesystem::create_directory(Path(SingleArtistTemplateFileName));
  Host.ExpectShellOpen(SingleArtistTemplateFileName, TShellResult::FileNotFound);
  Host.ExpectShellOpen(SingleArtistTemplateFileName, TShellResult::FileNotFound);
  EXPECT_EQ(EditTemplate(SingleArtistTemplateFileName),
            ErrorProblem(ecCreateNfoTemplate, Path(SingleArtistTemplateFileName)));
}

// The album session that the window and the command-line tool drive, without either:
// reading in listing order, moving, filling, and a save whose .nfo is the preview's text.
TEST_F(Documents, SessionFromChooseTracksToSave) {
  const std::string folder = Path("album/");
  std::vector<std::string> paths = PrepareFixtureAlbum(folder);
  std::sort(paths.begin(), paths.end());
  TAlbumSession session;
  std::vector<TAlbumSession::TChange> changes;
  session.Listen([&](TAlbumSession::TChange change) { changes.push_back(change); });
  std::vector<std::size_t> added;
  TTrackObserver observer;
  observer.Added = [&](std::size_t index) {
    added.push_back(index);
  };
  ASSERT_EQ(session.ChooseTracks(paths, false, observer), paths.size());
  EXPECT_EQ(added, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
  session.FillFields();
  EXPECT_EQ(session.Texts().Artist, "Various Artists");
  // The live preview asks nothing and writes nothing, missing templates included.
  EXPECT_NE(session.LiveNfoText().find("Into the Trees"), std::string::npos);
  EXPECT_FALSE(Exists(VariousArtistsTemplateFileName));
  EXPECT_EQ(session.Texts().AlbumTitle, "Into the Trees");
  EXPECT_FALSE(session.MoveTrack(0, true));
  EXPECT_FALSE(session.MoveTrack(4, false));
  ASSERT_TRUE(session.MoveTrack(0, false));
  EXPECT_EQ(session.Album().Tracks[0].Path, paths[1]);

  TAlbumFieldTexts texts = session.Texts();
  texts.RippedBy = "Ripper";
  session.SetTexts(texts);
  session.SetNewsGroups({"b.group", "a.group"});
  EXPECT_EQ(session.NewsGroups(), (std::vector<std::string>{"a.group", "b.group"}));
  Host.ProgramDir.Write("album/album.sfv", "kept\r\n");
  TSaveRequest save;
  save.NfoPath = folder + "album.nfo";
  save.Chosen[static_cast<std::size_t>(TDocumentRole::Sfv)] = true;
  save.UseVariousArtistsTemplate = true;
  // The plan names the existing .sfv; the face (here the test) answers "keep it".
  const TSavePlan plan = session.PlanSave(save);
  ASSERT_EQ(plan.Documents.size(), 2u);
  EXPECT_TRUE(plan.Documents[1].Exists);
  TSaveAnswers answers;
  answers.Keep = {plan.Documents[1].Path};
  answers.RememberTexts = true;
  const TSaveResult outcome = session.Save(plan, answers);
  EXPECT_TRUE(outcome.Saved());
  EXPECT_EQ(outcome.Written, std::vector<std::string>{save.NfoPath});
  EXPECT_EQ(outcome.Kept, std::vector<std::string>{folder + "album.sfv"});
  EXPECT_EQ(Read("album/album.sfv"), "kept\r\n");
  EXPECT_EQ(Read("album/album.nfo"), session.NfoText(save).Text + "\r\n");
  EXPECT_EQ(Read("rippedby.txt"), "Ripper\r\n");
  EXPECT_EQ(session.Album().FileName, save.NfoPath);
  for (const auto change : {TAlbumSession::TChange::Tracks, TAlbumSession::TChange::Fields,
                            TAlbumSession::TChange::NewsGroups})
    EXPECT_NE(std::find(changes.begin(), changes.end(), change), changes.end());

  // A template that lists checksums gets them at the save, as the .sfv does.
  save.Chosen = {true};
  save.TemplatePath = Host.ProgramDir.Write("sums.txt", "@FOR_EACH_TRACK$TRACK_CHECKSUM@END_TRACK");
  ASSERT_TRUE(session.Save(session.PlanSave(save), {}).Saved());
  EXPECT_EQ(Read("album/album.nfo").substr(0, 10),
            *FileChecksumText(session.Album().Tracks[0].Path) + "\r\n");
  // A track edited since (its tags rewritten) gets its checksum again; one edited while the
  // save goes on, after its checksum was taken, fails the save and nothing is written.
  const std::string edited = session.Album().Tracks[0].Path;
  const auto edit = [&edited] {
    std::ofstream(edited, std::ios::app) << "tag";
  };
  edit();
  ASSERT_TRUE(session.Save(session.PlanSave(save), {}).Saved());
  const std::string saved = Read("album/album.nfo");
  EXPECT_EQ(saved.substr(0, 10), *FileChecksumText(edited) + "\r\n");
  // In place, of the same size, its modified time put back (as tag editors may): the
  // inode's change time still tells.
  const auto editInPlace = [&edited] {
    struct stat before {};
    ::stat(edited.c_str(), &before);
    std::fstream(edited, std::ios::in | std::ios::out | std::ios::binary).seekp(100) << "X";
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, edited.c_str(), times, 0);
  };
  for (const auto& during : {std::function<void()>(edit), std::function<void()>(editInPlace)}) {
    edit();
    save.ChecksumProgress = [&](std::size_t done, std::size_t total) {
      if (done == total)
        during();
    };
    const TSaveResult late = session.Save(session.PlanSave(save), {});
    ASSERT_TRUE(late.Problem);
    EXPECT_EQ(late.Problem->Path, edited);
    EXPECT_EQ(Read("album/album.nfo"), saved);
  }

  // Clearing leaves nothing the old tracks decided: totals, their texts, the compilation.
  session.ClearTracks();
  EXPECT_EQ(session.Album().PlayingTime, "0:00");
  EXPECT_EQ(session.Album().TotalSize, "0 bytes");
  EXPECT_FALSE(session.Album().VariousArtists);
  EXPECT_FALSE(session.CompilationAnswer);
}

// A document in a code page reads in the previews exactly as it is saved: its accents
// (decomposed ones included) in their place, a character the code page lacks as "?", and
// the columns counted as the code page has them.
TEST_F(Documents, CodePageDocumentsReadAsTheyAreSaved) {
  for (const TNfoEncoding encoding : {TNfoEncoding::Cp437, TNfoEncoding::Windows1252}) {
    SCOPED_TRACE(std::string(EncodingName(encoding)));
    TAlbumSession session;
    for (const auto& [title, duration] :
         {std::pair{"Cafe\u0301 \u00E0 Montmartre", "3:05"}, std::pair{"\u65E5\u672C", "12:40"}}) {
      auto track = std::make_unique<TTrackInfo>();
      track->HasTag = true;
      track->Title = title;
      track->DurationText = duration;
      session.AddTrack(Path("track.mp3"), std::move(track));
    }
    session.SetEncoding(encoding);
    TSaveRequest save;
    save.NfoPath = Path("album.nfo");
    save.TemplatePath = Host.ProgramDir.Write(
        "t.txt", "@FOR_EACH_TRACK$TRACK_TITLE  @RIGHT($TRACK_DURATION)@END_TRACK");
    const TSavePlan plan = session.PlanSave(save);
    EXPECT_EQ(plan.UnmappableWith(std::nullopt), "\u65E5\u672C"); // the accent has a place
    TSaveAnswers answers;
    answers.WriteUnmappable = true;
    ASSERT_TRUE(session.Save(plan, answers).Saved());
    const std::string shown = session.PreviewText(save).Text;
    EXPECT_EQ(shown,
              "Caf\u00E9 \u00E0 Montmartre  ( 3:05)\r\n??" + std::string(17, ' ') + "(12:40)\r\n");
    const std::string bytes = Read("album.nfo");
    EXPECT_EQ(bytes.substr(3, 1), encoding == TNfoEncoding::Cp437 ? "\x82" : "\xE9");
    EXPECT_EQ(bytes.find('('), bytes.find('(', bytes.find('\n')) - bytes.find('\n') - 1);
  }
}

// Each track stays one entry of the playlist, named relative to it: a line break in a tag
// cannot split it, and a name that starts with "#" is not taken for a comment.
TEST(Playlist, EveryTrackIsOneEntryNamedRelativeToThePlaylist) {
  TAlbumInfo album;
  auto tagged = std::make_unique<TTrackInfo>();
  tagged->HasTag = true;
  tagged->Artist = "Band";
  tagged->Title = "Two\r\nLines";
  tagged->Duration = 61.9;
  album.Tracks.push_back({"/music/a/01.mp3", std::move(tagged)});
  album.Tracks.push_back({"/music/a/#hash.mp3", std::make_unique<TTrackInfo>()});
  album.Tracks.push_back({"/music/a/cd2/03.mp3", std::make_unique<TTrackInfo>()});
  EXPECT_EQ(M3uText(album, "/music/a/album.m3u"), "#EXTM3U\r\n"
                                                  "#EXTINF:61,Band - Two  Lines\r\n01.mp3\r\n"
                                                  "#EXTINF:0,#hash\r\n./#hash.mp3\r\n"
                                                  "#EXTINF:0,03\r\ncd2/03.mp3\r\n");
}

TEST(NzbDocument, ReadsBackWhatItWritesAndWhatOtherPostersWrite) {
  TNzbRelease written{"Artist & \"Band\" <Live> – Café",
                      "Poster <p@example.com>",
                      1765000000,
                      {"alt.binaries.sounds.mp3", "alt.binaries.test"},
                      {},
                      {"FLAC & cue", "Audio > Lossless", "p<a>ss \"word\""}};
  written.Files = {{"Album [1/2] - \"01 - A&B.mp3\" yEnc (1/2)",
                    {{716800, 1, "<a1@x.invalid>"}, {512, 2, "<a2@x.invalid>"}}},
                   {"Album [2/2] - \"a.nfo\" yEnc (1/1)", {{900, 1, "<n@x.invalid>"}}}};
  const std::string text = NzbText(written);
  const auto back = ReadNzb(text);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Title, written.Title);
  EXPECT_EQ(back->Meta.Tag, written.Meta.Tag);
  EXPECT_EQ(back->Meta.Category, written.Meta.Category);
  EXPECT_EQ(back->Meta.Password, written.Meta.Password);
  EXPECT_EQ(NzbText({"t", "p", 1, {}, {}, {}}).find("<meta type=\"tag\""), std::string::npos)
      << "an empty entry is left out";
  // Compressed: read back as it was written; cut short, or unpacking past the bound, not.
  const auto compressed = GzipBytes(text);
  ASSERT_TRUE(compressed && IsGzip(*compressed));
  const auto unpacked = ReadNzbFileBytes(*compressed);
  ASSERT_TRUE(unpacked);
  EXPECT_EQ(NzbText(*unpacked), text);
  EXPECT_FALSE(ReadNzbFileBytes(compressed->substr(0, compressed->size() / 2)));
  EXPECT_FALSE(GunzipBytes(*compressed, text.size() - 1));
  EXPECT_EQ(GunzipBytes(*compressed, text.size()), text);
  // Valid by the NZB 1.1 document type, its head entries included.
  TTempFolder folder;
  const std::string path = folder.Write("a.nzb", text);
  EXPECT_EQ(
      std::system(("xmllint --noout --nonet --dtdvalid " TAMBERLON_TEST_DATA "/nzb/nzb-1.1.dtd '" +
                   path + "' 2>/dev/null")
                      .c_str()),
      0);
  EXPECT_EQ(back->Poster, written.Poster);
  EXPECT_EQ(back->Date, written.Date);
  EXPECT_EQ(back->Groups, written.Groups);
  ASSERT_EQ(back->Files.size(), 2u);
  EXPECT_EQ(back->Files[0].Subject, written.Files[0].Subject);
  ASSERT_EQ(back->Files[0].Segments.size(), 2u);
  EXPECT_EQ(back->Files[0].Segments[1].MessageId, "<a2@x.invalid>");
  EXPECT_EQ(back->Files[0].Segments[1].Bytes, 512u);
  EXPECT_EQ(back->Files[0].Segments[1].Number, 2);

  struct TCase {
    const char* Name;
    std::string Text;
    std::size_t Segments; // over all files; 0 for no release read
  };
  const std::vector<TCase> cases = {
      {"single quotes, no declaration, references",
       "<nzb><file subject='x &#x263A; &#9731;' poster='p'><segments>\n"
       "<segment number='1' bytes='5'>\n id@host \n</segment></segments></file></nzb>",
       1},
      {"a segment that is no Message-ID is passed over",
       "<nzb><file subject=\"s\"><segments><segment>a b@c</segment><segment>ok@c</segment>"
       "</segments></file></nzb>",
       1},
      {"a file without segments", "<nzb><file subject=\"s\"><segments/></file></nzb>", 0},
      {"a file without segments beside one with",
       "<nzb><file subject=\"e\"></file><file subject=\"s\"><segments><segment>i@h</segment>"
       "</segments></file></nzb>",
       1},
      {"cut short", "<nzb><file subject=\"s\"><segments><segment>id@h</segm", 0},
      {"not an nzb", "<html><body>404</body></html>", 0},
      // A line break in a value the post's headers carry would add headers or end the
      // article and send a command: read as one line.
      {"line breaks in the poster, a group and the title",
       "<nzb><head><meta type=\"title\">T&#13;&#10;X-Title: 1</meta></head>"
       "<file poster=\"p@x&#13;&#10;.&#13;&#10;QUIT\" subject=\"s&#10;X: 1\"><groups>"
       "<group>a.b&#13;&#10;Control: cancel &lt;v@id&gt;</group></groups><segments>"
       "<segment>i@h</segment></segments></file></nzb>",
       1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto read = ReadNzb(c.Text);
    std::size_t segments = 0;
    if (read)
      for (const TNzbFile& file : read->Files)
        segments += file.Segments.size();
    EXPECT_EQ(segments, c.Segments);
  }
  EXPECT_EQ(ReadNzb(cases[0].Text)->Files[0].Subject, "x ☺ ☃");
  const auto injected = ReadNzb(cases.back().Text);
  EXPECT_EQ(injected->Poster, "p@x  .  QUIT");
  EXPECT_EQ(injected->Title, "T  X-Title: 1");
  EXPECT_EQ(injected->Groups, std::vector<std::string>{"a.b  Control: cancel <v@id>"});
  EXPECT_EQ(injected->Files[0].Subject, "s X: 1");
}
