// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CRC32Unit.h"

#include "common/FileUnit.h"

#include <cstdio>
#include <isa-l/crc.h>
#include <memory>
#include <zlib.h>

std::uint32_t UpdateCRC32(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  return crc32_gzip_refl(crc, bytes.data(), bytes.size());
}

std::optional<std::uint32_t> FileCRC32(const std::string& path,
                                       const std::function<void(std::uint64_t)>& bytesRead,
                                       const std::atomic<bool>* cancelled) {
  constexpr std::size_t ChunkSize = std::size_t{1} << 20;
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return std::nullopt;
  const auto chunk = std::make_unique_for_overwrite<std::uint8_t[]>(ChunkSize);
  std::uint32_t crc = 0;
  for (;;) {
    const auto got = file->ReadNext(std::span(chunk.get(), ChunkSize));
    if (!got)
      return std::nullopt;
    if (*got == 0)
      return crc;
    crc = UpdateCRC32(crc, std::span(chunk.get(), *got));
    if (bytesRead)
      bytesRead(*got);
    if (cancelled && cancelled->load(std::memory_order_relaxed))
      return std::nullopt;
  }
}

TCrcOfWhatIsRead::TCrcOfWhatIsRead(TReadOnlyFile& file, std::optional<std::uint32_t>* result,
                                   const std::atomic<bool>* cancelled)
    : File(file), Result(result), Cancelled(cancelled) {
  if (Result)
    File.Watch(
        [this](std::int64_t offset, std::span<const std::uint8_t> bytes) { Heard(offset, bytes); });
}

// The parts of the read no stretch holds yet, each checksummed and joined to its neighbours.
void TCrcOfWhatIsRead::Heard(std::int64_t offset, std::span<const std::uint8_t> bytes) {
  constexpr std::size_t MostStretches = 4096; // a decoder that reads a byte here and there
  const std::int64_t end = offset + static_cast<std::int64_t>(bytes.size());
  for (std::int64_t at = offset; at < end && !Lost;) {
    auto next = Stretches.upper_bound(at);
    if (next != Stretches.begin())
      if (const auto before = std::prev(next); before->second.End > at) {
        at = before->second.End; // held already
        continue;
      }
    const std::int64_t until = next == Stretches.end() ? end : std::min(end, next->first);
    Add(at,
        bytes.subspan(static_cast<std::size_t>(at - offset), static_cast<std::size_t>(until - at)));
    at = until;
    Lost = Stretches.size() > MostStretches;
  }
}

void TCrcOfWhatIsRead::Add(std::int64_t start, std::span<const std::uint8_t> bytes) {
  const std::int64_t end = start + static_cast<std::int64_t>(bytes.size());
  auto added = Stretches.emplace(start, TStretch{end, UpdateCRC32(0, bytes)}).first;
  // CRC(A then B) from CRC(A), CRC(B) and B's length: zlib's combination.
  const auto join = [this](std::map<std::int64_t, TStretch>::iterator first) {
    const auto second = std::next(first);
    first->second.Crc = static_cast<std::uint32_t>(
        crc32_combine(first->second.Crc, second->second.Crc,
                      static_cast<z_off_t>(second->second.End - second->first)));
    first->second.End = second->second.End;
    Stretches.erase(second);
  };
  if (const auto next = std::next(added); next != Stretches.end() && next->first == end)
    join(added);
  if (added != Stretches.begin())
    if (const auto before = std::prev(added); before->second.End == start)
      join(before);
}

// The gaps between the stretches and the rest after them, read (and so heard) in chunks.
bool TCrcOfWhatIsRead::ReadTheRest() {
  constexpr std::size_t ChunkSize = std::size_t{1} << 20;
  const auto chunk = std::make_unique_for_overwrite<std::uint8_t[]>(ChunkSize);
  for (;;) {
    if (Lost || (Cancelled && Cancelled->load()))
      return false;
    const auto first = Stretches.find(0);
    const std::int64_t at = first == Stretches.end() ? 0 : first->second.End;
    const auto next = Stretches.upper_bound(at);
    const std::size_t wanted =
        next == Stretches.end()
            ? ChunkSize
            : static_cast<std::size_t>(std::min<std::int64_t>(next->first - at, ChunkSize));
    const auto got = File.ReadAt(at, std::span(chunk.get(), wanted));
    if (!got)
      return false;
    if (*got == 0) // the end: one stretch from the start to the size it had, or it changed
      return next == Stretches.end() && at == File.Size();
    if (const auto grown = Stretches.find(0); grown == Stretches.end() || grown->second.End <= at)
      return false; // nothing heard: never spin
  }
}

TCrcOfWhatIsRead::~TCrcOfWhatIsRead() {
  if (!Result)
    return;
  const bool whole = ReadTheRest();
  File.Watch({});
  if (whole && Stretches.size() <= 1)
    *Result = Stretches.empty() ? 0u : Stretches.begin()->second.Crc;
}

std::string CRC32Text(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
  return text;
}
