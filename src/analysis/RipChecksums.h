// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a ripper's log states of a track, computed again from the track's samples (16-bit
// stereo, as ripped): the CRC32 of its bytes (EAC's "Copy CRC", XLD's "CRC32 hash"), the
// same without its null samples (EAC's CRC when the log says they are not used), and its
// AccurateRip v1 and v2 checksums. AccurateRip leaves out what a drive's offset cannot
// reach: the first track's first five sectors but one sample, the last track's last five.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

struct TAccurateRipSums {
  std::uint32_t V1 = 0, V2 = 0;
  bool operator==(const TAccurateRipSums&) const = default;
};

// Where the track stands on its disc, which decides the samples AccurateRip leaves out.
enum class EDiscPlace { Middle, First, Last, Only };

struct TRipChecksums {
  std::uint32_t Crc = 0;
  std::uint32_t CrcWithoutNulls = 0;           // the 16-bit samples that are 0 left out
  std::array<TAccurateRipSums, 4> AccurateRip; // by EDiscPlace
  const TAccurateRipSums& At(EDiscPlace place) const {
    return AccurateRip[static_cast<std::size_t>(place)];
  }
};

// Hears a track's samples block by block; its memory does not grow with the track.
class TRipChecksumMeter {
public:
  // Frames of 16-bit little-endian samples, left then right (a trailing part frame is not
  // heard).
  void Add(std::span<const std::uint8_t> pcm);
  TRipChecksums Result() const;

  static constexpr std::uint32_t SectorFrames = 588;
  static constexpr std::uint32_t EdgeFrames = 5 * SectorFrames;

private:
  std::uint32_t Crc = 0, CrcWithoutNulls = 0;
  std::uint64_t Frames = 0;
  TAccurateRipSums All, Head; // Head: the frames the first track leaves out
  // The last frames heard, for the last track's sums without them.
  std::array<std::uint32_t, EdgeFrames> Tail{};
  std::vector<std::uint8_t> NonNull;
};
