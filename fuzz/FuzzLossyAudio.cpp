// SPDX-License-Identifier: GPL-3.0-or-later
// The lossy kinds' decoders as the analysis runs them (MP3, Vorbis, Opus, and the MP4 sample
// table handed to AAC or ALAC): the bytes are read as each kind in turn, and no file may make
// one crash, run for ever or ask for memory its size does not hold. The file's checksum is
// taken from the decoder's reads, whatever their order, and must be the whole file's.
#include "FuzzFile.h"
#include "audio/AudioDecode.h"
#include "audio/CRC32Unit.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TFuzzFile file(data, size);
  TAudioDecodeHooks hooks;
  double sum = 0; // the samples are read, as the meters read them
  hooks.Block = [&sum](const TAudioStream& stream, const float* const* channels, unsigned frames) {
    for (unsigned c = 0; c < stream.Channels; ++c)
      sum += channels[c][frames - 1];
  };
  const auto whole = FileCRC32(file.Path());
  for (const TTrackKind kind :
       {TTrackKind::MP3, TTrackKind::OggVorbis, TTrackKind::Opus, TTrackKind::M4A}) {
    std::optional<std::uint32_t> crc;
    hooks.FileCrc = &crc;
    (void)DecodeAudioFile(file.Path(), kind, hooks);
    if (crc != whole)
      std::abort();
  }
  return sum == 1e300; // never: keeps the sum
}
