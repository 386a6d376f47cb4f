// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The DR log: each FLAC track's dynamic range, peak, RMS and length in a table, and the
// album's DR below, as the DR meters' logs that lossless posts carry set them out.
#include "generate/AlbumUnit.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct TDrLog {
  std::string Text;
  std::optional<std::string> NotMeasured; // a track the analysis could not measure
  bool Cancelled = false;
};

// progress hears the bytes decoded of all there are; false from it stops the work.
TDrLog DrLogText(const TAlbumInfo& album,
                 const std::function<bool(std::uint64_t, std::uint64_t)>& progress);
