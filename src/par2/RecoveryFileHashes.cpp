// SPDX-License-Identifier: GPL-3.0-or-later
#include "par2/RecoveryFileHashes.h"

#include "common/FileUnit.h"
#include "common/Md5Lanes.h"

#include <algorithm>

namespace {
// Small enough that sixteen files' chunks stay a few megabytes, large enough that the
// reads cost little beside the hashing.
constexpr std::size_t Chunk = std::size_t{256} << 10;
constexpr std::size_t SixteenK = 16384;

// Eight streams or fewer run faster in eight lanes than in sixteen half empty.
TMd5Lanes LanesFor(std::size_t streams) {
  return streams <= 8 && Md5LanesRun(TMd5Lanes::Avx2) ? TMd5Lanes::Avx2 : WidestMd5Lanes();
}
} // namespace

std::vector<std::optional<TFileHashes>>
HashFilesSideBySide(std::span<TReadOnlyFile* const> files,
                    const std::function<void(std::uint64_t)>& progress,
                    const std::atomic<bool>* cancelled) {
  const std::size_t count = files.size();
  std::vector<TMd5Stream> whole(count);
  std::vector<TMd5Hash> first16k(count, Md5Of(std::string_view()));
  std::vector<std::vector<std::uint8_t>> buffers(count);
  std::vector<std::uint64_t> done(count, 0);
  std::vector<char> failed(count, 0);
  for (;;) {
    std::vector<TMd5Stream*> streams;
    std::vector<std::span<const std::uint8_t>> pieces;
    for (std::size_t i = 0; i < count; ++i) {
      const auto length = static_cast<std::uint64_t>(files[i]->Size());
      if (failed[i] || done[i] >= length)
        continue;
      const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(Chunk, length - done[i]));
      buffers[i].resize(Chunk);
      const std::span<std::uint8_t> piece(buffers[i].data(), part);
      if (!files[i]->ReadExactly(static_cast<std::int64_t>(done[i]), piece)) {
        failed[i] = 1;
        continue;
      }
      if (done[i] == 0)
        first16k[i] = Md5Of(std::span<const std::uint8_t>(piece.first(std::min(part, SixteenK))));
      done[i] += part;
      streams.push_back(&whole[i]);
      pieces.push_back(piece);
    }
    if (streams.empty())
      break;
    Md5UpdateLanes(streams, pieces, LanesFor(streams.size()));
    std::uint64_t bytes = 0;
    for (const auto& piece : pieces)
      bytes += piece.size();
    if (progress)
      progress(bytes);
    if (cancelled && cancelled->load())
      return std::vector<std::optional<TFileHashes>>(count);
  }
  std::vector<std::optional<TFileHashes>> result(count);
  for (std::size_t i = 0; i < count; ++i)
    if (!failed[i])
      result[i] = TFileHashes{whole[i].Finish(), first16k[i]};
  return result;
}
