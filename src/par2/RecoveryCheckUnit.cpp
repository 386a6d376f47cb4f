// SPDX-License-Identifier: GPL-3.0-or-later
#include "par2/RecoveryCheckUnit.h"

#include "audio/CRC32Unit.h"
#include "common/BaseFolder.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"
#include "common/WorkerJobs.h"
#include "par2/RecoveryPackets.h"
#include "par2/RecoverySetUnit.h"
#include "par2/RecoverySurvey.h"

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

// Compares a file with its description: its length and whole hash, and where they differ,
// the set's slices wherever the file holds them (the survey counts those found nowhere).
TRecoveryFileCheck CheckFileContent(const TFileDescription& description, const TSliceSearch& search,
                                    std::optional<std::uint32_t> firstSlice,
                                    std::uint64_t sliceSize, const TBaseFolder& folder,
                                    const std::function<void(std::uint64_t)>& progress,
                                    const std::atomic<bool>* cancelled,
                                    const std::optional<TMd5Hash>& read) {
  TRecoveryFileCheck check;
  check.Name = description.Name;
  check.Slices = SlicesOf(description.Length, sliceSize);
  check.DamagedSlices = check.Slices;
  check.Protected = firstSlice.has_value() || description.Length == 0;
  auto file = OpenMember(folder, description.Name, check.ThroughLink);
  if (!file) {
    check.State = TRecoveryFileState::Missing;
    return check;
  }
  check.State = TRecoveryFileState::Damaged;
  const auto length = static_cast<std::uint64_t>(file->Size());
  const bool rightLength = length == description.Length;
  // The whole file's hash first: most files are intact, and then it alone says so, at the
  // speed of reading it.
  TChunkedReader reader(*file, progress, cancelled);
  TMd5 whole;
  if (rightLength && !read && !reader.Read(0, length, [&](auto piece) { whole.Update(piece); })) {
    if (cancelled && cancelled->load()) // unreadable, or cancelled: then nothing is known
      check.State = TRecoveryFileState::NotChecked;
    return check;
  }
  if (rightLength && (read ? *read : whole.Finish()) == description.Md5) {
    check.State = TRecoveryFileState::Ok;
    check.DamagedSlices = 0;
    return check;
  }
  if (!firstSlice) // the recovery data reaches no slice of it
    return check;
  auto hits = search.Search(*file, firstSlice, cancelled);
  if (!hits && cancelled && cancelled->load())
    check.State = TRecoveryFileState::NotChecked;
  if (hits)
    check.Hits = std::move(*hits);
  if (progress && !rightLength) // its bytes were not counted yet
    progress(length);
  return check;
}
} // namespace

TRecoveryFileCheck
CheckRecoveryFile(const TFileDescription& description, const TSliceSearch& search,
                  std::optional<std::uint32_t> firstSlice, std::uint64_t sliceSize,
                  const TBaseFolder& folder, const std::function<void(std::uint64_t)>& progress,
                  const std::atomic<bool>* cancelled, const std::optional<TMd5Hash>& wholeHash) {
  TRecoveryFileCheck check = CheckFileContent(description, search, firstSlice, sliceSize, folder,
                                              progress, cancelled, wholeHash);
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
           return f.State == TRecoveryFileState::Unsafe || (NeedsRepair(f) && !f.Protected);
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
  const auto folder = TBaseFolder::Open(FolderPart(par2Path));
  if (!folder)
    return std::nullopt;
  // Listed by name, as a folder shows them, not by the ids that order the set: the survey
  // tells of each file by its place in the set.
  std::vector<std::size_t> place;
  std::uint64_t done = 0;
  TSurveyCallbacks heard;
  heard.Progress = [&](std::uint64_t part) {
    if (callbacks.Progress)
      callbacks.Progress(done += part);
  };
  heard.Checked = [&](std::size_t index, const TRecoveryFileCheck& file) {
    if (callbacks.Checked && index < place.size())
      callbacks.Checked(place[index], file);
  };
  heard.Listed = [&](const TRecoverySetDescription& set) {
    std::vector<std::size_t> order(set.Files.size());
    for (std::size_t i = 0; i < order.size(); ++i)
      order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return set.Files[a].Name < set.Files[b].Name;
    });
    place.assign(order.size(), 0);
    std::vector<TRecoveryFileCheck> files(order.size());
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
      place[order[i]] = i;
      files[i].Name = set.Files[order[i]].Name;
      files[i].Slices = SlicesOf(set.Files[order[i]].Length, set.SliceSize);
      bytes += std::min(set.Files[order[i]].Length, UINT64_MAX - bytes); // the file's word
    }
    if (callbacks.Listed)
      callbacks.Listed(files, bytes);
  };
  // The survey tells its callbacks one at a time, from its threads.
  const auto survey = SurveyRecoverySet(
      par2Path, *folder, std::max(1u, std::thread::hardware_concurrency()), heard, cancelled);
  if (!survey)
    return std::nullopt;
  // The final word on each file: found elsewhere, or refused once another needs repair.
  if (!survey->Cancelled)
    for (std::size_t i = 0; i < survey->Files.size(); ++i)
      if (survey->Files[i].State != TRecoveryFileState::Ok || survey->Files[i].ThroughLink)
        heard.Checked(i, survey->Files[i]);
  return survey->Verdict();
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
  if (!file.FoundAs.empty())
    line += " (found as " + PrintableName(file.FoundAs) + ")";
  else if (file.State == TRecoveryFileState::Damaged)
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
  const bool toRepair = std::any_of(check.Files.begin(), check.Files.end(), [](const auto& f) {
    return NeedsRepair(f) || f.State == TRecoveryFileState::Unsafe;
  });
  if (toRepair && !check.Cancelled)
    text += ", " + std::to_string(check.NeededSlices) +
            " needed: " + (check.Repairable() ? "repairable" : "not repairable");
  if (check.Cancelled)
    text += " (cancelled)";
  return text;
}
