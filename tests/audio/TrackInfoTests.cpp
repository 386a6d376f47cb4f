// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CRC32Unit.h"
#include "audio/TrackInfo.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"
#include "support/Mp3Builder.h"
#include "support/ScriptedHost.h"

#include <gtest/gtest.h>
#include <optional>
#include <sys/time.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {
const THeaderFields Cbr128;

struct TrackInfo : ::testing::Test {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;
  std::string Write(const std::string& name, const TBytes& bytes) {
    return Host.ProgramDir.Write(name, bytes);
  }
  // Reads as the faces do, collecting the problems; one not taken fails the test.
  std::unique_ptr<TTrackInfo> Read(const std::string& path, bool withChecksum) {
    TTrackReading reading;
    reading.Errors = &Errors;
    return MakeTrackInfo(path, withChecksum, reading);
  }
  std::vector<TErrorCode> TakeErrors() { return std::exchange(Errors, {}); }
  void TearDown() override { EXPECT_TRUE(Errors.empty()); }
  std::vector<TErrorCode> Errors;
};
} // namespace

TEST(CRC32, KnownValuesAndChunking) {
  const std::string check = "123456789";
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size());
  EXPECT_EQ(UpdateCRC32(0, bytes), 0xCBF43926u);
  EXPECT_EQ(UpdateCRC32(UpdateCRC32(0, bytes.first(4)), bytes.subspan(4)), 0xCBF43926u);
  EXPECT_EQ(UpdateCRC32(0, {}), 0u);
  EXPECT_EQ(CRC32Text(0xCBF43926u), "CBF43926");
  EXPECT_EQ(CRC32Text(0xABCDu), "0000ABCD");
}

// A decoder's reads, in whatever order and overlap, give the whole file's checksum once the
// guard ends (reading what they skipped); a file that changed its size meanwhile gives none.
TEST_F(TrackInfo, ChecksumFollowsAReaderInAnyOrder) {
  std::string bytes(3 * 1024 * 1024 + 5, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(i * 13 + i / 509);
  const std::string path = Write("followed.bin", bytes);
  const std::string whole = *FileChecksumText(path);
  const std::int64_t end = static_cast<std::int64_t>(bytes.size());
  const struct {
    const char* Name;
    std::vector<std::pair<std::int64_t, std::size_t>> Reads; // offset, size
    bool Shrinks = false;
  } cases[] = {
      {"nothing read", {}},
      {"in order, a window at a time", {{0, 10}, {10, 4000}, {4010, 9000}, {13010, 3000000}}},
      {"the index at the end first, then the rest", {{end - 70000, 70000}, {0, 8}, {8, 2000000}}},
      {"a picture skipped, read again, overlaps",
       {{0, 300}, {260000, 5000}, {100, 500000}, {0, 4096}, {end - 128, 400}}},
      {"past the end", {{end - 10, 100}, {end + 50, 10}}},
      {"the file cut while it is read", {{0, 5000}}, true},
      {"the file cut below what was read", {{0, 200000}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Write("followed.bin", bytes);
    auto file = TReadOnlyFile::Open(path);
    ASSERT_TRUE(file);
    std::optional<std::uint32_t> crc;
    {
      const TCrcOfWhatIsRead guard(*file, &crc, nullptr);
      std::vector<std::uint8_t> buffer;
      for (const auto& [offset, size] : c.Reads) {
        buffer.resize(size);
        file->ReadAt(offset, buffer);
      }
      if (c.Shrinks) {
        ASSERT_EQ(::truncate(path.c_str(), 100000), 0);
      }
    }
    if (c.Shrinks)
      EXPECT_FALSE(crc);
    else
      EXPECT_EQ(crc ? CRC32Text(*crc) : "none", whole);
  }
}

TEST_F(TrackInfo, ChecksumOfAFileLargerThanOneChunk) {
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<char>(i * 7 + i / 251);
  const auto all = std::span(reinterpret_cast<const std::uint8_t*>(big.data()), big.size());
  EXPECT_EQ(FileChecksumText(Write("big.bin", big)), CRC32Text(UpdateCRC32(0, all)));
}

TEST_F(TrackInfo, MissingFileKeepsNewValuesQuietly) {
  const auto track = Read(Host.ProgramDir.Path() + "missing.mp3", false);
  EXPECT_EQ(track->Title, "No ID3 Tag Available");
  EXPECT_EQ(track->TagVersion, "None");
  EXPECT_EQ(track->Checksum, "Chksum N/A");
  EXPECT_EQ(track->DurationText, "");
  EXPECT_EQ(track->ChannelMode, 0);
  EXPECT_EQ(track->FileDate, 0);
}

TEST_F(TrackInfo, MissingFileWithChecksumShowsOneMessage) {
  const auto track = Read(Host.ProgramDir.Path() + "missing.mp3", true);
  EXPECT_EQ(TakeErrors(), std::vector{ecOpenForReading});
  EXPECT_EQ(track->Checksum, "Chksum N/A");
}

// A short file is a file: its true checksum and size; an .mp3 without a frame is told as
// no MP3, and a file of no track kind (a .cue, a .log) is taken quietly.
TEST_F(TrackInfo, ShortFilesGetTheirTrueChecksumAndSize) {
  const struct {
    const char* Name;
    const char* File;
    std::string Bytes;
    const char* Checksum;
    std::optional<TErrorCode> Error; // the analysis's, which names an empty file as empty
  } cases[] = {{"empty", "short.mp3", "", "00000000", ecTrackFileEmpty},
               {"nine digits", "short.mp3", "123456789", "CBF43926", ecTrackKindMismatch},
               {"a cue sheet of 100 bytes", "rip.cue", std::string(100, 'c'), "5CD1954E", {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto track = Read(Write(c.File, c.Bytes), true);
    // the analysis's only: the checksum is read
    EXPECT_EQ(TakeErrors(), c.Error ? std::vector{*c.Error} : std::vector<TErrorCode>{});
    EXPECT_EQ(track->Checksum, c.Checksum);
    EXPECT_EQ(track->FileSize, static_cast<std::int64_t>(c.Bytes.size()));
    EXPECT_FALSE(track->Analysed);
    EXPECT_EQ(track->Title, "No ID3 Tag Available");
    EXPECT_NE(track->FileDate, 0);
  }
}

TEST_F(TrackInfo, FolderGivenAsAFile) {
  EXPECT_EQ(Read(Host.ProgramDir.Path(), false)->TagVersion, "None");
  // No file to take a checksum of: the placeholder stays.
  EXPECT_EQ(Read(Host.ProgramDir.Path(), true)->Checksum, "Chksum N/A");
  EXPECT_EQ(TakeErrors(), std::vector{ecOpenForReading});
}

TEST_F(TrackInfo, DevicesAndPipesAreNoTracks) {
  // Read as a file, /dev/zero would never end.
  EXPECT_EQ(Read("/dev/zero", false)->TagVersion, "None");
  EXPECT_EQ(Read("/dev/zero", true)->Checksum, "Chksum N/A");
  EXPECT_EQ(TakeErrors(), std::vector{ecOpenForReading});
}

// Without a single confirmed frame an .mp3 is told as no MP3 (it read as a silent track
// of 0 bytes before), and keeps its true size.
TEST_F(TrackInfo, TextFileNamedMp3) {
  const auto track = Read(Write("notes.mp3", std::string(6000, 'x')), false);
  EXPECT_EQ(TakeErrors(), std::vector{ecTrackKindMismatch});
  EXPECT_EQ(track->FileSize, 6000);
  EXPECT_EQ(track->Duration, 0);
  EXPECT_FALSE(track->Analysed);
  EXPECT_FALSE(track->HasTag);
}

TEST_F(TrackInfo, Id3v2WinsOverId3v1) {
  const TBytes v2 = Id3v2Tag(3, Id3v2Frame(3, "TIT2", TextData(0, "Two")) +
                                    Id3v2Frame(3, "TRCK", TextData(0, "3/9")) +
                                    Id3v2Frame(3, "TCON", TextData(0, "(17)Rock")) +
                                    Id3v2Frame(3, "TPUB", TextData(0, "Label")));
  const TBytes bytes = v2 + Frames(Cbr128, 40) + Id3v1Tag({.Title = "One", .Artist = "V1"});
  const auto track = Read(Write("both.mp3", bytes), true);
  EXPECT_TRUE(track->HasTag);
  EXPECT_EQ(track->TagVersion, "ID3v2.3");
  EXPECT_EQ(track->Title, "Two");
  EXPECT_EQ(track->Artist, ""); // copied even when empty
  EXPECT_EQ(track->Track, "3/9");
  EXPECT_EQ(track->Genre, "Rock");
  EXPECT_EQ(track->Publisher, "Label");
  EXPECT_EQ(track->FileSize, static_cast<std::int64_t>(bytes.size()));
  EXPECT_EQ(track->BitRate, 128);
  EXPECT_EQ(track->SampleRate, 44100);
  EXPECT_EQ(track->ChannelMode, 1);
  const auto all = std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  EXPECT_EQ(track->Checksum, CRC32Text(UpdateCRC32(0, all)));
  EXPECT_EQ(track->Checksum.size(), 8u); // no "$": SFV checkers read the bare digits
}

TEST_F(TrackInfo, Id3v1OnlyTags) {
  const struct {
    const char* Name;
    TId3v1Fields Tag;
    const char* Version;
    const char* Track;
    const char* Genre;
  } cases[] = {
      {"version 1.0", {.Title = "Old", .Genre = 255}, "ID3v1.0", "0", ""},
      {"version 1.1", {.Title = "Old", .Track = 4, .Genre = 42}, "ID3v1.1", "4", "Soul"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto track = Read(Write("v1.mp3", Frames(Cbr128, 40) + Id3v1Tag(c.Tag)), false);
    EXPECT_TRUE(track->HasTag);
    EXPECT_EQ(track->TagVersion, c.Version);
    EXPECT_EQ(track->Title, "Old");
    EXPECT_EQ(track->Track, c.Track);
    EXPECT_EQ(track->Genre, c.Genre);
    EXPECT_EQ(track->EncodedBy, "");
  }
}

TEST_F(TrackInfo, DurationTextAndFileDate) {
  const std::string path = Write("dated.mp3", Frames(Cbr128, 1500));
  std::tm local{};
  local.tm_year = 2004 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 15;
  local.tm_hour = 13;
  local.tm_min = 45;
  local.tm_isdst = -1;
  const timeval times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
  ASSERT_EQ(::utimes(path.c_str(), times), 0);
  const auto track = Read(path, false);
  EXPECT_EQ(track->DurationText, "0:39"); // 1500 * 417 bytes at 128 kbit/s
  const TDateTimeParts date = DecodeDateTime(track->FileDate);
  EXPECT_EQ(std::vector<int>({date.Year, date.Month, date.Day, date.Hour, date.Minute}),
            std::vector<int>({2004, 3, 15, 13, 45}));
}

// Damaged and hostile files: every truncation of a tagged file and random damage to
// its bytes must give a record (the sanitizers catch any read out of bounds).
TEST_F(TrackInfo, DamagedFilesNeverCrash) {
  const TBytes v2 = Id3v2Tag(4,
                             Id3v2Frame(4, "TIT2", TextData(1, Utf16Le(u"Title"))) +
                                 Id3v2Frame(4, "COMM",
                                            TBytes("\x01"
                                                   "eng",
                                                   4) +
                                                Utf16Le(u"d") + TBytes(2, '\0')),
                             20, 0x40);
  const TBytes whole = v2 + XingFrame(Cbr128, 36, 5, 2000, "LAME3.100") + Frames(Cbr128, 6) +
                       Id3v1Tag({.Title = "v1"});
  // Each record is read, or says why not: never a silent track of nothing.
  const auto read = [&](const std::string& name, const TBytes& bytes) {
    std::vector<TErrorCode> errors;
    TTrackReading reading;
    reading.Errors = &errors;
    const auto track = MakeTrackInfo(Write(name, bytes), false, reading);
    EXPECT_EQ(errors.empty(), track->Analysed);
    return errors;
  };
  for (std::size_t length = 0; length <= whole.size(); length += 7) {
    SCOPED_TRACE(length);
    const auto errors = read("cut.mp3", whole.substr(0, length));
    if (length == 0) {
      EXPECT_EQ(errors, std::vector<TErrorCode>{ecTrackFileEmpty});
    }
  }
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    return seed = seed * 1664525u + 1013904223u;
  };
  for (int round = 0; round < 300; ++round) {
    TBytes damaged = whole;
    for (int i = 0; i < 12; ++i)
      damaged[next() % damaged.size()] = static_cast<char>(next() >> 24);
    read("damaged.mp3", damaged);
  }
}

namespace {
// "fLaC" and a STREAMINFO block (44.1 kHz, 16-bit stereo) of the given sample count,
// followed by more blocks when it is not the last.
TBytes FlacHead(std::uint64_t samples, bool last) {
  TBytes bytes = "fLaC";
  bytes += static_cast<char>(last ? 0x80 : 0x00);
  bytes += TBytes("\x00\x00\x22", 3);
  bytes += TBytes("\x10\x00\x10\x00\x00\x00\x00\x00\x00\x00", 10);
  const std::uint64_t packed = (44100ull << 44) | (1ull << 41) | (15ull << 36) | samples;
  for (int shift = 56; shift >= 0; shift -= 8)
    bytes += static_cast<char>(packed >> shift);
  return bytes + TBytes(16, '\0');
}

TBytes LittleEndian32(std::size_t value) {
  TBytes bytes;
  for (int shift = 0; shift < 32; shift += 8)
    bytes += static_cast<char>(value >> shift);
  return bytes;
}

// A last VORBIS_COMMENT block holding the fields as given.
TBytes VorbisCommentBlock(const std::vector<TBytes>& fields) {
  TBytes body = LittleEndian32(1) + "v" + LittleEndian32(fields.size());
  for (const TBytes& field : fields)
    body += LittleEndian32(field.size()) + field;
  TBytes header = "\x84";
  for (int shift = 16; shift >= 0; shift -= 8)
    header += static_cast<char>(body.size() >> shift);
  return header + body;
}
// An M4A whose "moov" atoms nest depth deep, each holding the next.
TBytes NestedMoov(std::size_t depth) {
  TBytes bytes = BigEndian32(16) + "ftypM4A " + TBytes(4, '\0');
  for (std::size_t level = 0; level < depth; ++level)
    bytes += BigEndian32(static_cast<std::uint32_t>(8 * (depth - level))) + "moov";
  return bytes;
}

// A real fixture with bytes put at an offset from the last place a mark stands.
TBytes PatchedFixture(const char* name, const TBytes& mark, std::ptrdiff_t offset,
                      const TBytes& patch) {
  TBytes bytes = ReadWholeFile(std::string(TAMBERLON_TEST_DATA) + "/" + name);
  const std::size_t at = bytes.rfind(mark);
  EXPECT_NE(at, TBytes::npos);
  return bytes.replace(at + offset, patch.size(), patch);
}
} // namespace

// Files of the other kinds that lie or break: each gives a record and its own message.
TEST_F(TrackInfo, OtherKindsThatLieOrBreakGiveCleanRecords) {
  const TBytes mp3 = Frames(Cbr128, 20);
  const struct {
    const char* Name;
    TBytes Bytes;
    std::optional<TErrorCode> Error;
    bool Analysed;
    std::string Artist = "";
  } cases[] = {
      {"an.mp3.flac", mp3, ecTrackKindMismatch, false},
      {"tagged.mp3.flac", Id3v2Tag(3, Id3v2Frame(3, "TIT2", TextData(0, "T"))) + mp3,
       ecTrackKindMismatch, false},
      {"text.opus", TBytes(3000, 't'), ecTrackKindMismatch, false},
      {"opus-named.ogg", "OggS" + TBytes(24, '\0') + "OpusHead" + TBytes(40, '\0'),
       ecTrackKindMismatch, false},
      {"mark-alone.flac", "fLaC", ecTrackStreamUnreadable, false},
      // Told, not read as a silent track of no length (nor left to TagLib to recurse on).
      {"no-samples.flac", FlacHead(0, true), ecTrackStreamUnreadable, false},
      {"nested-moov.m4a", NestedMoov(100000), ecTrackStreamUnreadable, false},
      // An atom's offset plus its 64-bit length wraps below zero in TagLib's sum: read as
      // the end, not the start again (which TagLib would read forever).
      {"wrapping-atom.m4a",
       BigEndian32(16) + "ftypM4A " + TBytes(4, '\0') + BigEndian32(1) + "free" +
           TBytes("\x7f\xff\xff\xff\xff\xff\xff\xff", 8) + TBytes(8, '\0'),
       ecTrackStreamUnreadable, false},
      {"moov-size-9.m4a", PatchedFixture("ffmpeg-aac.m4a", "moov", -4, BigEndian32(9)),
       ecTrackStreamUnreadable, false},
      {"granule-2^62.ogg",
       PatchedFixture("ffmpeg-vorbis.ogg", "OggS", 6, TBytes("\0\0\0\0\0\0\0\x40", 8)),
       ecTrackStreamUnreadable, false, "Die \xC3\x84rzte"},
      {"padding-blocks.flac",
       FlacHead(9, false) +
           [] {
             TBytes blocks;
             for (int i = 0; i < 2000; ++i)
               blocks += TBytes("\x01\0\0\0", 4);
             return blocks + TBytes("\x81\0\0\0", 4);
           }(),
       ecTrackStreamUnreadable, false},
      // A Latin-1 text where UTF-8 belongs: TagLib gives it up as empty, the rest stays.
      {"latin1-comment.flac",
       FlacHead(9, false) + VorbisCommentBlock({"TITLE=Caf\xe9", "ARTIST=Ok"}), std::nullopt, true,
       "Ok"},
      // A cover picture before the comment is stepped over.
      {"picture-first.flac",
       FlacHead(9, false) + TBytes("\x06\x00\x00\x05", 4) + "image" +
           VorbisCommentBlock({"ARTIST=Ok"}),
       std::nullopt, true, "Ok"},
      // Some taggers put an ID3v2 tag before FLAC's mark; a long one ends past the head.
      {"id3-first.flac", Id3v2Tag(3, Id3v2Frame(3, "TIT2", TextData(0, "T"))) + FlacHead(9, true),
       std::nullopt, true},
      {"long-id3-first.flac",
       Id3v2Tag(3, Id3v2Frame(3, "TXXX", TextData(0, TBytes(40000, 'x')))) + FlacHead(9, true),
       std::nullopt, true},
      // A comment block that claims 16 MB of a file that ends: nothing is sized by it.
      {"huge-comment.flac", FlacHead(44100, false) + TBytes("\x84\xff\xff\xff", 4) + "abc",
       ecTrackStreamUnreadable, false},
      {"cut-ogg.ogg", "OggS" + TBytes(24, '\0') + "\x01vorbis", ecTrackStreamUnreadable, false},
      {"cut-m4a.m4a", TBytes("\0\0\0\x18", 4) + "ftypM4A " + TBytes(12, '\0'),
       ecTrackStreamUnreadable, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = Write(c.Name, c.Bytes);
    const auto track = Read(path, false);
    EXPECT_EQ(TakeErrors(), c.Error ? std::vector{*c.Error} : std::vector<TErrorCode>{});
    EXPECT_EQ(track->Analysed, c.Analysed);
    EXPECT_EQ(track->Artist, c.Artist);
    EXPECT_NE(track->FileDate, 0);
    EXPECT_EQ(SanitizeUtf8(track->Title), track->Title); // text the documents can take
  }
}
