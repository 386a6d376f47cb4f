// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipChecksums.h"

#include "audio/CRC32Unit.h"

#include <algorithm>

namespace {
// A frame's part of both sums: v1 keeps the low half of position times frame, v2 adds the
// high half to it. Positions count from 1, and wrap as the rippers' 32-bit counters do.
void AddFrame(TAccurateRipSums& sums, std::uint32_t position, std::uint32_t frame) {
  const std::uint64_t product = std::uint64_t{position} * frame;
  const auto low = static_cast<std::uint32_t>(product);
  sums.V1 += low;
  sums.V2 += low + static_cast<std::uint32_t>(product >> 32);
}

TAccurateRipSums Less(TAccurateRipSums sums, const TAccurateRipSums& part) {
  sums.V1 -= part.V1;
  sums.V2 -= part.V2;
  return sums;
}
} // namespace

void TRipChecksumMeter::Add(std::span<const std::uint8_t> pcm) {
  const std::size_t frames = pcm.size() / 4;
  pcm = pcm.first(frames * 4);
  Crc = UpdateCRC32(Crc, pcm);
  NonNull.clear();
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2)
    if (pcm[i] != 0 || pcm[i + 1] != 0)
      NonNull.insert(NonNull.end(), {pcm[i], pcm[i + 1]});
  CrcWithoutNulls = UpdateCRC32(CrcWithoutNulls, NonNull);
  for (std::size_t i = 0; i < frames; ++i) {
    const std::uint8_t* bytes = &pcm[4 * i];
    const std::uint32_t frame =
        bytes[0] | bytes[1] << 8 | std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
    const auto position = static_cast<std::uint32_t>(++Frames);
    AddFrame(All, position, frame);
    if (Frames < EdgeFrames) // the first track's sums start at its 2,940th frame
      AddFrame(Head, position, frame);
    Tail[Frames % EdgeFrames] = frame;
  }
}

TRipChecksums TRipChecksumMeter::Result() const {
  // The last frames' parts, and of those the ones the head has not already left out.
  TAccurateRipSums tail, tailPastHead;
  const std::uint64_t kept = std::min<std::uint64_t>(Frames, EdgeFrames);
  for (std::uint64_t frame = Frames - kept + 1; frame <= Frames; ++frame) {
    const std::uint32_t value = Tail[frame % EdgeFrames];
    AddFrame(tail, static_cast<std::uint32_t>(frame), value);
    if (frame >= EdgeFrames)
      AddFrame(tailPastHead, static_cast<std::uint32_t>(frame), value);
  }
  TRipChecksums sums;
  sums.Crc = Crc;
  sums.CrcWithoutNulls = CrcWithoutNulls;
  sums.AccurateRip = {All, Less(All, Head), Less(All, tail), Less(Less(All, Head), tailPastHead)};
  return sums;
}
