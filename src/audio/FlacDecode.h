// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A FLAC file decoded whole with libFLAC, read through the program's own file access: what
// the audio check and the analysis share. The samples go to a hook frame by frame, so
// nothing the size of the audio is held.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct TFlacStream {
  unsigned SampleRate = 0;
  unsigned Channels = 0;
  unsigned BitsPerSample = 0;
  std::uint64_t TotalSamples = 0; // 0: not stated
  bool Md5Set = false;
};

struct TFlacDecodeHooks {
  std::function<void(std::uint64_t)> BytesRead;
  // One frame's samples, an array for each channel, after the stream's information.
  std::function<void(const TFlacStream& stream, const std::int32_t* const* channels,
                     unsigned frames)>
      Frame;
  const std::atomic<bool>* Cancelled = nullptr;
  bool CheckMd5 = false;
  std::optional<std::uint32_t>* FileCrc = nullptr; // the whole file's CRC-32, when set
};

struct TFlacDecodeResult {
  bool Opened = false;  // the file opened and a decoder started
  bool Decoded = false; // to the end of the stream
  bool Stopped = false; // cancelled
  bool Info = false;    // the stream information was read
  bool Md5Matches = false;
  TFlacStream Stream;
  std::uint64_t Samples = 0; // decoded
  bool FrameErrors = false;  // a frame did not decode (libFLAC gave silence for it)
};

TFlacDecodeResult DecodeFlacFile(const std::string& path, const TFlacDecodeHooks& hooks);
