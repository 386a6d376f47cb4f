// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/LameTag.h"

#include "common/ByteReader.h"

#include <array>
#include <string_view>

namespace mpeg {
namespace {
// The preset field's named presets of LAME 3.9x, from 1000 on (3.100 writes the V level
// these stand for instead).
constexpr std::array<std::string_view, 8> NamedPresets = {
    "--r3mix",         "--preset standard",      "--preset extreme",
    "--preset insane", "--preset fast standard", "--preset fast extreme",
    "--preset medium", "--preset fast medium"};

enum : unsigned { Cbr = 1, Abr = 2, VbrOld = 3, VbrLast = 6, CbrTwoPass = 8, AbrTwoPass = 9 };

// The LAME tag follows the header's optional fields, each present by its flag.
std::size_t TagOffset(std::uint32_t flags, std::size_t header) {
  return header + 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) +
         ((flags & 8) ? 4 : 0);
}

std::string VbrLevel(unsigned preset, std::uint32_t flags, const TByteReader& bytes,
                     std::size_t tag) {
  // V9 to V0 are the presets 410 to 500; else the header's quality, 100 - 10 V - q.
  if (preset >= 410 && preset <= 500 && preset % 10 == 0)
    return "-V" + std::to_string((500 - preset) / 10);
  const std::uint32_t quality = (flags & 8) ? bytes.U32BE(tag - 4) : 0;
  return quality >= 1 && quality <= 100 ? "-V" + std::to_string((100 - quality) / 10) : "";
}
} // namespace

std::string LameSetting(std::span<const std::uint8_t> block, std::size_t frameStart,
                        const TMPEGFrame& frame) {
  const TByteReader bytes(block);
  const std::size_t header = frameStart + VBRHeaderOffset(frame);
  if (!bytes.Matches(header, "Xing") && !bytes.Matches(header, "Info"))
    return {};
  const std::uint32_t flags = bytes.U32BE(header + 4);
  const std::size_t tag = TagOffset(flags, header);
  if (!bytes.Has(tag, 36) || !bytes.Matches(tag, "LAME"))
    return {};
  const unsigned method = bytes.U8(tag + 9) & 0x0F;
  const unsigned rate = bytes.U8(tag + 20); // ABR's target, else the lowest rate allowed
  const unsigned preset = bytes.U16BE(tag + 26) & 0x7FF;
  if (preset >= 1000 && preset < 1000 + NamedPresets.size())
    return std::string(NamedPresets[preset - 1000]);
  if (method == Cbr || method == CbrTwoPass)
    return "-b " + std::to_string(TableBitRate(frame));
  if (method == Abr || method == AbrTwoPass) {
    // 255 stands for "255 or more"; the preset then holds the target.
    const unsigned target = rate == 255 && preset >= 8 && preset <= 320 ? preset : rate;
    return target ? "--abr " + std::to_string(target) : "";
  }
  if (method >= VbrOld && method <= VbrLast)
    return VbrLevel(preset, flags, bytes, tag);
  return {};
}
} // namespace mpeg
