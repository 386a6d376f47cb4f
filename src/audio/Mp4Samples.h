// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An MP4 file's sound track as a decoder takes it: the codec and its configuration, each
// sample's place in the file, and what of the decoded samples plays (the edit list's, or
// iTunes's iTunSMPB, priming and length).
#include "common/FileUnit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TMp4Sample {
  std::int64_t Offset = 0;
  std::uint32_t Size = 0;
};

struct TMp4SampleTable {
  std::string Codec; // "AAC" or "ALAC"
  std::vector<std::uint8_t>
      Configuration;           // AAC's setup bytes from the esds box; ALAC's whole "alac" box
  std::uint32_t Timescale = 0; // the media's, in which the two below count
  std::uint64_t Priming = 0;   // decoded samples before the first that plays
  std::optional<std::uint64_t> Played; // the samples that play; nothing: all the rest
  std::vector<TMp4Sample> Samples;
};

// More samples than this are refused (an hour of AAC has about 160,000).
inline constexpr std::size_t MaximumMp4Samples = 2'000'000;
// No AAC or ALAC frame comes near this (ALAC's largest: 4,096 samples of 8 channels of 32 bits).
inline constexpr std::uint32_t MaximumMp4SampleBytes = 1 << 20;

struct TMp4SampleTableResult {
  std::optional<TMp4SampleTable> Table;
  std::string Problem; // why there is none
};

TMp4SampleTableResult ReadMp4SampleTable(TReadOnlyFile& file);
