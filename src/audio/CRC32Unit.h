// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CRC-32 (reflected, polynomial EDB88320: the checksum of zlib, PKZIP and SFV files).
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>

// Continues a checksum over more bytes; start with 0.
std::uint32_t UpdateCRC32(std::uint32_t crc, std::span<const std::uint8_t> bytes);

// The checksum of a whole file, read in fixed-size chunks; nothing when the file cannot
// be opened, a read fails, or the reading was cancelled. bytesRead hears of each chunk.
std::optional<std::uint32_t> FileCRC32(const std::string& path,
                                       const std::function<void(std::uint64_t)>& bytesRead = {},
                                       const std::atomic<bool>* cancelled = nullptr);

class TReadOnlyFile;

// The checksum of a whole file taken from what another reader (a decoder) reads of it, so
// that the file is read once for both: each stretch it reads is checksummed once as it
// comes, in any order (an MP4's index at the end first, a tag's picture skipped), and the
// stretches are joined; what it never reads is read when the guard ends. A cancelled
// reading, a read that fails or a file that changed leaves the checksum unset. Declared
// after the file it watches, and ended before it.
class TCrcOfWhatIsRead {
public:
  TCrcOfWhatIsRead(TReadOnlyFile& file, std::optional<std::uint32_t>* result,
                   const std::atomic<bool>* cancelled);
  ~TCrcOfWhatIsRead();
  TCrcOfWhatIsRead(const TCrcOfWhatIsRead&) = delete;
  TCrcOfWhatIsRead& operator=(const TCrcOfWhatIsRead&) = delete;

private:
  struct TStretch {
    std::int64_t End;
    std::uint32_t Crc;
  };
  void Heard(std::int64_t offset, std::span<const std::uint8_t> bytes);
  void Add(std::int64_t start, std::span<const std::uint8_t> bytes);
  bool ReadTheRest();

  TReadOnlyFile& File;
  std::optional<std::uint32_t>* Result;
  const std::atomic<bool>* Cancelled;
  std::map<std::int64_t, TStretch> Stretches; // by start, apart from each other
  bool Lost = false;                          // too scattered to follow
};

// Eight upper-case hexadecimal digits, as SFV files write them.
std::string CRC32Text(std::uint32_t crc);
