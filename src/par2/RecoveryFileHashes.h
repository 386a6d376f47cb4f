// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The hashes PAR 2.0 names a file by, of several files read side by side: a chunk of each
// in turn, the chunks hashed together in the vector lanes, so that a set's eight intact
// files cost about what one costs hashed alone.
#include "common/Md5Unit.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

class TReadOnlyFile;

struct TFileHashes {
  TMd5Hash Whole{};
  TMd5Hash First16k{}; // of its first 16 KiB, or of all of a shorter file
};

// Each file read from its start to the size it had when opened; nothing for one whose read
// fails, and for every file once cancelled. progress hears the bytes read.
std::vector<std::optional<TFileHashes>>
HashFilesSideBySide(std::span<TReadOnlyFile* const> files,
                    const std::function<void(std::uint64_t)>& progress,
                    const std::atomic<bool>* cancelled);
