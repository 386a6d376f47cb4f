// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CRC-32 (reflected, polynomial EDB88320: the checksum of zlib, PKZIP and SFV files).
#include <atomic>
#include <cstdint>
#include <functional>
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
// that the file is read once for both: the bytes it reads in order count as they come; what
// it skips, reads out of order or never reaches is read when the guard ends. A cancelled
// reading, or a read that fails, leaves the checksum unset. Declared after the file it
// watches, and ended before it.
class TCrcOfWhatIsRead {
public:
  TCrcOfWhatIsRead(TReadOnlyFile& file, std::optional<std::uint32_t>* result,
                   const std::atomic<bool>* cancelled);
  ~TCrcOfWhatIsRead();
  TCrcOfWhatIsRead(const TCrcOfWhatIsRead&) = delete;
  TCrcOfWhatIsRead& operator=(const TCrcOfWhatIsRead&) = delete;

private:
  void Heard(std::int64_t offset, std::span<const std::uint8_t> bytes);

  TReadOnlyFile& File;
  std::optional<std::uint32_t>* Result;
  const std::atomic<bool>* Cancelled;
  std::int64_t Frontier = 0;
  std::uint32_t Crc = 0;
};

// Eight upper-case hexadecimal digits, as SFV files write them.
std::string CRC32Text(std::uint32_t crc);
