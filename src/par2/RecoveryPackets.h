// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The packets of a PAR 2.0 recovery set, written and read. Each packet: the magic
// "PAR2\0PKT", its length (a multiple of 4, header included), the MD5 of everything after
// that hash, the recovery set's id and a 16-byte type, then the body. Numbers are
// little-endian.
#include "common/Md5Unit.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TReadOnlyFile;

namespace par2 {
inline constexpr std::size_t HeaderBytes = 64;
inline constexpr std::string_view Magic{"PAR2\0PKT", 8};
inline constexpr std::string_view MainType{"PAR 2.0\0Main\0\0\0\0", 16};
inline constexpr std::string_view FileDescriptionType{"PAR 2.0\0FileDesc", 16};
inline constexpr std::string_view SliceChecksumType{"PAR 2.0\0IFSC\0\0\0\0", 16};
inline constexpr std::string_view RecoverySliceType{"PAR 2.0\0RecvSlic", 16};
inline constexpr std::string_view CreatorType{"PAR 2.0\0Creator\0", 16};
// The format's limits: slices of the files, and recovery slices (exponents are 16-bit).
inline constexpr std::uint32_t MaximumSourceSlices = 32768;
inline constexpr std::uint32_t MaximumRecoverySlices = 65535;
// A packet other than a recovery slice is read whole; none that the format allows is larger
// (a slice checksum packet of 32,768 slices is 655,440 bytes).
inline constexpr std::uint64_t MaximumDescriptivePacket = 1u << 20;
} // namespace par2

// The slices a file of that length takes, whatever the length a .par2 gives.
constexpr std::uint64_t SlicesOf(std::uint64_t length, std::uint64_t sliceSize) {
  return length / sliceSize + (length % sliceSize != 0);
}

struct TSliceChecksum {
  TMd5Hash Md5{};
  std::uint32_t Crc32 = 0;
};

struct TFileDescription {
  TMd5Hash FileId{};
  TMd5Hash Md5{};
  TMd5Hash Md5Of16k{}; // of the first 16 KiB
  std::uint64_t Length = 0;
  std::string Name;
};

// The id a file gets from its first 16 KiB, its length and its name.
TMd5Hash FileIdOf(const TMd5Hash& md5Of16k, std::uint64_t length, std::string_view name);

// Whole packets.
std::string MainPacketBody(std::uint64_t sliceSize, std::span<const TMd5Hash> sortedFileIds);
std::string FileDescriptionBody(const TFileDescription& file);
std::string SliceChecksumBody(const TMd5Hash& fileId, std::span<const TSliceChecksum> slices);
std::string CreatorBody(std::string_view text);
std::string Packet(const TMd5Hash& setId, std::string_view type, std::string_view body);

// A recovery slice packet is written around its data, which is hashed as it is made:
// the hash takes these bytes of the packet's head, then the data.
std::string RecoverySliceHashedHead(const TMd5Hash& setId, std::uint32_t exponent);
std::string RecoverySliceHeader(const TMd5Hash& setId, std::uint32_t exponent,
                                std::uint64_t sliceSize, const TMd5Hash& hash);
std::uint64_t RecoverySlicePacketBytes(std::uint64_t sliceSize);

// Reading: the packets of a file whose hashes hold, each once, in file order; damaged
// bytes between them are stepped over. A recovery slice's data is not kept, only where it is.
struct TPacket {
  TMd5Hash SetId{};
  std::string Type;
  std::vector<std::uint8_t> Body; // empty for a recovery slice
  std::uint32_t Exponent = 0;     // a recovery slice's
  std::uint64_t DataOffset = 0;   // where its data starts in the file
  std::uint64_t DataLength = 0;
};

// Where the bytes come from: the count read at an offset (short at the end), or nothing.
using TReadAt = std::function<std::optional<std::size_t>(std::uint64_t offset,
                                                         std::span<std::uint8_t> destination)>;
void ReadPackets(const TReadAt& read, std::uint64_t size,
                 const std::function<void(const TPacket& packet)>& visit);
// The same over a file; false when it cannot be opened.
bool ReadPacketsOfFile(const std::string& path,
                       const std::function<void(const TPacket& packet)>& visit);
void ReadPacketsOfFile(TReadOnlyFile& file,
                       const std::function<void(const TPacket& packet)>& visit);

// What a set's descriptive packets say; nothing unless a main packet was found.
struct TRecoverySetDescription {
  TMd5Hash SetId{};
  std::uint64_t SliceSize = 0;
  std::vector<TMd5Hash> RecoveryFileIds; // in the main packet's order
  // By RecoveryFileIds, then the files listed outside the recovery set; a file whose
  // description is missing: empty.
  std::vector<TFileDescription> Files;
  std::vector<std::vector<TSliceChecksum>> Slices;
};
// The slices of the set's recovery files (their numbering's end); nothing when they are
// more than the format allows, or when the slices of all its files would wrap a count.
// The reader refuses such a set, so that check and repair judge it alike.
std::optional<std::uint32_t> RecoverySetSlices(const TRecoverySetDescription& set);

class TRecoverySetReader {
public:
  void Take(const TPacket& packet);
  // The description once a main packet came; nothing when none did or it was unusable.
  std::optional<TRecoverySetDescription> Description() const;

private:
  // No more is kept than a set the format allows can hold, however many packets come.
  static constexpr std::size_t MaximumFiles = 65536;
  static constexpr std::size_t MaximumSlices = 2 * par2::MaximumSourceSlices;
  std::optional<TMd5Hash> SetId;
  std::vector<std::uint8_t> MainBody;
  // By set and file id: files of two sets side by side are told apart by their set.
  std::map<std::pair<TMd5Hash, TMd5Hash>, TFileDescription> Descriptions;
  std::map<std::pair<TMd5Hash, TMd5Hash>, std::vector<TSliceChecksum>> Checksums;
  std::size_t KeptSlices = 0;
};
