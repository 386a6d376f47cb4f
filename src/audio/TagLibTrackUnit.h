// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// FLAC, Ogg Vorbis, Opus and M4A tracks, read with TagLib through the program's own file
// access: TagLib never opens a path (a FIFO could block it) and never gets a block larger
// than what is left of the file, whatever a length in the file claims. FLAC's metadata
// blocks are walked by the program (a cover picture is never read); TagLib reads the
// Vorbis comment they hold.
#include "audio/MP3Unit.h"
#include "common/FileUnit.h"
#include "common/TrackKinds.h"

enum class TTagLibReading {
  Read,
  OtherKind, // the bytes are not of the kind the name says
  Unreadable // the stream does not read (damaged, cut short)
};

// Fills the record's tag texts and stream properties from a file of the kind (not MP3),
// once its first bytes show that kind; what was found is kept on a failure.
TTagLibReading ReadTagLibTrack(TReadOnlyFile& file, TTrackKind kind, TTrackInfo& track);
