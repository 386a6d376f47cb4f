// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding a set's slices at any byte offset of a file: a file cut at its head, with bytes
// inserted, or with a part moved still holds most of its slices, only not where the set
// says. A CRC-32 over a slice-sized window rolls one byte at a time (the byte leaving is
// taken out by a table made for the window's length); where it equals the CRC of a slice
// not found yet, the window's MD5 confirms it. A window running past
// the file's end reads zeros, as a short last slice is padded. What a search costs is
// bounded by the file's bytes, whatever the set says: confirmations that fail (a CRC
// forged to match everywhere) end the search once they have hashed as much as the file.
#include "par2/RecoveryPackets.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

class TReadOnlyFile;

struct TSliceHit {
  std::uint32_t Number = 0; // in the set's numbering
  std::uint64_t Offset = 0; // in the file searched
};

class TSliceSearch {
public:
  // The slices of the set's recovery files (those with their checksums), numbered as the
  // recovery slices number them.
  explicit TSliceSearch(const TRecoverySetDescription& set);

  // The slices the file holds, each number once, in the order found; nothing when a read
  // failed or the search was cancelled. expected: the slice the file should start with.
  std::optional<std::vector<TSliceHit>> Search(TReadOnlyFile& file,
                                               std::optional<std::uint32_t> expected,
                                               const std::atomic<bool>* cancelled) const;

  // The bytes a slice holds in its own file (the last of a file's may be short).
  std::uint64_t BytesOf(std::uint32_t number) const { return Bytes[number]; }
  std::uint32_t Count() const { return static_cast<std::uint32_t>(Bytes.size()); }

private:
  friend class TSliceScan;
  struct TTarget {
    std::uint32_t Register = 0; // the window's CRC register without its start and end terms
    std::uint32_t Number = 0;
  };
  std::uint64_t SliceSize = 0;
  std::vector<TTarget> Targets; // by register
  std::vector<TSliceChecksum> Checksums;
  std::vector<std::uint64_t> Bytes;
  std::vector<char> Known; // the slice's checksums are in the set
  std::vector<std::uint64_t> Filter = std::vector<std::uint64_t>(1024); // registers' low 16 bits
  std::array<std::uint32_t, 256> Leaving{}; // a byte's term once a window's length behind
  std::uint32_t ZerosCrc = 0;               // the CRC of a window of zeros
};

// The CRC-32 register's arithmetic that the rolling search stands on, for its tests.
// The register after count zero bytes more.
std::uint32_t Crc32AfterZeros(std::uint32_t crcRegister, std::uint64_t count);
// A window's CRC from the CRC of its first bytes and the zeros after them.
std::uint32_t Crc32PaddedWithZeros(std::uint32_t crc, std::uint64_t zeros);
