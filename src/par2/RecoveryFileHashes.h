// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MD5s of several streams of bytes read side by side: a chunk of each in turn, the chunks
// hashed together in the vector lanes, so that a set's eight intact files (or sixteen of
// its recovery packets) cost about what one costs hashed alone.
#include "common/Md5Unit.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

class TReadOnlyFile;

// Reads stream's bytes from offset into destination, every one of them, or says false.
using TStreamRead = std::function<bool(std::size_t stream, std::uint64_t offset,
                                       std::span<std::uint8_t> destination)>;

// The MD5 of each stream, lengths[i] bytes long; nothing for one whose read fails, and for
// every one once cancelled. progress hears the bytes read.
std::vector<std::optional<TMd5Hash>>
HashSideBySide(std::span<const std::uint64_t> lengths, const TStreamRead& read,
               const std::function<void(std::uint64_t)>& progress = {},
               const std::atomic<bool>* cancelled = nullptr);

// Each file from its start to the size it had when opened.
std::vector<std::optional<TMd5Hash>>
HashFilesSideBySide(std::span<TReadOnlyFile* const> files,
                    const std::function<void(std::uint64_t)>& progress,
                    const std::atomic<bool>* cancelled);
