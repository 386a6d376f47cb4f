// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery set's arithmetic, packet reader and cancel; the files themselves are held
// to par2cmdline's in the command-line tests.
#include "common/FileUnit.h"
#include "common/Md5Lanes.h"
#include "par2/RecoveryCheckUnit.h"
#include "par2/RecoveryField.h"
#include "par2/RecoveryPackets.h"
#include "par2/RecoveryRepairUnit.h"
#include "par2/RecoverySetUnit.h"
#include "support/TempFolder.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
// Multiplication the slow way: shift and add, reducing by the generator as bits overflow.
std::uint16_t SlowMultiply(std::uint16_t a, std::uint16_t b) {
  std::uint32_t product = 0, x = a;
  for (int bit = 0; bit < 16; ++bit) {
    if (b & (1u << bit))
      product ^= x;
    x <<= 1;
    if (x & 0x10000)
      x ^= 0x1100B;
  }
  return static_cast<std::uint16_t>(product);
}

std::string PacketFile(std::initializer_list<std::string> packets) {
  std::string bytes;
  for (const std::string& packet : packets)
    bytes += packet;
  return bytes;
}

// The packets the reader keeps from bytes, as (type, body size).
std::vector<std::pair<std::string, std::size_t>> PacketsIn(const std::string& bytes,
                                                           TRecoverySetReader* reader = nullptr) {
  std::vector<std::pair<std::string, std::size_t>> found;
  ReadPackets(
      [&](std::uint64_t offset, std::span<std::uint8_t> destination) -> std::optional<std::size_t> {
        if (offset > bytes.size())
          return std::nullopt;
        const std::size_t count = std::min<std::size_t>(destination.size(), bytes.size() - offset);
        std::memcpy(destination.data(), bytes.data() + offset, count);
        return count;
      },
      bytes.size(),
      [&](const TPacket& packet) {
        found.emplace_back(packet.Type.substr(8), packet.Body.size() + packet.DataLength);
        if (reader)
          reader->Take(packet);
      });
  return found;
}
} // namespace

// Every vector form gives the words the slow multiplication gives, for regions and
// factors at random (0 and 1 included), through the layout change and back.
TEST(RecoveryField, EveryMethodMultipliesAsTheSlowReference) {
  std::mt19937 random(2026);
  for (const TGfMethod method :
       {TGfMethod::Scalar, TGfMethod::ShuffleAvx2, TGfMethod::GfniAvx2, TGfMethod::GfniAvx512}) {
    if (!GfMethodRuns(method))
      continue;
    SCOPED_TRACE(std::string(GfMethodName(method)));
    for (const std::size_t sources : {1u, 5u, 17u}) {
      const std::size_t bytes = GfGroupBytes * (1 + random() % 40);
      std::vector<std::vector<std::uint8_t>> data(sources, std::vector<std::uint8_t>(bytes));
      std::vector<std::uint16_t> factors;
      for (std::size_t s = 0; s < sources; ++s) {
        for (std::uint8_t& b : data[s])
          b = static_cast<std::uint8_t>(random());
        factors.push_back(s == 0 ? 1 : s == 1 ? 0 : static_cast<std::uint16_t>(random()));
      }
      std::vector<std::uint8_t> sum(bytes);
      for (std::uint8_t& b : sum)
        b = static_cast<std::uint8_t>(random());
      std::vector<std::uint16_t> expected(bytes / 2);
      for (std::size_t w = 0; w < expected.size(); ++w) {
        expected[w] = static_cast<std::uint16_t>(sum[2 * w] | (sum[2 * w + 1] << 8));
        for (std::size_t s = 0; s < sources; ++s)
          expected[w] ^= SlowMultiply(
              factors[s], static_cast<std::uint16_t>(data[s][2 * w] | (data[s][2 * w + 1] << 8)));
      }
      std::vector<TGfFactor> prepared;
      std::vector<const std::uint8_t*> pointers;
      for (std::size_t s = 0; s < sources; ++s) {
        ToGfLayout(data[s]);
        pointers.push_back(data[s].data());
        prepared.push_back(PrepareGfFactor(factors[s], method));
      }
      ToGfLayout(sum);
      GfMultiplyAccumulate(sum, pointers, prepared, method);
      FromGfLayout(sum);
      for (std::size_t w = 0; w < expected.size(); ++w)
        ASSERT_EQ(sum[2 * w] | (sum[2 * w + 1] << 8), expected[w]) << "word " << w;
    }
  }
  // The constants the format fixes for the first slices: 2^1, 2^2, 2^4, 2^7, 2^8, 2^11.
  EXPECT_EQ(InputSliceConstant(0), 2);
  EXPECT_EQ(InputSliceConstant(5), 2048);
}

// The side-by-side MD5 gives each message the hash it has alone, however its pieces fall:
// messages of 0 to 20 at once, of lengths around block ends, fed in uneven pieces.
TEST(RecoveryField, Md5LanesHashEachMessageAsAlone) {
  std::mt19937 random(7);
  for (const TMd5Lanes lanes : {TMd5Lanes::One, TMd5Lanes::Avx2, TMd5Lanes::Avx512})
    for (const std::size_t count : {1u, 2u, 9u, 16u, 17u, 20u}) {
      if (!Md5LanesRun(lanes))
        continue;
      std::vector<std::string> messages(count);
      for (std::string& m : messages) {
        m.resize(random() % 3 == 0 ? 64 * (random() % 40) + random() % 2 * 55 : random() % 3000);
        for (char& c : m)
          c = static_cast<char>(random());
      }
      std::vector<TMd5Stream> streams(count);
      std::vector<TMd5Stream*> pointers;
      for (TMd5Stream& stream : streams)
        pointers.push_back(&stream);
      std::vector<std::size_t> at(count, 0);
      for (int round = 0; round < 3; ++round) {
        std::vector<std::span<const std::uint8_t>> pieces;
        for (std::size_t i = 0; i < count; ++i) {
          const std::size_t left = messages[i].size() - at[i];
          const std::size_t take = round == 2 ? left : std::min<std::size_t>(left, random() % 1500);
          pieces.emplace_back(reinterpret_cast<const std::uint8_t*>(messages[i].data()) + at[i],
                              take);
          at[i] += take;
        }
        Md5UpdateLanes(pointers, pieces, lanes);
      }
      for (std::size_t i = 0; i < count; ++i)
        EXPECT_EQ(streams[i].Finish(), Md5Of(messages[i]))
            << static_cast<int>(lanes) << " lanes, " << count << " messages, #" << i;
    }
}

// A .par2 from elsewhere is read without trusting it: damaged, truncated or overlong
// packets are stepped over, and a main packet without a usable slice size gives no set.
TEST(RecoveryPackets, HostileBytesAreSteppedOver) {
  const TMd5Hash fileId{1};
  const std::string main = MainPacketBody(1024, std::span(&fileId, 1));
  const TMd5Hash setId = Md5Of(main);
  const std::string good = Packet(setId, par2::MainType, main);
  const std::string creator = Packet(setId, par2::CreatorType, CreatorBody("x"));
  std::string badHash = good;
  badHash[20] ^= 1;
  std::string tooLong = creator;
  tooLong[9] = 0x10; // a length past the file's end
  std::string oddLength = creator;
  oddLength[8] += 2;
  // Recovery packets one after another, as volumes hold them, are hashed together.
  const auto slice = [&](std::uint32_t exponent) {
    const std::string data(1024, static_cast<char>('a' + exponent));
    return RecoverySliceHeader(setId, exponent, data.size(),
                               Md5Of(RecoverySliceHashedHead(setId, exponent) + data)) +
           data;
  };
  std::string damagedSlice = slice(1), longSlice = slice(1);
  damagedSlice[500] ^= 1;
  longSlice[8] += 4; // reaches into the next packet's head
  const struct {
    const char* Name;
    std::string Bytes;
    std::size_t Packets;
    bool Set;
  } cases[] = {
      {"intact", PacketFile({good, creator}), 2, true},
      {"junk around them", PacketFile({"junk", good, "PAR2", creator, "tail"}), 2, true},
      {"a damaged hash", PacketFile({badHash, creator}), 1, false},
      {"truncated", good.substr(0, good.size() - 4), 0, false},
      {"a length past the end", PacketFile({good, tooLong}), 1, true},
      {"a length not a multiple of four", PacketFile({oddLength, good}), 1, true},
      {"a slice size of zero",
       Packet(Md5Of(MainPacketBody(0, std::span(&fileId, 1))), par2::MainType,
              MainPacketBody(0, std::span(&fileId, 1))),
       1, false},
      {"nothing but magic", std::string(4096, 'x') + std::string(par2::Magic) + "PAR2", 0, false},
      {"recovery packets in a row", PacketFile({good, slice(0), slice(1), slice(2)}), 4, true},
      {"a damaged one among them", PacketFile({slice(0), damagedSlice, slice(2), good}), 3, true},
      {"one whose length is wrong", PacketFile({slice(0), longSlice, slice(2), good}), 3, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TRecoverySetReader reader;
    EXPECT_EQ(PacketsIn(c.Bytes, &reader).size(), c.Packets);
    EXPECT_EQ(reader.Description().has_value(), c.Set);
  }
}

// A set too large to hold at once is made in passes over stripes of its slices: the files
// are those of one pass, byte for byte.
TEST(RecoverySet, PassesMakeTheSameFiles) {
  TTempFolder folder;
  std::string data(200000, '\0');
  std::mt19937 random(3);
  for (char& c : data)
    c = static_cast<char>(random());
  const std::vector<TRecoveryInput> inputs = {
      {"a.mp3", folder.Write("a.mp3", data), {}},
      {"b.nfo", {}, std::string_view(data).substr(0, 7777)}};
  std::vector<std::string> made[2];
  for (const std::uint64_t memory : {std::uint64_t{160} << 20, std::uint64_t{3000}}) {
    TRecoverySettings settings;
    settings.SliceSize = 8192;
    settings.Redundancy = 50;
    settings.RecoveryMemory = memory;
    TFileSet set;
    const auto result =
        StageRecoverySet(inputs, folder.Path() + "s.par2", settings, set, TWriteMode::Replace);
    ASSERT_EQ(result.Outcome, TRecoveryOutcome::Staged);
    ASSERT_EQ(set.Commit(), TWriteResult::Written);
    for (const std::string& path : result.Paths)
      made[memory < 4096 ? 1 : 0].push_back(ReadWholeFile(path));
  }
  EXPECT_EQ(made[0].size(), 5u); // the index and four volumes
  EXPECT_TRUE(made[0] == made[1]);
}

// A cancel leaves no recovery file behind, and the set's numbers follow par2cmdline's:
// the count rounded, the volumes 1, 2, 4, ... and the rest. Sized to the largest file, the
// set takes its 50 slices; a set that is not says it cannot rebuild it.
TEST(RecoverySet, LayoutAndCancel) {
  const std::uint64_t sizes[] = {5000000, 3000001, 3};
  const auto layout = PlanRecoveryLayout(sizes, 100000, 10);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->SourceSlices, 82u);
  EXPECT_EQ(layout->RecoverySlices, 8u);
  EXPECT_EQ(PlanRecoveryLayout(sizes, 100000, 10, true)->RecoverySlices, 50u);
  EXPECT_EQ(PlanRecoveryLayout(sizes, 100000, 70, true)->RecoverySlices, 57u);
  TRecoveryResult made;
  made.Layout = *layout;
  made.LargestFile = "01 Intro.flac";
  EXPECT_EQ(RecoveryShortfall(made).value_or("").substr(0, 78),
            "The recovery files hold 8 blocks and the largest file, 01 Intro.flac, takes 50");
  made.Layout = *PlanRecoveryLayout(sizes, 100000, 10, true);
  EXPECT_FALSE(RecoveryShortfall(made));
  EXPECT_EQ(RecoveryVolumePaths("a/set.par2", *layout),
            (std::vector<std::string>{"a/set.vol0+1.par2", "a/set.vol1+2.par2", "a/set.vol3+4.par2",
                                      "a/set.vol7+1.par2"}));
  const std::uint64_t tooMany[] = {std::uint64_t{4} << 30};
  EXPECT_FALSE(PlanRecoveryLayout(tooMany, 4096, 10));
  EXPECT_LE(PlanRecoveryLayout(tooMany, ChooseSliceSize(tooMany), 10)->SourceSlices, 2000u);

  TTempFolder folder;
  const std::string track = folder.Write("01.mp3", std::string(300000, 'a'));
  const std::vector<TRecoveryInput> inputs = {{"01.mp3", track, {}}, {"a.nfo", {}, "text"}};
  TRecoverySettings settings;
  settings.SliceSize = 4096;
  settings.Progress = [](std::uint64_t done, std::uint64_t) {
    return done < 100000;
  };
  {
    TFileSet set;
    const TRecoveryResult result =
        StageRecoverySet(inputs, folder.Path() + "a.par2", settings, set, TWriteMode::CreateOnly);
    EXPECT_EQ(result.Outcome, TRecoveryOutcome::Cancelled);
  }
  const auto entries = ReadFolder(folder.Path());
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->size(), 1u) << "only the track is left";
}

namespace {
namespace fs = std::filesystem;

// Bytes whose slices all differ, the same for a seed.
std::string Varied(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random());
  return bytes;
}

// The file's bytes changed by edit, written back whole.
void Rewrite(const std::string& path, const std::function<void(std::string&)>& edit) {
  std::string bytes = ReadWholeFile(path);
  edit(bytes);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A hand-made set, as another program or an attacker could write it: its files'
// descriptions (the names, lengths and whole hashes given), slice checksums of nothing,
// and recovery packets of the given exponents and data sizes. Made: the set the program
// makes of those files instead, whose recovery blocks rebuild them.
struct THostileSet {
  std::vector<std::pair<std::string, std::string>> Files = {{"a.bin", std::string(1000, 'a')}};
  std::uint64_t SliceSize = 4096;
  bool IntactHash = true;
  std::vector<std::pair<std::uint32_t, std::size_t>> Recovery; // exponent, data bytes
  std::size_t IdListedTimes = 1;                               // the first file's id
  std::uint64_t Length = 0; // the first file's length as the set gives it (0: its bytes')
  bool Made = false;
  std::string WrongHashOf;        // made: this file's whole hash not its bytes' (its blocks' fit)
  bool WindowsSeparators = false; // made: "\\" between the names' folders
  std::string Cp1252Of;           // made: this file's UTF-8 name written in Windows-1252
};

// Each description of the file in the .par2 files of the folder changed by edit (the
// packet's bytes and where it starts), the packet's own hash made again to fit.
void EditDescriptions(const std::string& folder, const std::string& name,
                      const std::function<void(std::string& bytes, std::size_t start)>& edit) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".par2")
      continue;
    std::string bytes = ReadWholeFile(entry.path().string());
    for (std::size_t at = bytes.find(par2::FileDescriptionType); at != std::string::npos;
         at = bytes.find(par2::FileDescriptionType, at + 1)) {
      const std::size_t start = at - 48;
      std::uint64_t length = 0;
      std::memcpy(&length, bytes.data() + start + 8, 8);
      if (bytes.compare(start + 120, name.size(), name) != 0)
        continue;
      edit(bytes, start);
      const TMd5Hash packet = Md5Of(std::string_view(bytes).substr(start + 32, length - 32));
      std::memcpy(bytes.data() + start + 16, packet.data(), packet.size());
    }
    std::ofstream(entry.path(), std::ios::binary) << bytes;
  }
}

// Each writes the set in the folder's "album/" and gives its path.
std::string WriteMadeSet(const TTempFolder& folder, const THostileSet& s) {
  std::vector<TRecoveryInput> inputs;
  for (const auto& [name, bytes] : s.Files)
    inputs.push_back({name, {}, bytes});
  TRecoverySettings settings;
  settings.SliceSize = s.SliceSize;
  settings.Redundancy = 100;
  TFileSet set;
  const std::string path = folder.Path() + "album/set.par2";
  const auto made = StageRecoverySet(inputs, path, settings, set, TWriteMode::CreateOnly);
  EXPECT_EQ(made.Outcome, TRecoveryOutcome::Staged);
  EXPECT_EQ(set.Commit(), TWriteResult::Written);
  if (!s.WrongHashOf.empty())
    EditDescriptions(folder.Path() + "album", s.WrongHashOf, [](std::string& bytes, auto start) {
      const TMd5Hash other = Md5Of("other bytes");
      std::memcpy(bytes.data() + start + 80, other.data(), other.size());
    });
  if (!s.Cp1252Of.empty()) // "é" in one byte, a zero to keep the packet's length
    EditDescriptions(folder.Path() + "album", s.Cp1252Of, [&s](std::string& bytes, auto start) {
      std::string name = s.Cp1252Of;
      name.replace(name.find("\xC3\xA9"), 2, "\xE9");
      bytes.replace(start + 120, name.size() + 1, name + '\0');
    });
  for (const auto& [name, bytes] : s.Files) // as a set made on Windows names them
    if (s.WindowsSeparators && name.find('/') != std::string::npos)
      EditDescriptions(folder.Path() + "album", name, [&name](std::string& bytes, auto start) {
        std::replace(bytes.begin() + static_cast<std::ptrdiff_t>(start + 120),
                     bytes.begin() + static_cast<std::ptrdiff_t>(start + 120 + name.size()), '/',
                     '\\');
      });
  return path;
}

std::string WriteHostileSet(const TTempFolder& folder, const THostileSet& s) {
  if (s.Made)
    return WriteMadeSet(folder, s);
  std::vector<TFileDescription> files;
  std::vector<TMd5Hash> ids;
  for (const auto& [name, bytes] : s.Files) {
    TFileDescription& file = files.emplace_back();
    file.Name = name;
    file.Length = ids.empty() && s.Length ? s.Length : bytes.size();
    file.Md5 = s.IntactHash ? Md5Of(bytes) : TMd5Hash{};
    file.Md5Of16k = Md5Of(std::string_view(bytes).substr(0, 16384));
    file.FileId = FileIdOf(file.Md5Of16k, file.Length, file.Name);
    ids.insert(ids.end(), ids.empty() ? s.IdListedTimes : 1, file.FileId);
  }
  const std::string main = MainPacketBody(s.SliceSize, ids);
  const TMd5Hash setId = Md5Of(main);
  std::string bytes = Packet(setId, par2::MainType, main);
  for (const TFileDescription& file : files)
    bytes += Packet(setId, par2::FileDescriptionType, FileDescriptionBody(file));
  for (const auto& [exponent, size] : s.Recovery) {
    const std::string data(size, 'r');
    TMd5 md5;
    md5.Update(RecoverySliceHashedHead(setId, exponent));
    md5.Update(data);
    bytes += RecoverySliceHeader(setId, exponent, size, md5.Finish()) + data;
  }
  return folder.Write("album/set.par2", bytes);
}

// Every file, folder and link below the folder, with its bytes or where it leads.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    found[entry.path().string()] = entry.is_symlink() ? "-> " + fs::read_symlink(entry).string()
                                   : entry.is_regular_file() ? ReadWholeFile(entry.path().string())
                                                             : "(folder)";
  return found;
}
} // namespace

// A .par2 from elsewhere costs no more than its files' bytes, says only what holds, and
// changes nothing the repair does not own: a slice size far beyond the file is not hashed
// as zeros, recovery packets count only at the set's slice size and within the format's
// exponents, a file id listed again or slices past a 32-bit count refuse the set, and a
// cancel leaves the rest "not checked". A file to repair that is a link (to anything), lies
// behind a linked folder or outside the folder, is no regular file or has no file's name is
// named and left, and no file outside the album's folder, nor one the set does not
// describe, changes by check or repair. A rebuilt file that does not match the set keeps
// every other out. The album's path swapped after the check for an attacker's folder whose
// files link to a secret changes nothing: the repair reads and writes in the folder it
// opened, and makes that whole. A set's own .par2 files are neither written as a file to
// protect nor read through a link, and a set of more files than may be open at once is
// repaired.
TEST(RecoveryCheck, HostileSetsAreBoundedAndJudgedAsPar2Would) {
  const auto set = [](auto change) {
    THostileSet s;
    change(s);
    return s;
  };
  const auto made = [](THostileSet& s) {
    s.Made = true;
    s.Files.emplace_back("b.bin", std::string(1000, 'b'));
  };
  const auto linked = [](const char* name, const char* to) {
    return [=](const std::string& album) {
      fs::remove(album + name);
      fs::create_symlink(to, album + name);
    };
  };
  const auto varied = [](std::initializer_list<const char*> names) {
    return [=](THostileSet& s) {
      s.Made = true;
      s.SliceSize = 512;
      s.Files.clear();
      for (const char* name : names)
        s.Files.emplace_back(name, Varied(5120, static_cast<unsigned>(s.Files.size())));
    };
  };
  const std::string notRepairable = "0 OK, 1 bad; 0 recovery blocks, 1 needed: not repairable";
  const std::string unsafeOfTwo = "1 OK, 1 bad; 2 recovery blocks, 1 needed: not repairable";
  const std::string secret = "the victim's secret, outside the album";
  THostileSet many; // more files than the descriptors left to the repair
  std::string manyLines = "f000.bin MISSING";
  many.Made = true;
  many.Files.clear();
  for (int i = 0; i < 120; ++i) {
    const std::string name = "f" +
                             std::string(i < 10    ? "00"
                                         : i < 100 ? "0"
                                                   : "") +
                             std::to_string(i) + ".bin";
    many.Files.emplace_back(name, std::string(100, static_cast<char>(i)));
    manyLines += i ? "\n" + name + " OK" : "";
  }
  const struct {
    const char* Name;
    THostileSet Set;
    std::function<void(const std::string& album)> Damage;
    const char* Lines; // of the files, by name; nullptr: no set
    std::string Summary;
    std::string Repair; // the repair's summary, names in the album's folder
    bool Cancel = false;
    bool SwapAlbum = false;      // as the repair begins to rebuild
    bool Restores = false;       // the album made whole again
    bool FewDescriptors = false; // 100 at most open at once
  } cases[] = {
      {"a 2^40-byte slice over 1,000 bytes",
       set([](THostileSet& s) { s.SliceSize = std::uint64_t{1} << 40; }),
       {},
       "a.bin OK",
       "1 OK, 0 bad; 0 recovery blocks",
       "Every file is intact: nothing to repair."},
      {"recovery packets of 8 bytes and exponents past 65,534",
       set([](THostileSet& s) {
         s.IntactHash = false;
         s.Recovery = {{0, 8}, {65535, 4096}, {4000000000u, 4096}};
       }),
       {},
       "a.bin DAMAGED (1 block)",
       notRepairable,
       "Not repairable: 1 more recovery block is needed."},
      {"one good recovery packet, twice",
       set([](THostileSet& s) {
         s.IntactHash = false;
         s.Recovery = {{3, 4096}, {3, 4096}};
       }),
       {},
       "a.bin DAMAGED (1 block)",
       "0 OK, 1 bad; 1 recovery block, 1 needed: repairable",
       "The repaired a.bin does not match the set: nothing was changed."},
      {"a name that forges a line",
       set([](THostileSet& s) { s.Files[0].first = "x\nfake.flac OK\x1b]0;t\x07"; }),
       {},
       "x\\x0Afake.flac OK\\x1B]0;t\\x07 OK",
       "1 OK, 0 bad; 0 recovery blocks",
       "Every file is intact: nothing to repair."},
      {"a link out of the folder", set([](THostileSet& s) { s.Files[0].first = "pw"; }),
       linked("pw", "/etc/passwd"), "pw UNSAFE", notRepairable,
       "Not repaired: pw is a link; nothing was changed."},
      {"a file id listed 65,000 times",
       set([](THostileSet& s) { s.IdListedTimes = 65000; }),
       {},
       nullptr,
       "",
       "This file holds no intact description of a PAR2 recovery set."},
      {"slices past a 32-bit count",
       set([](THostileSet& s) {
         s.SliceSize = 4;
         s.Length = 4 * ((std::uint64_t{1} << 32) + 1);
       }),
       {},
       nullptr,
       "",
       "This file holds no intact description of a PAR2 recovery set."},
      {"a damaged file that links to one the set does not describe", set(made),
       [&](const std::string& album) {
         std::ofstream(album + "notes.txt") << "the user's notes";
         linked("a.bin", "notes.txt")(album);
       },
       "a.bin UNSAFE\nb.bin OK", unsafeOfTwo,
       "Not repaired: a.bin is a link; nothing was changed."},
      {"a damaged file that links to another of the set", set(made), linked("a.bin", "b.bin"),
       "a.bin UNSAFE\nb.bin OK", unsafeOfTwo,
       "Not repaired: a.bin is a link; nothing was changed."},
      {"a missing file that is a dangling link out of the folder", set(made),
       [&](const std::string& album) {
         fs::create_directory(album + "../outside");
         linked("a.bin", "../outside/new.bin")(album);
       },
       "a.bin UNSAFE\nb.bin OK", unsafeOfTwo,
       "Not repaired: a.bin is a link; nothing was changed."},
      {"a damaged file behind a linked folder", set([&](THostileSet& s) {
         made(s);
         s.Files[0].first = "d/a.bin";
       }),
       [&](const std::string& album) {
         fs::rename(album + "d", album + "../elsewhere");
         std::ofstream(album + "../elsewhere/a.bin") << "damaged";
         fs::create_directory_symlink("../elsewhere", album + "d");
       },
       "b.bin OK\nd/a.bin UNSAFE", unsafeOfTwo,
       "Not repaired: d/a.bin lies behind a linked folder; nothing was changed."},
      {"a name above the folder, and a file outside of another's MD5", set([&](THostileSet& s) {
         s.Files = {{"../victim/zz", ""}, {"loot.txt", secret}};
       }),
       [&](const std::string& album) {
         fs::remove(album + "loot.txt");
         fs::create_directory(album + "../victim");
         std::ofstream(album + "../victim/secret.txt") << secret;
       },
       "../victim/zz UNSAFE\nloot.txt MISSING",
       "0 OK, 2 bad; 0 recovery blocks, 1 needed: not repairable",
       "Not repaired: ../victim/zz lies outside the set's folder; nothing was changed."},
      {"an intact file read through a link, another damaged", set(made),
       [](const std::string& album) {
         fs::rename(album + "a.bin", album + "store");
         fs::create_symlink("store", album + "a.bin");
         std::ofstream(album + "b.bin", std::ios::in | std::ios::out) << "damage";
       },
       "a.bin UNSAFE\nb.bin DAMAGED (1 block)",
       "0 OK, 2 bad; 2 recovery blocks, 1 needed: not repairable",
       "Not repaired: a.bin is a link; nothing was changed."},
      {"a pipe in a missing file's place", set(made),
       [](const std::string& album) {
         fs::remove(album + "a.bin");
         ::mkfifo((album + "a.bin").c_str(), 0644);
       },
       "a.bin UNSAFE\nb.bin OK", unsafeOfTwo,
       "Not repaired: a.bin is not a regular file; nothing was changed."},
      {"a folder in a missing file's place", set(made),
       [](const std::string& album) {
         fs::remove(album + "a.bin");
         fs::create_directory(album + "a.bin");
       },
       "a.bin UNSAFE\nb.bin OK", unsafeOfTwo,
       "Not repaired: a.bin is not a regular file; nothing was changed."},
      {"a name that is a folder's",
       set([](THostileSet& s) { s.Files[0].first = "sub/."; }),
       {},
       "sub/. UNSAFE",
       notRepairable,
       "Not repaired: sub/. is not a file's name; nothing was changed."},
      {"a name that ends in a slash",
       set([](THostileSet& s) { s.Files[0].first = "sub/"; }),
       {},
       "sub/ UNSAFE",
       notRepairable,
       "Not repaired: sub/ is not a file's name; nothing was changed."},
      {"a rebuilt file whose blocks fit and whose hash does not", set([&](THostileSet& s) {
         made(s);
         s.WrongHashOf = "b.bin";
       }),
       [](const std::string& album) {
         fs::remove(album + "b.bin");
         std::ofstream(album + "a.bin", std::ios::in | std::ios::out) << "damage";
       },
       "a.bin DAMAGED (1 block)\nb.bin MISSING",
       "0 OK, 2 bad; 2 recovery blocks, 2 needed: repairable",
       "The repaired b.bin does not match the set: nothing was changed."},
      {"the album's path swapped for an attacker's after the check", set([&](THostileSet& s) {
         made(s);
         s.SliceSize = 512;
       }),
       [](const std::string& album) {
         std::ofstream(album + "a.bin", std::ios::app) << "tail";
         std::ofstream(album + "b.bin", std::ios::app) << "tail";
       },
       "a.bin DAMAGED (0 blocks)\nb.bin DAMAGED (0 blocks)",
       "0 OK, 2 bad; 4 recovery blocks, 0 needed: repairable",
       "Repaired: 2 files, 0 blocks rebuilt.", false, true},
      {"a set made on Windows (\"\\\" between folders), its subfolder deleted whole",
       set([&](THostileSet& s) {
         made(s);
         s.Files.emplace_back("sub/c.bin", std::string(1000, 'c'));
         s.WindowsSeparators = true;
       }),
       [](const std::string& album) { fs::remove_all(album + "sub"); },
       "a.bin OK\nb.bin OK\nsub/c.bin MISSING",
       "2 OK, 1 bad; 3 recovery blocks, 1 needed: repairable", "Repaired: 1 file, 1 block rebuilt.",
       false, false, true},
      {"an album flattened since (its files moved out of d/, d/ deleted), another damaged",
       set([](THostileSet& s) {
         s.Made = true;
         s.Files = {{"c.bin", std::string(1000, 'c')},
                    {"d/a.bin", std::string(1000, 'a')},
                    {"d/b.bin", std::string(1000, 'b')}};
       }),
       [](const std::string& album) {
         for (const char* name : {"a.bin", "b.bin"})
           fs::rename(album + "d/" + name, album + name);
         fs::remove(album + "d");
         std::ofstream(album + "c.bin", std::ios::in | std::ios::out) << "damage";
       },
       "c.bin DAMAGED (1 block)\nd/a.bin MISSING (found as a.bin)\nd/b.bin MISSING (found as "
       "b.bin)",
       "0 OK, 3 bad; 3 recovery blocks, 1 needed: repairable",
       "Repaired: 3 files, 1 block rebuilt.", false, false, true},
      {"one file named twice, \"a.bin\" and \"./a.bin\"",
       set([](THostileSet& s) { s.Files.emplace_back("./a.bin", std::string(900, 'a')); }),
       {},
       nullptr,
       "",
       "This file holds no intact description of a PAR2 recovery set."},
      {"one file named twice, \"s/a.bin\" and \"s//./a.bin\"",
       set([](THostileSet& s) {
         s.Files = {{"s/a.bin", std::string(1000, 'a')}, {"s//./a.bin", std::string(900, 'a')}};
       }),
       {},
       nullptr,
       "",
       "This file holds no intact description of a PAR2 recovery set."},
      {"a volume of the set itself named as a file to protect",
       set([](THostileSet& s) { s.Files.emplace_back("set.vol0+1.par2", "volume"); }),
       [](const std::string& album) { std::ofstream(album + "set.vol0+1.par2") << "bytes"; },
       "a.bin OK\nset.vol0+1.par2 UNSAFE",
       "1 OK, 1 bad; 0 recovery blocks, 1 needed: not repairable",
       "Not repaired: set.vol0+1.par2 is a file of the recovery set itself; nothing was changed."},
      {"the set's volumes, links to another folder's files", set(made),
       [](const std::string& album) {
         fs::create_directory(album + "../victim");
         std::vector<std::string> volumes;
         for (const auto& entry : fs::directory_iterator(album))
           if (entry.path().filename().string().find(".vol") != std::string::npos)
             volumes.push_back(entry.path().filename().string());
         for (const std::string& name : volumes) {
           fs::rename(album + name, album + "../victim/" + name);
           fs::create_symlink("../victim/" + name, album + name);
         }
         std::ofstream(album + "a.bin", std::ios::in | std::ios::out) << "damage";
       },
       "a.bin DAMAGED (1 block)\nb.bin OK",
       "1 OK, 1 bad; 0 recovery blocks, 1 needed: not repairable",
       "Not repairable: 1 more recovery block is needed."},
      {"more files than the descriptors the process may open", many,
       [](const std::string& album) { fs::remove(album + "f000.bin"); }, manyLines.c_str(),
       "119 OK, 1 bad; 120 recovery blocks, 1 needed: repairable",
       "Repaired: 1 file, 1 block rebuilt.", false, false, true, true},
      {"100 bytes cut from a file's head, inserted in another, a third's head moved to its end",
       set(varied({"cut.bin", "inserted.bin", "moved.bin"})),
       [](const std::string& album) {
         Rewrite(album + "cut.bin", [](std::string& b) { b.erase(0, 100); });
         Rewrite(album + "inserted.bin", [](std::string& b) { b.insert(1000, 100, 'x'); });
         Rewrite(album + "moved.bin",
                 [](std::string& b) { b = b.substr(1024) + b.substr(0, 1024); });
       },
       "cut.bin DAMAGED (1 block)\ninserted.bin DAMAGED (1 block)\nmoved.bin DAMAGED (0 blocks)",
       "0 OK, 3 bad; 30 recovery blocks, 2 needed: repairable",
       "Repaired: 3 files, 2 blocks rebuilt.", false, false, true},
      {"a file renamed and another damaged: check needs what repair needs",
       set(varied({"a.bin", "b.bin"})),
       [](const std::string& album) {
         fs::rename(album + "a.bin", album + "renamed.bin");
         Rewrite(album + "b.bin", [](std::string& b) { b[3000] ^= 1; });
       },
       "a.bin MISSING (found as renamed.bin)\nb.bin DAMAGED (1 block)",
       "0 OK, 2 bad; 20 recovery blocks, 1 needed: repairable",
       "Repaired: 2 files, 1 block rebuilt.", false, false, true},
      {"a file named in Windows-1252 by the set, in UTF-8 on the disk, deleted",
       set([&](THostileSet& s) {
         made(s);
         s.Files[1].first = "caf\xC3\xA9.bin";
         s.Cp1252Of = s.Files[1].first;
       }),
       [](const std::string& album) { fs::remove(album + "caf\xC3\xA9.bin"); },
       "a.bin OK\ncaf\xC3\xA9.bin MISSING", "1 OK, 1 bad; 2 recovery blocks, 1 needed: repairable",
       "Repaired: 1 file, 1 block rebuilt.", false, false, true},
      {"a missing empty file", set([](THostileSet& s) { s.Files.emplace_back("empty.bin", ""); }),
       [](const std::string& album) { fs::remove(album + "empty.bin"); },
       "a.bin OK\nempty.bin MISSING", "1 OK, 1 bad; 0 recovery blocks, 0 needed: repairable",
       "Repaired: 1 file, 0 blocks rebuilt.", false, false, true},
      {"cancelled",
       {},
       {},
       "a.bin not checked",
       "0 OK, 0 bad, 1 not checked; 0 recovery blocks (cancelled)",
       "Repair cancelled: nothing was changed.",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder folder;
    const std::string album = folder.Path() + "album/";
    fs::create_directory(album);
    for (const auto& [name, bytes] : c.Set.Files)
      if (IsNameInsideFolder(name) && !name.ends_with('/') && !name.ends_with("/.")) {
        fs::create_directories(fs::path(album + name).parent_path());
        folder.Write("album/" + name, bytes);
      }
    const std::string par2 = WriteHostileSet(folder, c.Set);
    const auto whole = Snapshot(folder.Path());
    if (c.Damage)
      c.Damage(album);
    const auto before = Snapshot(folder.Path());
    const std::atomic<bool> cancelled{c.Cancel};
    rlimit descriptors{};
    ::getrlimit(RLIMIT_NOFILE, &descriptors);
    if (c.FewDescriptors) {
      rlimit few = descriptors;
      few.rlim_cur = std::min<rlim_t>(100, descriptors.rlim_cur);
      ::setrlimit(RLIMIT_NOFILE, &few);
    }
    const auto check = CheckRecoverySet(par2, {}, &cancelled);
    ASSERT_EQ(check.has_value(), c.Lines != nullptr);
    if (check) {
      std::string lines;
      for (const TRecoveryFileCheck& file : check->Files)
        lines += (lines.empty() ? "" : "\n") + RecoveryFileLine(file);
      EXPECT_EQ(lines, c.Lines);
      EXPECT_EQ(RecoveryCheckSummary(*check), c.Summary);
    }
    const std::string root = folder.Path();
    bool swapped = false;
    TRepairSettings settings;
    settings.Progress = [&](TRepairPhase phase, std::uint64_t, std::uint64_t) {
      if (c.SwapAlbum && phase == TRepairPhase::Repairing && !swapped) {
        fs::rename(album, root + "real");
        fs::create_directories(root + "evil/album");
        std::ofstream(root + "evil/secret") << std::string(5000, 's');
        for (const char* name : {"a.bin", "b.bin"})
          fs::create_symlink("../secret", root + "evil/album/" + name);
        fs::create_directory_symlink("evil/album", root + "album");
        swapped = true;
      }
      return !c.Cancel;
    };
    std::string repair = RepairSummary(RepairRecoverySet(par2, settings));
    ::setrlimit(RLIMIT_NOFILE, &descriptors);
    if (const std::size_t at = repair.find(album); at != std::string::npos)
      repair.erase(at, album.size());
    EXPECT_EQ(repair, c.Repair);
    if (swapped) {
      fs::remove(root + "album");
      fs::remove_all(root + "evil");
      fs::rename(root + "real", root + "album");
    }
    EXPECT_EQ(Snapshot(folder.Path()), c.SwapAlbum || c.Restores ? whole : before);
  }
}

// Replacing a set takes the old set's volumes with it, in the same commit, and only
// those: a file named like a volume that belongs to another set stays. A file that
// changes while the set is made is named, and nothing is written.
TEST(RecoverySet, ReplacingTakesTheOldVolumesAndAChangeStopsIt) {
  TTempFolder folder;
  const std::string data = folder.Write("d.bin", std::string(50000, 'd'));
  const std::vector<TRecoveryInput> inputs = {{"d.bin", data, {}}};
  const auto make = [&](unsigned redundancy, const std::string& index, auto progress,
                        std::uint64_t sliceSize = 4096) {
    TRecoverySettings settings;
    settings.SliceSize = sliceSize;
    settings.Redundancy = redundancy;
    settings.Progress = progress;
    TFileSet set;
    const auto result = StageRecoverySet(inputs, index, settings, set, TWriteMode::Replace);
    if (result.Outcome == TRecoveryOutcome::Staged) {
      EXPECT_EQ(set.Commit(), TWriteResult::Written);
    }
    return result;
  };
  const auto always = [](std::uint64_t, std::uint64_t) {
    return true;
  };
  make(90, folder.Path() + "s.par2", always);
  make(50, folder.Path() + "other.par2", always, 8192); // another set
  std::filesystem::rename(folder.Path() + "other.vol0+1.par2", folder.Path() + "s.vol99+1.par2");
  const auto made = make(10, folder.Path() + "s.par2", always);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
    if (entry.path().filename().string().starts_with("s."))
      left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"s.par2", "s.vol0+1.par2", "s.vol99+1.par2"}));
  EXPECT_EQ(made.Paths.size(), 2u);

  const auto changed = make(10, folder.Path() + "t.par2", [&](std::uint64_t, std::uint64_t) {
    folder.Write("d.bin", std::string(50002, 'd'));
    return true;
  });
  EXPECT_EQ(changed.Outcome, TRecoveryOutcome::Changed);
  EXPECT_EQ(changed.Path, data);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "t.par2"));
}

// Sets that ParPar and par2cmdline-turbo made (tests/data/par2, scripts/make-par2-fixtures):
// slices of 4 KiB, 6,000 bytes, 8 KiB and of the tool's choosing, recovery volumes alone,
// exponents not from 0, a subfolder. Each damaged as posters lose files, check says what
// repair needs and repair makes the album whole, byte for byte, with nothing left beside it.
TEST(RecoveryRepair, SetsOfOtherToolsAreRepairedAsTheyMeant) {
  const std::string data = std::string(TAMBERLON_TEST_DATA) + "/par2/";
  const struct {
    const char* Name;
    std::uint64_t Recovery; // the blocks the set holds
  } sets[] = {
      {"parpar-4k", 20}, {"parpar-noindex", 16}, {"turbo-uniform", 10}, {"turbo-offset", 12}};
  const auto blocks = [](std::uint64_t bytes, std::uint64_t slice) {
    return (bytes + slice - 1) / slice;
  };
  const std::string first = "01 Overture.flac", second = "02 Finale.flac";
  const struct {
    const char* Name;
    std::function<void(const std::string& album)> Damage;
    std::size_t Bad;
    std::function<std::uint64_t(std::uint64_t slice)> Needed;
  } damages[] = {
      {"a file deleted", [&](const std::string& album) { fs::remove(album + second); }, 1,
       [&](std::uint64_t slice) {
         return blocks(70001, slice);
       }},
      {"100 bytes cut from a file's head",
       [&](const std::string& album) { Rewrite(album + first, [](auto& b) { b.erase(0, 100); }); },
       1,
       [](std::uint64_t) {
         return std::uint64_t{1};
       }},
      {"bytes overwritten in two files",
       [&](const std::string& album) {
         Rewrite(album + first, [](auto& b) { b.replace(50000, 200, std::string(200, 'x')); });
         Rewrite(album + "Café.txt", [](auto& b) { b[2499] ^= 1; });
       },
       2,
       [](std::uint64_t slice) {
         return 50199 / slice - 50000 / slice + 2;
       }},
      {"a file renamed",
       [&](const std::string& album) { fs::rename(album + second, album + "02 Finale (1).flac"); },
       1,
       [](std::uint64_t) {
         return std::uint64_t{0};
       }},
      {"a subfolder deleted", [](const std::string& album) { fs::remove_all(album + "scans"); }, 2,
       [&](std::uint64_t slice) {
         return blocks(40000, slice) + blocks(9000, slice);
       }},
  };
  for (const auto& set : sets)
    for (const auto& damage : damages) {
      SCOPED_TRACE(std::string(set.Name) + ", " + damage.Name);
      TTempFolder folder;
      const std::string album = folder.Path() + "album/";
      fs::copy(data + "album", album, fs::copy_options::recursive);
      std::string index; // the set's first .par2, by name
      for (const auto& entry : fs::directory_iterator(data + set.Name)) {
        fs::copy(entry.path(), album);
        if (const std::string name = entry.path().filename().string();
            index.empty() || name < index)
          index = name;
      }
      const auto whole = Snapshot(album);
      damage.Damage(album);
      const auto found = ReadRecoverySet(album + index);
      ASSERT_TRUE(found);
      const auto check = CheckRecoverySet(album + index);
      ASSERT_TRUE(check);
      const std::uint64_t needed = damage.Needed(found->Set.SliceSize);
      EXPECT_EQ(RecoveryCheckSummary(*check),
                std::to_string(5 - damage.Bad) + " OK, " + std::to_string(damage.Bad) + " bad; " +
                    std::to_string(set.Recovery) + " recovery blocks, " + std::to_string(needed) +
                    " needed: repairable");
      const TRepairResult repair = RepairRecoverySet(album + index);
      EXPECT_EQ(repair.Outcome, TRepairOutcome::Repaired) << RepairSummary(repair);
      std::uint64_t rebuilt = 0;
      for (const TRepairedFile& file : repair.Repaired)
        rebuilt += file.RebuiltSlices;
      EXPECT_EQ(rebuilt, needed);
      std::vector<std::string> differing; // by name: the bytes are too many to print
      const auto now = Snapshot(album);
      for (const auto& [name, bytes] : whole)
        if (!now.contains(name) || now.at(name) != bytes)
          differing.push_back(name);
      for (const auto& [name, bytes] : now)
        if (!whole.contains(name))
          differing.push_back(name + " (left)");
      EXPECT_EQ(differing, std::vector<std::string>{});
    }
}
