// SPDX-License-Identifier: GPL-3.0-or-later
#include "par2/RecoveryCheckUnit.h"

#include "audio/CRC32Unit.h"
#include "common/BaseFolder.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"
#include "common/WorkerJobs.h"
#include "par2/RecoveryPackets.h"
#include "par2/RecoverySetUnit.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>

namespace {
// The files of the set: the one given first, then the others of its set beside it.
std::vector<std::string> SetFiles(const std::string& par2Path) {
  std::vector<std::string> files = {par2Path};
  for (const std::string& path : RecoverySetFiles(par2Path))
    if (FileNamePart(path) != FileNamePart(par2Path))
      files.push_back(path);
  return files;
}

// Reads a file in order, a chunk at a time, into a consumer; false when a read fails
// or the check was cancelled.
class TChunkedReader {
public:
  TChunkedReader(TReadOnlyFile& file, const std::function<void(std::uint64_t)>& progress,
                 const std::atomic<bool>* cancelled)
      : File(file), Progress(progress), Cancelled(cancelled), Buffer(Chunk) {}

  bool Read(std::uint64_t offset, std::uint64_t count,
            const std::function<void(std::span<const std::uint8_t>)>& take) {
    for (std::uint64_t done = 0; done < count;) {
      const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(Chunk, count - done));
      const std::span<std::uint8_t> piece(Buffer.data(), part);
      if (!File.ReadExactly(static_cast<std::int64_t>(offset + done), piece))
        return false;
      take(piece);
      done += part;
      if (Progress)
        Progress(part);
      if (Cancelled && Cancelled->load())
        return false;
    }
    return true;
  }

private:
  static constexpr std::size_t Chunk = std::size_t{1} << 20;
  TReadOnlyFile& File;
  const std::function<void(std::uint64_t)>& Progress;
  const std::atomic<bool>* Cancelled;
  std::vector<std::uint8_t> Buffer;
};

// Feeds count zero bytes to a hash and a CRC: the padding of a file's last slice.
void HashZeros(std::uint64_t count, TMd5& md5, std::uint32_t& crc) {
  static constexpr std::array<std::uint8_t, 65536> Zeros{};
  for (; count > 0;) {
    const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(Zeros.size(), count));
    md5.Update(std::span(Zeros.data(), part));
    crc = UpdateCRC32(crc, std::span(Zeros.data(), part));
    count -= part;
  }
}

// The slices of a file that differ from their checksums; nothing when the reading failed
// or was cancelled. A slice the file does not hold whole is damaged unread; padding is
// hashed only in the last of two or more slices of a file that holds it, so it is shorter
// than the file: a set's slice size cannot make the work larger than the file's bytes.
std::optional<std::uint64_t> DamagedSlices(TChunkedReader& reader, std::uint64_t length,
                                           const TFileDescription& description,
                                           const std::vector<TSliceChecksum>& slices,
                                           std::uint64_t sliceSize, std::vector<bool>& intact) {
  std::uint64_t damaged = 0;
  intact.assign(slices.size(), false);
  for (std::uint64_t k = 0; k < slices.size(); ++k) {
    const std::uint64_t start = k * sliceSize;
    const std::uint64_t bytes = std::min(sliceSize, description.Length - start);
    if (start >= length || length - start < bytes) {
      ++damaged;
      continue;
    }
    TMd5 sliceHash;
    std::uint32_t crc = 0;
    if (!reader.Read(start, bytes, [&](std::span<const std::uint8_t> piece) {
          sliceHash.Update(piece);
          crc = UpdateCRC32(crc, piece);
        }))
      return std::nullopt;
    HashZeros(sliceSize - bytes, sliceHash, crc);
    intact[k] = crc == slices[k].Crc32 && sliceHash.Finish() == slices[k].Md5;
    damaged += !intact[k];
  }
  return damaged;
}

} // namespace

TUnsafeName UnsafeNameIn(const TBaseFolder& folder, const std::string& name) {
  if (!IsNameInsideFolder(name))
    return TUnsafeName::Outside;
  const auto parent = folder.ParentOf(name);
  if (!parent) // a folder on the way that is missing is no danger: a write there fails
    return errno == ELOOP    ? TUnsafeName::BehindLink
           : errno == EXDEV  ? TUnsafeName::Outside
           : errno == EINVAL ? TUnsafeName::NotAName
                             : TUnsafeName::None;
  struct stat status {};
  if (::fstatat(parent->Folder.Get(), parent->Leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return TUnsafeName::None;
  return S_ISLNK(status.st_mode)    ? TUnsafeName::Link
         : !S_ISREG(status.st_mode) ? TUnsafeName::NotAFile
                                    : TUnsafeName::None;
}

namespace {
// A file of the set opened below the folder without a link; one reached through a link is
// read by its path, so long as that stays inside the folder, and said so.
std::optional<TReadOnlyFile> OpenMember(const TBaseFolder& folder, const std::string& name,
                                        bool& throughLink) {
  TDescriptor below = folder.OpenBelow(name, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (below || errno != ELOOP)
    return TReadOnlyFile::OfDescriptor(below.Release());
  bool unsafe = false;
  const auto real = FileInsideFolder(name, folder.Path(), unsafe);
  throughLink = real.has_value();
  return real ? TReadOnlyFile::Open(*real) : std::nullopt;
}

// Compares a file with its description: its length and whole hash, and where they differ
// and the checksums fit, slice by slice. A file of another length is damaged unread
// (a slice that moved counts as damaged either way).
TRecoveryFileCheck CheckFileContent(const TFileDescription& description,
                                    const std::vector<TSliceChecksum>& slices,
                                    std::uint64_t sliceSize, const TBaseFolder& folder,
                                    const std::function<void(std::uint64_t)>& progress,
                                    const std::atomic<bool>* cancelled) {
  TRecoveryFileCheck check;
  check.Name = description.Name;
  check.Slices = SlicesOf(description.Length, sliceSize);
  check.DamagedSlices = check.Slices;
  auto file = OpenMember(folder, description.Name, check.ThroughLink);
  if (!file) {
    check.State = TRecoveryFileState::Missing;
    return check;
  }
  check.State = TRecoveryFileState::Damaged;
  const auto length = static_cast<std::uint64_t>(file->Size());
  const bool rightLength = length == description.Length;
  // The whole file's hash first: most files are intact, and then it alone says so. A file
  // that is not is read again slice by slice where the checksums fit; one slice (perhaps
  // far larger than the file) is judged by the whole file's hash alone.
  TChunkedReader reader(*file, progress, cancelled);
  TMd5 whole;
  if (rightLength && !reader.Read(0, length, [&](auto piece) { whole.Update(piece); })) {
    if (cancelled && cancelled->load()) // unreadable, or cancelled: then nothing is known
      check.State = TRecoveryFileState::NotChecked;
    return check;
  }
  if (rightLength && whole.Finish() == description.Md5) {
    check.State = TRecoveryFileState::Ok;
    check.DamagedSlices = 0;
    return check;
  }
  std::optional<std::uint64_t> damaged = check.Slices;
  if (check.Slices > 1 && slices.size() == check.Slices) {
    const std::function<void(std::uint64_t)> unseen; // the bytes were counted once
    TChunkedReader again(*file, rightLength ? unseen : progress, cancelled);
    damaged = DamagedSlices(again, length, description, slices, sliceSize, check.IntactSlices);
  }
  if (!damaged) {
    if (cancelled && cancelled->load())
      check.State = TRecoveryFileState::NotChecked;
    return check;
  }
  // A file whose slices all hold but whose hash differs still needs one.
  check.DamagedSlices =
      std::clamp<std::uint64_t>(*damaged, 1, std::max<std::uint64_t>(check.Slices, 1));
  return check;
}
} // namespace

TRecoveryFileCheck CheckRecoveryFile(const TFileDescription& description,
                                     const std::vector<TSliceChecksum>& slices,
                                     std::uint64_t sliceSize, const TBaseFolder& folder,
                                     const std::function<void(std::uint64_t)>& progress,
                                     const std::atomic<bool>* cancelled) {
  TRecoveryFileCheck check =
      CheckFileContent(description, slices, sliceSize, folder, progress, cancelled);
  if (NeedsRepair(check) && UnsafeNameIn(folder, description.Name) != TUnsafeName::None)
    check.State = TRecoveryFileState::Unsafe;
  return check;
}

bool NeedsRepair(const TRecoveryFileCheck& file) {
  return file.State == TRecoveryFileState::Damaged || file.State == TRecoveryFileState::Missing;
}

bool IsFileOfTheSet(const std::string& par2Path, const std::string& name) {
  const std::string path = FolderPart(par2Path) + name;
  return path == par2Path ||
         (name.ends_with(".par2") && RecoverySetBase(path) == RecoverySetBase(par2Path));
}

std::vector<std::size_t> RefuseLinkedSources(std::vector<TRecoveryFileCheck>& files) {
  std::vector<std::size_t> refused;
  if (std::none_of(files.begin(), files.end(), NeedsRepair))
    return refused;
  for (std::size_t i = 0; i < files.size(); ++i)
    if (files[i].ThroughLink && files[i].State == TRecoveryFileState::Ok) {
      files[i].State = TRecoveryFileState::Unsafe;
      refused.push_back(i);
    }
  return refused;
}

std::optional<TReadOnlyFile> OpenSetFile(const TBaseFolder& folder, const std::string& par2Path,
                                         const std::string& path) {
  if (path == par2Path)
    return TReadOnlyFile::Open(path);
  return TReadOnlyFile::OfDescriptor(
      folder.OpenBelow(FileNamePart(path), O_RDONLY | O_NONBLOCK | O_NOCTTY).Release());
}

std::optional<TFoundRecoverySet> ReadRecoverySet(const std::string& par2Path) {
  const auto folder = TBaseFolder::Open(FolderPart(par2Path));
  if (!folder)
    return std::nullopt;
  TRecoverySetReader reader;
  // Every slice found, by set, exponent and size: the set is known only once all are read.
  std::map<std::tuple<TMd5Hash, std::uint32_t, std::uint64_t>, TRecoverySliceAt> found;
  // The files are read side by side (each recovery slice's data is hashed as it is
  // passed), then taken in order, so that the first of two equal packets is the one kept.
  const std::vector<std::string> paths = SetFiles(par2Path);
  std::vector<std::vector<TPacket>> packets(paths.size());
  TWorkerJobs reading(
      paths.size(), std::max(1u, std::thread::hardware_concurrency()), [&](std::size_t i) {
        if (auto file = OpenSetFile(*folder, par2Path, paths[i]))
          ReadPacketsOfFile(*file, [&](const TPacket& packet) { packets[i].push_back(packet); });
      });
  reading.Wait();
  for (std::size_t i = 0; i < paths.size(); ++i)
    for (const TPacket& packet : packets[i]) {
      if (packet.Type == par2::RecoverySliceType)
        found.try_emplace({packet.SetId, packet.Exponent, packet.DataLength},
                          TRecoverySliceAt{paths[i], packet.DataOffset});
      else
        reader.Take(packet);
    }
  auto set = reader.Description();
  if (!set)
    return std::nullopt;
  TFoundRecoverySet result;
  // Usable: the set's own, of its slice size, each exponent once and within the format's
  // 16-bit range.
  for (const auto& [key, at] : found)
    if (std::get<0>(key) == set->SetId && std::get<2>(key) == set->SliceSize &&
        std::get<1>(key) < par2::MaximumRecoverySlices)
      result.Recovery.try_emplace(std::get<1>(key), at);
  result.Set = std::move(*set);
  return result;
}

bool TRecoveryCheck::Repairable() const {
  return !Cancelled && RecoverySlices >= NeededSlices &&
         std::none_of(Files.begin(), Files.end(), [](const TRecoveryFileCheck& f) {
           return f.State == TRecoveryFileState::Unsafe;
         });
}

bool TRecoveryCheck::AllOk() const {
  return !Cancelled && !Files.empty() &&
         std::all_of(Files.begin(), Files.end(),
                     [](const TRecoveryFileCheck& f) { return f.State == TRecoveryFileState::Ok; });
}

std::optional<TRecoveryCheck> CheckRecoverySet(const std::string& par2Path,
                                               const TRecoveryCheckCallbacks& callbacks,
                                               const std::atomic<bool>* cancelled) {
  auto found = ReadRecoverySet(par2Path);
  const auto folder = TBaseFolder::Open(FolderPart(par2Path));
  if (!found || !folder)
    return std::nullopt;
  std::optional<TRecoverySetDescription> set = std::move(found->Set);
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
    listed.Slices = SlicesOf(set->Files[i].Length, set->SliceSize);
    check.Files.push_back(listed);
    bytes += std::min(set->Files[i].Length, UINT64_MAX - bytes); // lengths are the file's word
  }
  if (callbacks.Listed)
    callbacks.Listed(check.Files, bytes);
  std::uint64_t done = 0;
  for (std::size_t i = 0; i < set->Files.size(); ++i) {
    check.Files[i] = CheckRecoveryFile(
        set->Files[i], set->Slices[i], set->SliceSize, *folder,
        [&](std::uint64_t part) {
          done += part;
          if (callbacks.Progress)
            callbacks.Progress(done);
        },
        cancelled);
    if (set->Files[i].FileId == TMd5Hash{}) // the main packet names a file nothing describes
      check.Files[i].Name = "(a file the set does not describe)";
    else if (NeedsRepair(check.Files[i]) && IsFileOfTheSet(par2Path, set->Files[i].Name))
      check.Files[i].State = TRecoveryFileState::Unsafe;
    if (check.Files[i].State != TRecoveryFileState::NotChecked) {
      check.NeededSlices += check.Files[i].DamagedSlices;
      if (callbacks.Checked)
        callbacks.Checked(i, check.Files[i]);
    }
    if (cancelled && cancelled->load()) {
      check.Cancelled = true;
      break;
    }
  }
  if (!check.Cancelled)
    for (const std::size_t i : RefuseLinkedSources(check.Files))
      if (callbacks.Checked)
        callbacks.Checked(i, check.Files[i]);
  check.RecoverySlices = found->Recovery.size();
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
  case TRecoveryFileState::NotChecked:
    return "not checked";
  }
  return "";
}

std::string RecoveryFileLine(const TRecoveryFileCheck& file) {
  std::string line = PrintableName(file.Name) + " " + RecoveryStateWord(file.State);
  if (file.State == TRecoveryFileState::Damaged)
    line += " (" + std::to_string(file.DamagedSlices) +
            (file.DamagedSlices == 1 ? " block)" : " blocks)");
  return line;
}

std::string RecoveryCheckSummary(const TRecoveryCheck& check) {
  const auto count = [&](TRecoveryFileState state) {
    return static_cast<std::size_t>(
        std::count_if(check.Files.begin(), check.Files.end(),
                      [&](const TRecoveryFileCheck& f) { return f.State == state; }));
  };
  const std::size_t ok = count(TRecoveryFileState::Ok);
  const std::size_t unchecked = count(TRecoveryFileState::NotChecked);
  std::string text = CheckTotalsText(ok, check.Files.size() - ok - unchecked);
  if (unchecked > 0)
    text += ", " + std::to_string(unchecked) + " not checked";
  text += "; " + std::to_string(check.RecoverySlices) + " recovery " +
          (check.RecoverySlices == 1 ? "block" : "blocks");
  if (check.NeededSlices > 0 && !check.Cancelled)
    text += ", " + std::to_string(check.NeededSlices) +
            " needed: " + (check.Repairable() ? "repairable" : "not repairable");
  if (check.Cancelled)
    text += " (cancelled)";
  return text;
}
