// SPDX-License-Identifier: GPL-3.0-or-later
#include "par2/RecoverySliceSearch.h"

#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"
#include "par2/RecoveryFileHashes.h"

#include <algorithm>

namespace {
constexpr std::uint32_t Polynomial = 0xEDB88320;
constexpr std::size_t Chunk = std::size_t{1} << 20;
// What failed confirmations may hash beyond the file's own bytes.
constexpr std::uint64_t SpareWork = std::uint64_t{64} << 20;

constexpr std::array<std::uint32_t, 256> ByteTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    std::uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit)
      crc = crc & 1 ? (crc >> 1) ^ Polynomial : crc >> 1;
    table[byte] = crc;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> Table = ByteTable();

// a times b modulo the polynomial, in the reflected order (x^0 the top bit).
std::uint32_t MultiplyModulo(std::uint32_t a, std::uint32_t b) {
  std::uint32_t product = 0;
  for (std::uint32_t bit = 1u << 31; bit != 0; bit >>= 1) {
    if (a & bit)
      product ^= b;
    b = b & 1 ? (b >> 1) ^ Polynomial : b >> 1;
  }
  return product;
}

// x^(8 count) modulo the polynomial: what count zero bytes do to the register.
std::uint32_t ZeroBytesFactor(std::uint64_t count) {
  std::uint32_t result = 1u << 31, power = 1u << 23; // x^0, x^8
  for (; count != 0; count >>= 1) {
    if (count & 1)
      result = MultiplyModulo(result, power);
    power = MultiplyModulo(power, power);
  }
  return result;
}

constexpr std::array<std::uint8_t, 65536> Zeros{};

// A file's bytes from a position on, as many as are read ahead of it; zeros past its end.
class TCursor {
public:
  TCursor(TReadOnlyFile& file, std::uint64_t length) : File(file), Length(length), Buffer(Chunk) {}
  std::span<const std::uint8_t> From(std::uint64_t position) {
    if (position >= Length)
      return Zeros;
    if (position < Start || position - Start >= Count)
      Fill(position);
    const auto skip = static_cast<std::size_t>(position - Start);
    return std::span(Buffer.data() + skip, static_cast<std::size_t>(Count) - skip);
  }
  bool Failed = false;

private:
  void Fill(std::uint64_t position) {
    Start = position;
    Count = std::min<std::uint64_t>(Chunk, Length - position);
    if (!File.ReadExactly(static_cast<std::int64_t>(position),
                          std::span(Buffer.data(), static_cast<std::size_t>(Count)))) {
      Failed = true;
      std::fill(Buffer.begin(), Buffer.end(), 0);
    }
  }
  TReadOnlyFile& File;
  std::uint64_t Length;
  std::vector<std::uint8_t> Buffer;
  std::uint64_t Start = 0, Count = 0;
};

void Md5Zeros(TMd5& md5, std::uint64_t count) {
  for (; count > 0;) {
    const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(Zeros.size(), count));
    md5.Update(std::span(Zeros.data(), part));
    count -= part;
  }
}
} // namespace

std::uint32_t Crc32AfterZeros(std::uint32_t crcRegister, std::uint64_t count) {
  return MultiplyModulo(ZeroBytesFactor(count), crcRegister);
}

std::uint32_t Crc32PaddedWithZeros(std::uint32_t crc, std::uint64_t zeros) {
  return ~Crc32AfterZeros(~crc, zeros);
}

TSliceSearch::TSliceSearch(const TRecoverySetDescription& set) : SliceSize(set.SliceSize) {
  ZerosCrc = Crc32PaddedWithZeros(0, SliceSize);
  const std::uint32_t leaving = ZeroBytesFactor(SliceSize);
  for (std::size_t byte = 0; byte < 256; ++byte)
    Leaving[byte] = MultiplyModulo(leaving, Table[byte]);
  for (std::size_t i = 0; i < set.RecoveryFileIds.size() && i < set.Files.size(); ++i) {
    const std::uint64_t length = set.Files[i].Length;
    const std::uint64_t slices = SlicesOf(length, SliceSize);
    const bool known = set.Slices[i].size() == slices;
    for (std::uint64_t k = 0; k < slices; ++k) { // the reader keeps the count within 32,768
      const auto number = static_cast<std::uint32_t>(Bytes.size());
      Bytes.push_back(std::min(SliceSize, length - k * SliceSize));
      Known.push_back(known);
      Checksums.push_back(known ? set.Slices[i][k] : TSliceChecksum{});
      if (!known)
        continue;
      const std::uint32_t target = set.Slices[i][k].Crc32 ^ ZerosCrc;
      Targets.push_back({target, number});
      Filter[(target & 0xFFFF) >> 6] |= std::uint64_t{1} << (target & 63);
    }
  }
  std::sort(Targets.begin(), Targets.end(),
            [](const TTarget& a, const TTarget& b) { return a.Register < b.Register; });
}

// One search of one file: where it is, the window's register, the slices found.
class TSliceScan {
public:
  TSliceScan(const TSliceSearch& search, TReadOnlyFile& file, const std::atomic<bool>* cancelled)
      : S(search), File(file), Length(static_cast<std::uint64_t>(file.Size())),
        Trailing(file, Length), Leading(file, Length), Buffer(Chunk), Budget(Length + SpareWork),
        Found(search.Bytes.size()), Cancelled(cancelled) {}

  // Every window is looked at, none skipped after a slice found: in data that repeats
  // (silence, a frame over and over) a window overlapping one found may be another slice,
  // and only a window's CRC that a slice not yet found has is confirmed.
  bool Run(std::optional<std::uint32_t> expected) {
    if (expected) {
      InPlace(*expected);
      ShortSlice(*expected, 0);
    }
    if (Length == 0 || !WindowAt(0))
      return !Stopped();
    // A run at a time over the bytes both ends of the window have in memory.
    for (std::uint64_t at = 0; at < Length && !Exhausted;) {
      const std::span<const std::uint8_t> leaving = Trailing.From(at);
      const std::span<const std::uint8_t> coming = Leading.From(at + S.SliceSize);
      const std::size_t run = std::min(leaving.size(), coming.size());
      for (std::size_t i = 0; i < run; ++i) {
        if (Passes(Register)) {
          if (Confirm(at + i))
            ShortSlice(LastFound + 1, at + i + S.SliceSize);
          if (Exhausted)
            break;
        }
        Register = (Register >> 8) ^ Table[(Register ^ coming[i]) & 0xFF] ^ S.Leaving[leaving[i]];
      }
      at += run;
      if (Stopped())
        return false;
    }
    return !Trailing.Failed && !Leading.Failed && !Stopped();
  }

  std::vector<TSliceHit> Hits;

private:
  bool Stopped() const { return Failed || (Cancelled && Cancelled->load()); }
  bool Passes(std::uint32_t value) const {
    return (S.Filter[(value & 0xFFFF) >> 6] >> (value & 63)) & 1;
  }

  // A file searched for its own slices mostly holds them where they belong: those are
  // confirmed first, side by side in the vector lanes, and the rolling search passes over
  // them. One pass over the file at most, to its end or its short last slice.
  void InPlace(std::uint32_t first) {
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t n = first;
         n < S.Bytes.size() && std::uint64_t{n - first} * S.SliceSize < Length; ++n) {
      if (S.Known[n])
        numbers.push_back(n);
      if (S.Bytes[n] < S.SliceSize)
        break;
    }
    constexpr std::size_t Side = 16;
    for (std::size_t at = 0; at < numbers.size() && !Stopped(); at += Side) {
      const std::span batch = std::span(numbers).subspan(at, std::min(Side, numbers.size() - at));
      const std::vector<std::uint64_t> lengths(batch.size(), S.SliceSize);
      const auto hashes = HashSideBySide(
          lengths,
          [&](std::size_t i, std::uint64_t offset, std::span<std::uint8_t> into) {
            return ReadPadded(batch[i] - first, batch[i], offset, into);
          },
          {}, Cancelled);
      for (std::size_t i = 0; i < batch.size(); ++i)
        if (hashes[i] == S.Checksums[batch[i]].Md5)
          Record(batch[i], std::uint64_t{batch[i] - first} * S.SliceSize);
    }
  }

  // Bytes of a slice's window at its place k in the file: past the slice's own bytes or
  // the file's end, zeros.
  bool ReadPadded(std::uint64_t k, std::uint32_t number, std::uint64_t offset,
                  std::span<std::uint8_t> into) {
    std::fill(into.begin(), into.end(), 0);
    const std::uint64_t start = k * S.SliceSize + offset;
    const std::uint64_t end = std::min(k * S.SliceSize + S.Bytes[number], Length);
    if (start >= end)
      return true;
    const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), end - start));
    return File.ReadExactly(static_cast<std::int64_t>(start), into.first(part));
  }

  // A file's short last slice followed by other bytes (a tail appended) is in no window:
  // it is tried by its own length where it would follow the slice before it.
  void ShortSlice(std::uint32_t number, std::uint64_t at) {
    if (number < S.Bytes.size() && !Found[number] && S.Bytes[number] < S.SliceSize && at < Length)
      Exact(number, at);
  }

  bool Exact(std::uint32_t number, std::uint64_t at) {
    const std::uint64_t bytes = S.Bytes[number];
    if (!S.Known[number] || bytes > Length - at || !Charge(S.SliceSize - bytes))
      return false;
    TMd5 md5;
    std::uint32_t crc = 0;
    if (!Hash(at, bytes, &crc, md5))
      return false;
    Md5Zeros(md5, S.SliceSize - bytes);
    if (Crc32PaddedWithZeros(crc, S.SliceSize - bytes) != S.Checksums[number].Crc32 ||
        md5.Finish() != S.Checksums[number].Md5)
      return false;
    Record(number, at);
    return true;
  }

  // The window's register from its bytes, the zeros past the file's end by arithmetic.
  bool WindowAt(std::uint64_t at) {
    const std::uint64_t bytes = std::min(S.SliceSize, Length - at);
    TMd5 unused;
    std::uint32_t crc = 0;
    if (!Hash(at, bytes, &crc, unused, false))
      return false;
    Register = Crc32PaddedWithZeros(crc, S.SliceSize - bytes) ^ S.ZerosCrc;
    return true;
  }

  // The window's MD5 against every slice of its CRC; all that match are found there.
  bool Confirm(std::uint64_t at) {
    const auto [first, last] =
        std::equal_range(S.Targets.begin(), S.Targets.end(), TSliceSearch::TTarget{Register, 0},
                         [](const auto& a, const auto& b) { return a.Register < b.Register; });
    if (std::all_of(first, last, [&](const auto& target) { return Found[target.Number] != 0; }))
      return false;
    const std::uint64_t bytes = std::min(S.SliceSize, Length - at);
    if (!Charge(S.SliceSize))
      return false;
    TMd5 md5;
    if (!Hash(at, bytes, nullptr, md5))
      return false;
    Md5Zeros(md5, S.SliceSize - bytes);
    const TMd5Hash hash = md5.Finish();
    bool matched = false;
    for (auto target = first; target != last; ++target)
      if (S.Checksums[target->Number].Md5 == hash) {
        Record(target->Number, at);
        matched = true;
      }
    if (matched) // a slice found is no work wasted
      Budget += bytes;
    return matched;
  }

  bool Charge(std::uint64_t bytes) {
    if (bytes > Budget) {
      Exhausted = true;
      return false;
    }
    Budget -= bytes;
    return true;
  }

  bool Hash(std::uint64_t at, std::uint64_t bytes, std::uint32_t* crc, TMd5& md5,
            bool md5Too = true) {
    for (std::uint64_t done = 0; done < bytes;) {
      const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(Chunk, bytes - done));
      const std::span<const std::uint8_t> piece(Buffer.data(), part);
      if (!File.ReadExactly(static_cast<std::int64_t>(at + done), std::span(Buffer.data(), part))) {
        Failed = true;
        return false;
      }
      if (crc)
        *crc = UpdateCRC32(*crc, piece);
      if (md5Too)
        md5.Update(piece);
      done += part;
    }
    return true;
  }

  void Record(std::uint32_t number, std::uint64_t at) {
    LastFound = number;
    if (!Found[number]) {
      Found[number] = true;
      Hits.push_back({number, at});
    }
  }

  const TSliceSearch& S;
  TReadOnlyFile& File;
  const std::uint64_t Length;
  TCursor Trailing, Leading; // the byte leaving the window, the byte coming in
  std::vector<std::uint8_t> Buffer;
  std::uint64_t Budget;
  std::vector<char> Found;
  const std::atomic<bool>* Cancelled;
  std::uint32_t Register = 0;
  std::uint32_t LastFound = 0;
  bool Failed = false, Exhausted = false;
};

std::optional<std::vector<TSliceHit>>
TSliceSearch::Search(TReadOnlyFile& file, std::optional<std::uint32_t> expected,
                     const std::atomic<bool>* cancelled) const {
  if (Bytes.empty() || SliceSize == 0)
    return std::vector<TSliceHit>{};
  TSliceScan scan(*this, file, cancelled);
  if (!scan.Run(expected && *expected < Bytes.size() ? expected : std::nullopt))
    return std::nullopt;
  return std::move(scan.Hits);
}
