// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings LAME records in its tag, the extension of the first frame's Xing or Info
// header.
#include "audio/MPEGaudio.h"

#include <cstddef>
#include <span>
#include <string>

namespace mpeg {
// How the file was encoded, in the words posters use: "-V2", "-b 320", "--abr 192",
// "--preset extreme"; "" without a LAME tag or with a method it does not name.
std::string LameSetting(std::span<const std::uint8_t> block, std::size_t frameStart,
                        const TMPEGFrame& frame);
} // namespace mpeg
