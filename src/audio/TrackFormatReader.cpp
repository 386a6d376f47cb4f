// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/TrackFormatReader.h"

#include <algorithm>

TTrackReadOutcome ReadTrackOfKind(TReadOnlyFile& file, TTrackKind kind, TTrackInfo& track) {
  const TTrackFormatReader& reader =
      *std::find_if(TrackFormatReaders.begin(), TrackFormatReaders.end(),
                    [kind](const TTrackFormatReader& row) { return row.Kind == kind; });
  // The first bytes come through the file's own window, which the reads after them share.
  std::array<std::uint8_t, 64> bytes{};
  const std::span<const std::uint8_t> head(bytes.data(), file.ReadAt(0, bytes).value_or(0));
  if (reader.Shows) {
    if (!reader.Shows(file, head))
      return TTrackReadOutcome::OtherKind;
    track.Format = std::string(TrackKindRow(kind).Format); // known, whatever the stream holds
  }
  return reader.Read(file, head, track);
}
