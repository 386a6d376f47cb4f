// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The length of a FLAC stream whose stream information leaves the sample count unknown
// (0, as an encoder writing to a pipe leaves it): the last frame's header numbers it.
#include "audio/FlacMetadata.h"

#include <cstdint>

// The last frame is looked for in at most this many bytes before the audio's end (a frame
// the stream information calls larger is still looked for whole, up to four times this).
inline constexpr std::int64_t FlacTailBytes = 1 << 20;

// The samples up to the end of the last frame: the frame found nearest the audio's end
// whose header checksum holds and whose own checksum covers the bytes to that end. 0 when
// none is found.
std::uint64_t FlacSamplesFromLastFrame(TReadOnlyFile& file, const TFlacMetadata& metadata);
