// SPDX-License-Identifier: GPL-3.0-or-later
#include "par2/RecoverySurvey.h"

#include "common/BaseFolder.h"
#include "common/FileUnit.h"
#include "common/Md5Lanes.h"
#include "common/Md5Unit.h"
#include "common/TextUnit.h"
#include "common/WorkerJobs.h"
#include "par2/RecoveryFileHashes.h"

#include <algorithm>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>

namespace {
constexpr std::uint64_t SixteenK = 16384;
constexpr std::size_t Chunk = std::size_t{1} << 20;

std::optional<TReadOnlyFile> OpenBelow(const TBaseFolder& base, const std::string& name) {
  return TReadOnlyFile::OfDescriptor(
      base.OpenBelow(name, O_RDONLY | O_NONBLOCK | O_NOCTTY).Release());
}

} // namespace

bool HoldsWhole(std::optional<TReadOnlyFile> file, const TFileDescription& description) {
  if (!file || static_cast<std::uint64_t>(file->Size()) != description.Length)
    return false;
  std::vector<std::uint8_t> buffer(Chunk);
  TMd5 whole;
  for (std::uint64_t at = 0; at < description.Length;) {
    const auto part =
        static_cast<std::size_t>(std::min<std::uint64_t>(Chunk, description.Length - at));
    const std::span<std::uint8_t> piece(buffer.data(), part);
    if (!file->ReadExactly(static_cast<std::int64_t>(at), piece))
      return false;
    if (at == 0 && Md5Of(std::span<const std::uint8_t>(
                       piece.first(std::min<std::size_t>(part, SixteenK)))) != description.Md5Of16k)
      return false;
    whole.Update(piece);
    at += part;
  }
  return whole.Finish() == description.Md5;
}

namespace {

class TSurveyor {
public:
  TSurveyor(const std::string& par2Path, const TBaseFolder& folder, unsigned threads,
            const TSurveyCallbacks& callbacks, const std::atomic<bool>* cancelled)
      : Par2Path(par2Path), Folder(folder), Threads(std::max(1u, threads)), Callbacks(callbacks),
        Cancelled(cancelled) {}

  std::optional<TRecoverySurvey> Run() {
    auto found = ReadRecoverySet(Par2Path);
    if (!found)
      return std::nullopt;
    Survey.Found = std::move(*found);
    ReadLegacyNames();
    const TRecoverySetDescription& set = Survey.Found.Set;
    if (Callbacks.Listed)
      Callbacks.Listed(set);
    Search.emplace(set);
    Survey.Slices.assign(Search->Count(), std::nullopt);
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < set.Files.size(); ++i) {
      Survey.FirstSlices.push_back(number);
      if (i < set.RecoveryFileIds.size()) // within 32,768 by the reader
        number += static_cast<std::uint32_t>(SlicesOf(set.Files[i].Length, set.SliceSize));
    }
    CheckFiles();
    if (Stopped()) {
      Survey.Cancelled = true;
      return std::move(Survey);
    }
    RefuseLinkedSources(Survey.Files);
    LocateInFiles();
    if (std::any_of(Survey.Files.begin(), Survey.Files.end(), NeedsRepair)) {
      FindRenamedFiles();
      if (AnyLost())
        SearchOtherFiles();
    }
    CountLost();
    Survey.Cancelled = Stopped();
    return std::move(Survey);
  }

private:
  bool Stopped() const { return Cancelled && Cancelled->load(); }

  // A set made on Windows may name its files in that system's code page, not UTF-8: such a
  // name is read as Windows-1252, unless a file of that very name is there, or another file
  // of the set has the name so read.
  void ReadLegacyNames() {
    std::set<std::string> names;
    for (const TFileDescription& file : Survey.Found.Set.Files)
      names.insert(file.Name);
    for (TFileDescription& file : Survey.Found.Set.Files) {
      if (SanitizeUtf8(file.Name) == file.Name || ExistsBelow(file.Name))
        continue;
      std::string read = Cp1252ToUtf8(file.Name);
      if (!names.contains(read) && !read.empty())
        file.Name = std::move(read);
    }
  }

  bool ExistsBelow(const std::string& name) const {
    const auto parent = Folder.ParentOf(name);
    struct stat status {};
    return parent &&
           ::fstatat(parent->Folder.Get(), parent->Leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
  }

  void HearProgress(std::uint64_t part) {
    const std::lock_guard lock(Hearing);
    if (Callbacks.Progress)
      Callbacks.Progress(part);
  }

  // A regular file's size below the folder, reached without a link.
  std::optional<std::uint64_t> SizeBelow(const std::string& name) const {
    const auto parent = Folder.ParentOf(name);
    struct stat status {};
    if (!parent ||
        ::fstatat(parent->Folder.Get(), parent->Leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(status.st_mode))
      return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
  }

  // The files of their described length in groups of like length, as many as the lanes
  // hash together; the others (missing, empty, cut or grown) alone.
  void GroupFiles(std::vector<std::vector<std::size_t>>& groups,
                  std::vector<std::size_t>& alone) const {
    const std::vector<TFileDescription>& files = Survey.Found.Set.Files;
    std::vector<std::size_t> whole;
    for (std::size_t i = 0; i < files.size(); ++i)
      (files[i].Length > 0 && SizeBelow(files[i].Name) == files[i].Length ? whole : alone)
          .push_back(i);
    std::stable_sort(whole.begin(), whole.end(), [&](std::size_t a, std::size_t b) {
      return files[a].Length < files[b].Length;
    });
    const auto width = static_cast<std::size_t>(WidestMd5Lanes());
    for (std::size_t first = 0; first < whole.size(); first += width)
      groups.emplace_back(whole.begin() + static_cast<std::ptrdiff_t>(first),
                          whole.begin() +
                              static_cast<std::ptrdiff_t>(std::min(whole.size(), first + width)));
  }

  // A group's whole hashes, its files read side by side: the lanes hash them at about the
  // cost of one.
  void HashGroup(const std::vector<std::size_t>& group) {
    const std::vector<TFileDescription>& files = Survey.Found.Set.Files;
    std::vector<std::size_t> members;
    std::vector<TReadOnlyFile> opened;
    for (const std::size_t i : group)
      if (auto file = Stopped() ? std::nullopt : OpenBelow(Folder, files[i].Name);
          file && static_cast<std::uint64_t>(file->Size()) == files[i].Length) {
        members.push_back(i);
        opened.push_back(std::move(*file));
      }
    std::vector<TReadOnlyFile*> reading;
    for (TReadOnlyFile& file : opened)
      reading.push_back(&file);
    const auto hashes = HashFilesSideBySide(
        reading, [&](std::uint64_t part) { HearProgress(part); }, Cancelled);
    for (std::size_t m = 0; m < members.size(); ++m)
      WholeHashes[members[m]] = hashes[m];
  }

  void CheckFile(std::size_t i) {
    if (Stopped())
      return;
    const TRecoverySetDescription& set = Survey.Found.Set;
    const TFileDescription& description = set.Files[i];
    TRecoveryFileCheck file = CheckRecoveryFile(
        description, *Search,
        i < set.RecoveryFileIds.size() ? std::optional(Survey.FirstSlices[i]) : std::nullopt,
        set.SliceSize, Folder, [&](std::uint64_t part) { HearProgress(part); }, Cancelled,
        WholeHashes[i]);
    if (description.FileId == TMd5Hash{}) // the main packet names a file nothing describes
      file.Name = "(a file the set does not describe)";
    else if (NeedsRepair(file) && IsFileOfTheSet(Par2Path, description.Name))
      file.State = TRecoveryFileState::Unsafe;
    const std::lock_guard lock(Hearing);
    Survey.Files[i] = std::move(file);
    if (Callbacks.Checked && Survey.Files[i].State != TRecoveryFileState::NotChecked)
      Callbacks.Checked(i, Survey.Files[i]);
  }

  // On the threads; with one, on the caller's, in order, where the callbacks expect it.
  void RunJobs(std::size_t count, const std::function<void(std::size_t)>& job) const {
    if (Threads == 1) {
      for (std::size_t j = 0; j < count; ++j)
        job(j);
      return;
    }
    TWorkerJobs jobs(count, Threads, job);
    jobs.Wait();
  }

  // Each file checked whole, and searched where it is not intact. The files of their
  // length are hashed a group at a time while the others are checked (a file cut or grown
  // is searched at once); then the groups' files are checked by their hashes.
  void CheckFiles() {
    const TRecoverySetDescription& set = Survey.Found.Set;
    Survey.Files.resize(set.Files.size());
    for (std::size_t i = 0; i < set.Files.size(); ++i) {
      Survey.Files[i].Name = set.Files[i].Name;
      Survey.Files[i].Slices = SlicesOf(set.Files[i].Length, set.SliceSize);
    }
    std::vector<std::vector<std::size_t>> groups;
    std::vector<std::size_t> alone;
    GroupFiles(groups, alone);
    WholeHashes.assign(set.Files.size(), std::nullopt);
    RunJobs(alone.size() + groups.size(), [&](std::size_t j) {
      if (j < alone.size())
        CheckFile(alone[j]);
      else
        HashGroup(groups[j - alone.size()]);
    });
    std::vector<std::size_t> grouped;
    for (const auto& group : groups)
      grouped.insert(grouped.end(), group.begin(), group.end());
    RunJobs(grouped.size(), [&](std::size_t j) { CheckFile(grouped[j]); });
  }

  void Locate(std::uint32_t number, const std::string& source, std::uint64_t offset,
              std::uint64_t sourceLength) {
    if (number >= Survey.Slices.size() || Survey.Slices[number] || offset >= sourceLength)
      return;
    Survey.Slices[number] =
        TSliceLocation{source, offset, std::min(Search->BytesOf(number), sourceLength - offset)};
  }

  // The slices of the intact files where they belong, then those the damaged ones hold.
  void LocateInFiles() {
    const TRecoverySetDescription& set = Survey.Found.Set;
    const std::size_t recovery = std::min(set.RecoveryFileIds.size(), set.Files.size());
    for (std::size_t i = 0; i < recovery; ++i)
      if (Survey.Files[i].State == TRecoveryFileState::Ok && !Survey.Files[i].ThroughLink)
        LocateWhole(i, set.Files[i].Name);
    for (std::size_t i = 0; i < recovery; ++i) {
      const TRecoveryFileCheck& file = Survey.Files[i];
      if (file.State != TRecoveryFileState::Damaged || file.ThroughLink || file.Hits.empty())
        continue;
      const auto opened = OpenBelow(Folder, set.Files[i].Name);
      if (!opened)
        continue;
      for (const TSliceHit& hit : file.Hits)
        Locate(hit.Number, set.Files[i].Name, hit.Offset,
               static_cast<std::uint64_t>(opened->Size()));
    }
  }

  void LocateWhole(std::size_t i, const std::string& source) {
    const TRecoverySetDescription& set = Survey.Found.Set;
    const std::uint64_t length = set.Files[i].Length;
    for (std::uint64_t k = 0; k < Survey.Files[i].Slices; ++k)
      Locate(Survey.FirstSlices[i] + static_cast<std::uint32_t>(k), source, k * set.SliceSize,
             length);
  }

  // The set's folders (the base and those its names give, inside it).
  std::set<std::string> SetFolders() const {
    std::set<std::string> folders = {""};
    for (const TFileDescription& file : Survey.Found.Set.Files)
      if (const std::size_t slash = file.Name.rfind('/');
          slash != std::string::npos && IsNameInsideFolder(file.Name))
        folders.insert(file.Name.substr(0, slash + 1));
    return folders;
  }

  // The regular files in the set's folders that it does not name (no link, no .par2).
  std::vector<std::string> OtherFiles() const {
    std::set<std::string> named;
    for (const TFileDescription& file : Survey.Found.Set.Files)
      named.insert(file.Name);
    std::vector<std::string> others;
    for (const std::string& sub : SetFolders()) {
      const auto entries = ReadOpenFolder(
          Folder.OpenBelow(sub.empty() ? "." : sub, O_RDONLY | O_DIRECTORY).Release());
      if (!entries)
        continue;
      for (const TFolderEntry& entry : *entries) {
        const std::string name = sub + entry.Name;
        if (!entry.IsFolder && !entry.IsLink && !named.contains(name) &&
            !FoldCase(name).ends_with(".par2"))
          others.push_back(name);
      }
    }
    std::sort(others.begin(), others.end());
    return others;
  }

  // A missing file may be in the set's folders under another name: the same length, first
  // 16 KiB and MD5. Its slices are read there, and the repair renames it back.
  void FindRenamedFiles() {
    const std::vector<std::string> others = OtherFiles();
    std::set<std::string> taken;
    const TRecoverySetDescription& set = Survey.Found.Set;
    for (std::size_t i = 0; i < Survey.Files.size(); ++i) {
      TRecoveryFileCheck& file = Survey.Files[i];
      if (file.State != TRecoveryFileState::Missing || set.Files[i].Length == 0 || Stopped())
        continue;
      for (const std::string& name : others)
        if (!taken.contains(name) && HoldsWhole(OpenBelow(Folder, name), set.Files[i])) {
          file.FoundAs = name;
          taken.insert(name);
          if (i < set.RecoveryFileIds.size())
            LocateWhole(i, name);
          break;
        }
    }
    Taken = std::move(taken);
  }

  bool AnyLost() const {
    for (std::size_t i = 0; i < Survey.Files.size(); ++i)
      if (ToRebuild(i))
        for (std::uint64_t k = 0; k < Survey.Files[i].Slices; ++k)
          if (Survey.FirstSlices[i] + k < Survey.Slices.size() &&
              !Survey.Slices[Survey.FirstSlices[i] + k])
            return true;
    return false;
  }

  bool ToRebuild(std::size_t i) const {
    const TRecoveryFileCheck& file = Survey.Files[i];
    return NeedsRepair(file) && file.FoundAs.empty() && i < Survey.Found.Set.RecoveryFileIds.size();
  }

  // The slices still lost, searched for in the other files beside the set.
  void SearchOtherFiles() {
    for (const std::string& name : OtherFiles()) {
      if (Taken.contains(name) || Stopped())
        continue;
      auto file = OpenBelow(Folder, name);
      if (!file)
        continue;
      const auto hits = Search->Search(*file, std::nullopt, Cancelled);
      if (hits)
        for (const TSliceHit& hit : *hits)
          Locate(hit.Number, name, hit.Offset, static_cast<std::uint64_t>(file->Size()));
      if (!AnyLost())
        return;
    }
  }

  // The blocks each file to rebuild needs: its slices found nowhere.
  void CountLost() {
    for (std::size_t i = 0; i < Survey.Files.size(); ++i) {
      TRecoveryFileCheck& file = Survey.Files[i];
      if (!NeedsRepair(file))
        continue;
      if (!file.FoundAs.empty() || !ToRebuild(i)) {
        file.DamagedSlices = file.FoundAs.empty() ? file.Slices : 0;
        continue;
      }
      file.DamagedSlices = 0;
      for (std::uint64_t k = 0; k < file.Slices; ++k)
        file.DamagedSlices += !Survey.Slices[Survey.FirstSlices[i] + k];
    }
  }

  const std::string& Par2Path;
  const TBaseFolder& Folder;
  const unsigned Threads;
  const TSurveyCallbacks& Callbacks;
  const std::atomic<bool>* Cancelled;
  std::mutex Hearing;
  TRecoverySurvey Survey;
  std::optional<TSliceSearch> Search;
  std::vector<std::optional<TMd5Hash>> WholeHashes; // of the files read side by side
  std::set<std::string> Taken;
};
} // namespace

TRecoveryCheck TRecoverySurvey::Verdict() const {
  TRecoveryCheck check;
  check.Files = Files;
  check.Cancelled = Cancelled;
  check.RecoverySlices = Found.Recovery.size();
  for (const TRecoveryFileCheck& file : Files)
    if (NeedsRepair(file) || file.State == TRecoveryFileState::Unsafe)
      check.NeededSlices += file.DamagedSlices;
  std::stable_sort(check.Files.begin(), check.Files.end(),
                   [](const auto& a, const auto& b) { return a.Name < b.Name; });
  return check;
}

std::optional<TRecoverySurvey> SurveyRecoverySet(const std::string& par2Path,
                                                 const TBaseFolder& folder, unsigned threads,
                                                 const TSurveyCallbacks& callbacks,
                                                 const std::atomic<bool>* cancelled) {
  return TSurveyor(par2Path, folder, threads, callbacks, cancelled).Run();
}
