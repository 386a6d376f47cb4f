// SPDX-License-Identifier: GPL-3.0-or-later
#include "par2/RecoveryPackets.h"

#include "common/ByteReader.h"
#include "common/FileUnit.h"
#include "par2/RecoveryFileHashes.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {
void PutLittleEndian(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutHash(std::string& out, const TMd5Hash& hash) {
  out.append(reinterpret_cast<const char*>(hash.data()), hash.size());
}

// Strings end on a 4-byte boundary, padded with zeros.
void PadToFour(std::string& out) {
  while (out.size() % 4 != 0)
    out += '\0';
}

std::uint64_t LittleEndian(std::span<const std::uint8_t> bytes, std::size_t at, int count) {
  std::uint64_t value = 0;
  for (int i = count; i-- > 0;)
    value = (value << 8) | (at + static_cast<std::size_t>(i) < bytes.size() ? bytes[at + i] : 0);
  return value;
}

TMd5Hash HashAt(std::span<const std::uint8_t> bytes, std::size_t at) {
  TMd5Hash hash{};
  if (at <= bytes.size() && bytes.size() - at >= hash.size())
    std::memcpy(hash.data(), bytes.data() + at, hash.size());
  return hash;
}

// A name as the file system reads it, without its "." and empty steps ("./a", "s//a" and
// "s/./a" are "a" and "s/a"), so that two spellings of one file are one name. The last step
// and a leading "/" stay as written: they make a name no file's, or one outside, and are
// judged as such.
std::string WithoutEmptySteps(std::string_view name) {
  std::string kept = name.starts_with('/') ? "/" : "";
  std::size_t start = kept.size();
  for (std::size_t end; (end = name.find('/', start)) != std::string_view::npos; start = end + 1)
    if (const auto step = name.substr(start, end - start); !step.empty() && step != ".")
      kept.append(step).push_back('/');
  return kept.append(name.substr(start));
}

std::string_view AsText(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}
} // namespace

TMd5Hash FileIdOf(const TMd5Hash& md5Of16k, std::uint64_t length, std::string_view name) {
  TMd5 md5;
  md5.Update(md5Of16k);
  std::string count;
  PutLittleEndian(count, length, 8);
  md5.Update(count);
  md5.Update(name);
  return md5.Finish();
}

std::string MainPacketBody(std::uint64_t sliceSize, std::span<const TMd5Hash> sortedFileIds) {
  std::string body;
  PutLittleEndian(body, sliceSize, 8);
  PutLittleEndian(body, sortedFileIds.size(), 4);
  for (const TMd5Hash& id : sortedFileIds)
    PutHash(body, id);
  return body;
}

std::string FileDescriptionBody(const TFileDescription& file) {
  std::string body;
  PutHash(body, file.FileId);
  PutHash(body, file.Md5);
  PutHash(body, file.Md5Of16k);
  PutLittleEndian(body, file.Length, 8);
  body += file.Name;
  PadToFour(body);
  return body;
}

std::string SliceChecksumBody(const TMd5Hash& fileId, std::span<const TSliceChecksum> slices) {
  std::string body;
  PutHash(body, fileId);
  for (const TSliceChecksum& slice : slices) {
    PutHash(body, slice.Md5);
    PutLittleEndian(body, slice.Crc32, 4);
  }
  return body;
}

std::string CreatorBody(std::string_view text) {
  std::string body(text);
  PadToFour(body);
  return body;
}

std::string Packet(const TMd5Hash& setId, std::string_view type, std::string_view body) {
  std::string hashed;
  PutHash(hashed, setId);
  hashed += type;
  hashed += body;
  std::string packet(par2::Magic);
  PutLittleEndian(packet, par2::HeaderBytes - 32 + hashed.size(), 8);
  PutHash(packet, Md5Of(hashed));
  return packet + hashed;
}

std::string RecoverySliceHashedHead(const TMd5Hash& setId, std::uint32_t exponent) {
  std::string head;
  PutHash(head, setId);
  head += par2::RecoverySliceType;
  PutLittleEndian(head, exponent, 4);
  return head;
}

std::uint64_t RecoverySlicePacketBytes(std::uint64_t sliceSize) {
  return par2::HeaderBytes + 4 + sliceSize;
}

std::string RecoverySliceHeader(const TMd5Hash& setId, std::uint32_t exponent,
                                std::uint64_t sliceSize, const TMd5Hash& hash) {
  std::string header(par2::Magic);
  PutLittleEndian(header, RecoverySlicePacketBytes(sliceSize), 8);
  PutHash(header, hash);
  PutHash(header, setId);
  header += par2::RecoverySliceType;
  PutLittleEndian(header, exponent, 4);
  return header;
}

namespace {
// Walks a file for packets: finds each magic, checks the header's length and hash, and
// hands on what holds; bytes that hold no packet are stepped over.
class TPacketScanner {
public:
  TPacketScanner(const TReadAt& read, std::uint64_t size)
      : Read(read), Size(size),
        // Small files need small buffers (the reader runs once per file of a set).
        BufferSize(static_cast<std::size_t>(std::min<std::uint64_t>(Chunk, size))),
        Window(BufferSize), Buffer(BufferSize), WastedBudget(size + (std::uint64_t{64} << 20)) {}

  void Scan(const std::function<void(const TPacket& packet)>& visit) {
    std::uint64_t at = 0;
    for (;;) {
      const auto next = FindMagic(at);
      if (!next)
        return;
      at = *next;
      std::array<std::uint8_t, par2::HeaderBytes + 4> head{};
      const auto headRead = Read(at, head);
      if (!headRead || *headRead < par2::HeaderBytes)
        return;
      const std::span<const std::uint8_t> h(head.data(), *headRead);
      TPacket packet;
      const auto length = PacketAt(at, h, packet);
      if (Exhausted)
        return;
      if (!length) {
        at += 1;
        continue;
      }
      visit(packet);
      at += *length;
    }
  }

private:
  static constexpr std::size_t Chunk = std::size_t{1} << 20;
  static constexpr std::size_t RunLength = 16;
  struct TVerdict {
    std::uint64_t At = 0, Length = 0;
    TMd5Hash Hash{};
    bool Holds = false;
  };

  // The offset of the next magic from an offset on, or nothing.
  std::optional<std::uint64_t> FindMagic(std::uint64_t from) {
    while (from + par2::HeaderBytes <= Size) {
      if (from < WindowStart || from + par2::Magic.size() > WindowStart + WindowLength) {
        const auto got =
            Read(from, std::span(Window.data(), static_cast<std::size_t>(std::min<std::uint64_t>(
                                                    BufferSize, Size - from))));
        if (!got || *got < par2::Magic.size())
          return std::nullopt;
        WindowStart = from;
        WindowLength = *got;
      }
      const std::string_view view = AsText(std::span(Window.data(), WindowLength))
                                        .substr(static_cast<std::size_t>(from - WindowStart));
      const std::size_t found = view.find(par2::Magic);
      if (found != std::string_view::npos)
        return from + found;
      if (WindowStart + WindowLength >= Size)
        return std::nullopt;
      from = WindowStart + WindowLength - (par2::Magic.size() - 1);
    }
    return std::nullopt;
  }

  // The packet whose header h is at `at`, its length when its hash holds.
  std::optional<std::uint64_t> PacketAt(std::uint64_t at, std::span<const std::uint8_t> h,
                                        TPacket& packet) {
    const std::uint64_t length = LittleEndian(h, 8, 8);
    const bool plausible = length >= par2::HeaderBytes && length % 4 == 0 && length <= Size - at;
    packet.SetId = HashAt(h, 32);
    packet.Type = std::string(AsText(h.subspan(48, 16)));
    const bool recovery = packet.Type == par2::RecoverySliceType;
    if (!plausible ||
        !(recovery ? length >= par2::HeaderBytes + 4 : length <= par2::MaximumDescriptivePacket))
      return std::nullopt;
    if (recovery ? !RecoveryHashHolds(at, length, HashAt(h, 16))
                 : !HashHolds(at, length, HashAt(h, 16), &packet.Body)) {
      // Bytes hashed for candidates that were no packet: past this, the rest is not
      // searched, so that a file full of false heads cannot keep the reader busy for ever.
      if (!recovery)
        WastedBudget -= std::min(WastedBudget, length);
      Exhausted = WastedBudget == 0;
      return std::nullopt;
    }
    if (recovery) {
      packet.Exponent = static_cast<std::uint32_t>(LittleEndian(h, par2::HeaderBytes, 4));
      packet.DataOffset = at + par2::HeaderBytes + 4;
      packet.DataLength = length - par2::HeaderBytes - 4;
    } else {
      packet.Body.erase(packet.Body.begin(), packet.Body.begin() + 32); // set id and type
    }
    return length;
  }

  // A recovery packet's hash, told from those of the run of recovery packets it starts,
  // each just after the other as volumes hold them: their data is hashed side by side in
  // the vector lanes. Each verdict stands for its packet when the scan comes to it; the
  // bytes of those that fail are charged as they are hashed.
  bool RecoveryHashHolds(std::uint64_t at, std::uint64_t length, const TMd5Hash& hash) {
    const auto known = std::find_if(Verdicts.begin(), Verdicts.end(), [&](const TVerdict& v) {
      return v.At == at && v.Length == length;
    });
    if (known != Verdicts.end())
      return known->Holds;
    Verdicts.assign(1, {at, length, hash});
    while (Verdicts.size() < RunLength) {
      const auto next = RecoveryHeadAt(Verdicts.back().At + Verdicts.back().Length);
      if (!next)
        break;
      Verdicts.push_back(*next);
    }
    std::vector<std::uint64_t> lengths;
    for (const TVerdict& verdict : Verdicts)
      lengths.push_back(verdict.Length - 32);
    const auto hashes = HashSideBySide(
        lengths, [&](std::size_t i, std::uint64_t offset, std::span<std::uint8_t> into) {
          return Read(Verdicts[i].At + 32 + offset, into) == into.size();
        });
    for (std::size_t i = 0; i < Verdicts.size(); ++i) {
      Verdicts[i].Holds = hashes[i] == Verdicts[i].Hash;
      if (!Verdicts[i].Holds)
        WastedBudget -= std::min(WastedBudget, Verdicts[i].Length);
    }
    return Verdicts.front().Holds;
  }

  // The recovery packet whose head may be at `at`: its magic, type and a plausible length.
  std::optional<TVerdict> RecoveryHeadAt(std::uint64_t at) {
    std::array<std::uint8_t, par2::HeaderBytes> h{};
    if (at >= Size || Size - at < par2::HeaderBytes + 4 || Read(at, h) != h.size() ||
        AsText(std::span(h).first(par2::Magic.size())) != par2::Magic ||
        AsText(std::span(h).subspan(48, 16)) != par2::RecoverySliceType)
      return std::nullopt;
    const std::uint64_t length = LittleEndian(h, 8, 8);
    if (length < par2::HeaderBytes + 4 || length % 4 != 0 || length > Size - at)
      return std::nullopt;
    return TVerdict{at, length, HashAt(h, 16)};
  }

  // The hash covers the set id onwards; a descriptive packet's body is kept.
  bool HashHolds(std::uint64_t at, std::uint64_t length, const TMd5Hash& expected,
                 std::vector<std::uint8_t>* body) {
    TMd5 md5;
    for (std::uint64_t hashed = 32; hashed < length;) {
      const std::size_t part =
          static_cast<std::size_t>(std::min<std::uint64_t>(BufferSize, length - hashed));
      const auto partRead = Read(at + hashed, std::span(Buffer.data(), part));
      if (!partRead || *partRead != part)
        return false;
      md5.Update(std::span(Buffer.data(), part));
      if (body)
        body->insert(body->end(), Buffer.begin(),
                     Buffer.begin() + static_cast<std::ptrdiff_t>(part));
      hashed += part;
    }
    return md5.Finish() == expected;
  }

  const TReadAt& Read;
  const std::uint64_t Size;
  const std::size_t BufferSize;
  std::vector<std::uint8_t> Window; // searched for the magic
  std::vector<std::uint8_t> Buffer; // a candidate's bytes, hashed
  std::uint64_t WindowStart = 0;
  std::size_t WindowLength = 0;
  std::uint64_t WastedBudget;
  bool Exhausted = false;
  std::vector<TVerdict> Verdicts; // a run of recovery packets hashed together
};
} // namespace

void ReadPackets(const TReadAt& read, std::uint64_t size,
                 const std::function<void(const TPacket& packet)>& visit) {
  TPacketScanner(read, size).Scan(visit);
}

bool ReadPacketsOfFile(const std::string& path,
                       const std::function<void(const TPacket& packet)>& visit) {
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return false;
  ReadPacketsOfFile(*file, visit);
  return true;
}

void ReadPacketsOfFile(TReadOnlyFile& file,
                       const std::function<void(const TPacket& packet)>& visit) {
  ReadPackets(
      [&](std::uint64_t offset, std::span<std::uint8_t> destination) {
        return file.ReadAt(static_cast<std::int64_t>(offset), destination);
      },
      static_cast<std::uint64_t>(file.Size()), visit);
}

void TRecoverySetReader::Take(const TPacket& packet) {
  if (SetId && packet.SetId != *SetId)
    return; // another set's packet (files of two sets side by side)
  const std::span<const std::uint8_t> body(packet.Body);
  if (packet.Type == par2::MainType) {
    if (body.size() < 12 || Md5Of(body) != packet.SetId)
      return;
    SetId = packet.SetId;
    MainBody = packet.Body;
  } else if (packet.Type == par2::FileDescriptionType && body.size() >= 56) {
    TFileDescription file;
    file.FileId = HashAt(body, 0);
    file.Md5 = HashAt(body, 16);
    file.Md5Of16k = HashAt(body, 32);
    file.Length = LittleEndian(body, 48, 8);
    std::string_view name = AsText(body.subspan(56));
    while (!name.empty() && name.back() == '\0')
      name.remove_suffix(1);
    std::string spelled(name);
    // Sets made on Windows may separate folders with "\\", as that system does.
    std::replace(spelled.begin(), spelled.end(), '\\', '/');
    file.Name = WithoutEmptySteps(spelled);
    if (Descriptions.size() < MaximumFiles)
      Descriptions.emplace(std::pair(packet.SetId, file.FileId), std::move(file));
  } else if (packet.Type == par2::SliceChecksumType && body.size() >= 16 &&
             (body.size() - 16) % 20 == 0 &&
             !Checksums.contains(std::pair(packet.SetId, HashAt(body, 0))) &&
             KeptSlices + (body.size() - 16) / 20 <= MaximumSlices) {
    std::vector<TSliceChecksum> slices((body.size() - 16) / 20);
    KeptSlices += slices.size();
    for (std::size_t i = 0; i < slices.size(); ++i) {
      slices[i].Md5 = HashAt(body, 16 + 20 * i);
      slices[i].Crc32 = static_cast<std::uint32_t>(LittleEndian(body, 32 + 20 * i, 4));
    }
    Checksums.emplace(std::pair(packet.SetId, HashAt(body, 0)), std::move(slices));
  }
}

std::optional<TRecoverySetDescription> TRecoverySetReader::Description() const {
  if (!SetId)
    return std::nullopt;
  const std::span<const std::uint8_t> main(MainBody);
  TRecoverySetDescription set;
  set.SetId = *SetId;
  set.SliceSize = LittleEndian(main, 0, 8);
  const std::uint64_t count = LittleEndian(main, 8, 4);
  if (set.SliceSize == 0 || set.SliceSize % 4 != 0 || count > (main.size() - 12) / 16)
    return std::nullopt;
  // The recovery set's files, then those it only lists (empty ones): checked alike. No
  // client lists a file twice or describes two files by one name; a set that does is
  // refused rather than have one file read once for every mention.
  std::set<TMd5Hash> ids;
  std::set<std::string_view> names;
  for (std::uint64_t i = 0; i < (main.size() - 12) / 16; ++i) {
    const TMd5Hash id = HashAt(main, 12 + 16 * i);
    if (!ids.insert(id).second)
      return std::nullopt;
    if (i < count)
      set.RecoveryFileIds.push_back(id);
    const auto described = Descriptions.find(std::pair(set.SetId, id));
    if (described != Descriptions.end() && !names.insert(described->second.Name).second)
      return std::nullopt;
    set.Files.push_back(described == Descriptions.end() ? TFileDescription{} : described->second);
    const auto checked = Checksums.find(std::pair(set.SetId, id));
    set.Slices.push_back(checked == Checksums.end() ? std::vector<TSliceChecksum>{}
                                                    : checked->second);
  }
  if (!RecoverySetSlices(set))
    return std::nullopt;
  return set;
}

std::optional<std::uint32_t> RecoverySetSlices(const TRecoverySetDescription& set) {
  std::uint64_t recovery = 0, all = 0;
  for (std::size_t i = 0; i < set.Files.size(); ++i) {
    const std::uint64_t slices = SlicesOf(set.Files[i].Length, set.SliceSize);
    if (slices > UINT64_MAX - all)
      return std::nullopt;
    all += slices;
    if (i < set.RecoveryFileIds.size())
      recovery += slices; // no more than all
  }
  if (recovery > par2::MaximumSourceSlices)
    return std::nullopt;
  return static_cast<std::uint32_t>(recovery);
}
