// SPDX-License-Identifier: GPL-3.0-or-later
// The other kinds' reading path as a track's record takes it: the kind's check of the
// first bytes, FLAC's walk of its metadata blocks, then TagLib through the program's file
// access. The first byte chooses the kind a name would say; the rest is the file.
#include "FuzzFile.h"
#include "audio/TrackFormatReader.h"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  constexpr std::array<TTrackKind, 4> Kinds = {TTrackKind::FLAC, TTrackKind::OggVorbis,
                                               TTrackKind::Opus, TTrackKind::M4A};
  const TTrackKind kind = Kinds[data[0] % Kinds.size()];
  const TFuzzFile fuzzFile(data + 1, size - 1);
  auto file = TReadOnlyFile::Open(fuzzFile.Path());
  if (!file)
    return 0;
  TTrackInfo track;
  (void)ReadTrackOfKind(*file, kind, track);
  return 0;
}
