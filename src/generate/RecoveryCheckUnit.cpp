// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/RecoveryCheckUnit.h"

#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/RecoveryPackets.h"
#include "generate/RecoverySetUnit.h"
#include "generate/SfvCheckUnit.h"

#include <algorithm>
#include <set>

namespace {
// The files of the set: the one given first, then the others of its set beside it.
std::vector<std::string> SetFiles(const std::string& par2Path) {
  std::vector<std::string> files = {par2Path};
  for (const std::string& path : RecoverySetFiles(par2Path))
    if (FileNamePart(path) != FileNamePart(par2Path))
      files.push_back(path);
  return files;
}

// Reads a file's packets into the reader; the recovery slices' (set, exponent) pairs.
void ReadSetFile(const std::string& path, TRecoverySetReader& reader,
                 std::set<std::pair<TMd5Hash, std::uint32_t>>& recovery) {
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return;
  ReadPackets(
      [&](std::uint64_t offset, std::span<std::uint8_t> destination) {
        return file->ReadAt(static_cast<std::int64_t>(offset), destination);
      },
      static_cast<std::uint64_t>(file->Size()),
      [&](const TPacket& packet) {
        if (packet.Type == par2::RecoverySliceType)
          recovery.emplace(packet.SetId, packet.Exponent);
        else
          reader.Take(packet);
      });
}

// Compares a file slice by slice with its checksums.
TRecoveryFileCheck CheckFile(const TFileDescription& description,
                             const std::vector<TSliceChecksum>& slices, std::uint64_t sliceSize,
                             const std::string& folder,
                             const std::function<void(std::uint64_t)>& progress,
                             const std::atomic<bool>* cancelled) {
  TRecoveryFileCheck check;
  check.Name = description.Name;
  check.Slices = (description.Length + sliceSize - 1) / sliceSize;
  check.DamagedSlices = check.Slices;
  if (!IsSafeSfvName(description.Name)) {
    check.State = TRecoveryFileState::Unsafe;
    return check;
  }
  auto file = TReadOnlyFile::Open(folder + description.Name);
  if (!file) {
    check.State = TRecoveryFileState::Missing;
    return check;
  }
  // Read in chunks, each fed to the file's hash and its slice's: nothing held is sized
  // by the set's numbers. Slices are compared where they belong (one that moved counts as
  // damaged); without usable checksums only the whole file's hash can clear it.
  constexpr std::uint64_t Chunk = std::uint64_t{1} << 20;
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(Chunk));
  const auto length = static_cast<std::uint64_t>(file->Size());
  const bool checksumsFit = slices.size() == check.Slices;
  TMd5 whole;
  std::uint64_t damaged = 0;
  std::uint64_t offset = 0;
  bool readFailed = false;
  if (!checksumsFit) { // the whole file's hash alone
    for (; offset < length && !readFailed; offset += Chunk) {
      const auto read = file->ReadAt(static_cast<std::int64_t>(offset), buffer);
      readFailed = !read || *read == 0;
      whole.Update(std::span(buffer.data(), read.value_or(0)));
      if (progress)
        progress(read.value_or(0));
      if (cancelled && cancelled->load())
        return check;
    }
    damaged = check.Slices;
  }
  for (std::uint64_t k = 0; checksumsFit && k < check.Slices && offset < length && !readFailed;
       ++k) {
    TMd5 sliceHash;
    std::uint32_t crc = 0;
    for (std::uint64_t left = sliceSize; left > 0;) {
      const auto part = static_cast<std::size_t>(std::min(Chunk, left));
      const std::span<std::uint8_t> piece(buffer.data(), part);
      std::size_t got = 0;
      if (offset < length) {
        const auto read = file->ReadAt(static_cast<std::int64_t>(offset), piece);
        readFailed = !read;
        got = read.value_or(0);
        whole.Update(piece.first(got));
        if (progress)
          progress(got);
      }
      std::fill(piece.begin() + static_cast<std::ptrdiff_t>(got), piece.end(), std::uint8_t{0});
      sliceHash.Update(piece);
      crc = UpdateCRC32(crc, piece);
      offset += part;
      left -= part;
      if (cancelled && cancelled->load())
        return check;
    }
    if (crc != slices[k].Crc32 || sliceHash.Finish() != slices[k].Md5)
      ++damaged;
  }
  // The slices the file no longer reaches.
  const std::uint64_t reached = (std::min(length, description.Length) + sliceSize - 1) / sliceSize;
  if (checksumsFit)
    damaged += check.Slices - std::min(check.Slices, reached);
  const bool intact =
      !readFailed && length == description.Length && whole.Finish() == description.Md5;
  check.State = intact ? TRecoveryFileState::Ok : TRecoveryFileState::Damaged;
  // A file whose slices all hold but whose length is wrong still needs one to be repaired.
  check.DamagedSlices =
      intact ? 0 : std::clamp<std::uint64_t>(damaged, 1, std::max<std::uint64_t>(check.Slices, 1));
  return check;
}
} // namespace

bool TRecoveryCheck::AllOk() const {
  return !Cancelled && !Files.empty() &&
         std::all_of(Files.begin(), Files.end(),
                     [](const TRecoveryFileCheck& f) { return f.State == TRecoveryFileState::Ok; });
}

std::optional<TRecoveryCheck> CheckRecoverySet(const std::string& par2Path,
                                               const TRecoveryCheckCallbacks& callbacks,
                                               const std::atomic<bool>* cancelled) {
  TRecoverySetReader reader;
  std::set<std::pair<TMd5Hash, std::uint32_t>> recovery;
  for (const std::string& path : SetFiles(par2Path))
    ReadSetFile(path, reader, recovery);
  auto set = reader.Description();
  if (!set)
    return std::nullopt;
  // Listed by name, as a folder shows them, not by the ids that order the set.
  std::vector<std::size_t> order(set->Files.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return set->Files[a].Name < set->Files[b].Name;
  });
  TRecoverySetDescription sorted = *set;
  for (std::size_t i = 0; i < order.size(); ++i) {
    sorted.Files[i] = set->Files[order[i]];
    sorted.Slices[i] = set->Slices[order[i]];
  }
  set = std::move(sorted);
  TRecoveryCheck check;
  std::uint64_t bytes = 0;
  for (std::size_t i = 0; i < set->Files.size(); ++i) {
    TRecoveryFileCheck listed;
    listed.Name = set->Files[i].Name;
    listed.Slices = (set->Files[i].Length + set->SliceSize - 1) / set->SliceSize;
    check.Files.push_back(listed);
    bytes += set->Files[i].Length;
  }
  if (callbacks.Listed)
    callbacks.Listed(check.Files, bytes);
  std::uint64_t done = 0;
  const std::string folder = FolderPart(par2Path);
  for (std::size_t i = 0; i < set->Files.size(); ++i) {
    check.Files[i] = CheckFile(
        set->Files[i], set->Slices[i], set->SliceSize, folder,
        [&](std::uint64_t part) {
          done += part;
          if (callbacks.Progress)
            callbacks.Progress(done);
        },
        cancelled);
    if (set->Files[i].FileId == TMd5Hash{}) // the main packet names a file nothing describes
      check.Files[i].Name = "(a file the set does not describe)";
    check.NeededSlices += check.Files[i].DamagedSlices;
    if (callbacks.Checked)
      callbacks.Checked(i, check.Files[i]);
    if (cancelled && cancelled->load()) {
      check.Cancelled = true;
      break;
    }
  }
  check.RecoverySlices = static_cast<std::uint64_t>(
      std::count_if(recovery.begin(), recovery.end(),
                    [&](const auto& slice) { return slice.first == set->SetId; }));
  return check;
}

const char* RecoveryStateWord(TRecoveryFileState state) {
  switch (state) {
  case TRecoveryFileState::Ok:
    return "OK";
  case TRecoveryFileState::Damaged:
    return "DAMAGED";
  case TRecoveryFileState::Missing:
    return "MISSING";
  case TRecoveryFileState::Unsafe:
    return "UNSAFE";
  }
  return "";
}

std::string RecoveryFileLine(const TRecoveryFileCheck& file) {
  std::string line = file.Name + " " + RecoveryStateWord(file.State);
  if (file.State == TRecoveryFileState::Damaged)
    line += " (" + std::to_string(file.DamagedSlices) +
            (file.DamagedSlices == 1 ? " block)" : " blocks)");
  return line;
}

std::string RecoveryCheckSummary(const TRecoveryCheck& check) {
  const auto ok = static_cast<std::size_t>(
      std::count_if(check.Files.begin(), check.Files.end(),
                    [](const TRecoveryFileCheck& f) { return f.State == TRecoveryFileState::Ok; }));
  std::string text = CheckTotalsText(ok, check.Files.size() - ok) + "; " +
                     std::to_string(check.RecoverySlices) + " recovery " +
                     (check.RecoverySlices == 1 ? "block" : "blocks");
  if (check.NeededSlices > 0)
    text += ", " + std::to_string(check.NeededSlices) +
            " needed: " + (check.Repairable() ? "repairable" : "not repairable");
  if (check.Cancelled)
    text += " (cancelled)";
  return text;
}
