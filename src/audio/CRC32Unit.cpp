// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CRC32Unit.h"

#include "common/FileUnit.h"

#include <cstdio>
#include <isa-l/crc.h>
#include <memory>

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

void TCrcOfWhatIsRead::Heard(std::int64_t offset, std::span<const std::uint8_t> bytes) {
  const std::int64_t end = offset + static_cast<std::int64_t>(bytes.size());
  if (offset > Frontier || end <= Frontier)
    return;
  Crc = UpdateCRC32(Crc, bytes.subspan(static_cast<std::size_t>(Frontier - offset)));
  Frontier = end;
}

TCrcOfWhatIsRead::~TCrcOfWhatIsRead() {
  if (!Result)
    return;
  constexpr std::size_t ChunkSize = std::size_t{1} << 20;
  const auto chunk = std::make_unique_for_overwrite<std::uint8_t[]>(ChunkSize);
  bool whole = !(Cancelled && Cancelled->load());
  while (whole) { // the rest, heard as it is read
    const auto got = File.ReadAt(Frontier, std::span(chunk.get(), ChunkSize));
    whole = got.has_value();
    if (!got || *got == 0)
      break;
  }
  File.Watch({});
  if (whole)
    *Result = Crc;
}

std::string CRC32Text(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
  return text;
}
