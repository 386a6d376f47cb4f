// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The album's CUE sheet (the one .cue in its folder) checked against the tracks chosen:
// every FILE there, as many tracks, each as long within a frame.
#include "generate/AlbumUnit.h"

#include <string>

struct TAlbumCueNote {
  std::string SheetPath; // empty: the album has no sheet (or several)
  std::string Text;      // "the CUE sheet agrees with the tracks", or what differs first
  bool Agrees = false;
};
TAlbumCueNote CheckAlbumCueSheet(const TAlbumInfo& album);
