// SPDX-License-Identifier: GPL-3.0-or-later
// Repairing a recovery set, in phases: check the files, find the missing ones under other
// names, plan what is lost, solve for it, rebuild the files in staging, put them in place.
#include "par2/RecoveryRepairUnit.h"

#include "audio/CRC32Unit.h"
#include "common/BaseFolder.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/LargeBuffer.h"
#include "common/Md5Lanes.h"
#include "common/OpenFileCache.h"
#include "common/TextUnit.h"
#include "common/WorkerJobs.h"
#include "par2/RecoveryEquations.h"
#include "par2/RecoveryField.h"
#include "par2/RecoverySetUnit.h"
#include "par2/RecoverySurvey.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr std::size_t CopyChunk = std::size_t{1} << 20;
constexpr std::size_t MaximumLostSlices = 8192;
constexpr std::uint64_t StripeMemory = std::uint64_t{16} << 20;
constexpr std::uint64_t MinimumWidth = std::uint64_t{64} << 10;
constexpr std::uint64_t BatchMemory = std::uint64_t{6} << 20; // intact slices' stripes, twice
// Files read from at once: well within the usual limit of 1,024 descriptors.
constexpr std::size_t OpenAtOnce = 64;

// One file of the set as the repair finds it.
struct TRepairFile {
  const TFileDescription* Description = nullptr;
  const std::vector<TSliceChecksum>* Checksums = nullptr;
  TRecoveryFileCheck Check;
  bool InRecoverySet = false;
  std::uint32_t FirstSlice = 0; // its first slice's number in the set
  std::string Target;           // where it is written, as a path for messages
  std::size_t Staged = 0;       // its index in the file set
  std::uint64_t LostSlices = 0;
  bool Rebuilt() const {
    return Check.FoundAs.empty() && (Check.State == TRecoveryFileState::Damaged ||
                                     Check.State == TRecoveryFileState::Missing);
  }
};

// A slice read for the sums: where it is (an intact slice found in a file below the
// folder, or a recovery slice in a .par2) and how many of its bytes are there.
struct TSliceSource {
  bool InFolder = false; // Path is a name below the folder, not a .par2's path
  const std::string* Path = nullptr;
  std::uint64_t Offset = 0;
  std::uint64_t Bytes = 0;
  std::uint32_t Number = 0; // in the set: its constant's index
};

TRepairResult Ended(TRepairOutcome outcome, std::string path = {}) {
  TRepairResult result;
  result.Outcome = outcome;
  result.Path = std::move(path);
  return result;
}

// A write that failed, with the system's reason.
TRepairResult Unwritten(std::string path) {
  const int error = errno;
  TRepairResult result = Ended(TRepairOutcome::NotWritten, std::move(path));
  result.Error = error;
  return result;
}

// A regular file below the folder, opened for reading without following any link.
std::optional<TReadOnlyFile> OpenBelow(const TBaseFolder& base, const std::string& name) {
  return TReadOnlyFile::OfDescriptor(
      base.OpenBelow(name, O_RDONLY | O_NONBLOCK | O_NOCTTY).Release());
}

class TRecoverySetRepairer {
public:
  TRecoverySetRepairer(const std::string& par2Path, const TRepairSettings& settings)
      : Par2Path(par2Path), Settings(settings), Folder(FolderPart(par2Path)) {}

  TRepairResult Repair() {
    for (const auto phase :
         {&TRecoverySetRepairer::SurveyFiles, &TRecoverySetRepairer::RefuseUnsafeFiles,
          &TRecoverySetRepairer::PlanLostSlices, &TRecoverySetRepairer::Solve,
          &TRecoverySetRepairer::StageFiles, &TRecoverySetRepairer::ComputeLostSlices,
          &TRecoverySetRepairer::VerifyStaged, &TRecoverySetRepairer::PutInPlace})
      if (auto ended = (this->*phase)()) {
        ended->Before = std::move(Result.Before);
        // Nothing changed: the folders made for missing files go with their staging.
        Staging.Discard();
        if (Base)
          Base->RemoveFolders(MadeFolders);
        return *ended;
      }
    return std::move(Result);
  }

private:
  using TEnd = std::optional<TRepairResult>;

  // Heard from any thread, one at a time.
  bool Report(TRepairPhase phase, std::uint64_t done, std::uint64_t total) {
    const std::lock_guard lock(Reporting);
    if (Settings.Progress && !Settings.Progress(phase, done, total))
      Cancelled = true;
    return !Cancelled;
  }

  // The files as check finds them, side by side on the threads: the repair does what the
  // check said it would.
  TEnd SurveyFiles() {
    Base = TBaseFolder::Open(Folder);
    if (!Base)
      return Ended(TRepairOutcome::Unreadable, Folder.empty() ? "." : Folder);
    Threads =
        Settings.Threads ? Settings.Threads : std::max(1u, std::thread::hardware_concurrency());
    std::uint64_t total = 0, done = 0;
    TSurveyCallbacks callbacks;
    callbacks.Listed = [&](const TRecoverySetDescription& set) {
      for (const TFileDescription& file : set.Files)
        total += std::min(file.Length, UINT64_MAX - total);
    };
    callbacks.Progress = [&](std::uint64_t part) {
      Report(TRepairPhase::Checking, done += part, total);
    };
    auto survey = SurveyRecoverySet(Par2Path, *Base, Threads, callbacks, &Cancelled);
    if (!survey)
      return Ended(TRepairOutcome::NoSet, Par2Path);
    Survey = std::move(*survey);
    Result.Before = Survey.Verdict();
    if (Survey.Cancelled || Cancelled)
      return Ended(TRepairOutcome::Cancelled);
    const TRecoverySetDescription& set = Survey.Found.Set;
    for (std::size_t i = 0; i < set.Files.size(); ++i) {
      TRepairFile file;
      file.Description = &set.Files[i];
      file.Checksums = &set.Slices[i];
      file.Check = Survey.Files[i];
      file.InRecoverySet = i < set.RecoveryFileIds.size();
      file.FirstSlice = Survey.FirstSlices[i];
      Files.push_back(std::move(file));
    }
    return std::nullopt;
  }

  bool IsFound(const TRepairFile& file, std::uint64_t k) const {
    const std::uint64_t number = file.FirstSlice + k;
    return file.InRecoverySet && number < Survey.Slices.size() && Survey.Slices[number];
  }

  // Every file the repair would write, rename to or keep aside is its own to change: no
  // link, nothing behind one, nothing outside the folder. One that is not is told, and
  // nothing is changed.
  TEnd RefuseUnsafeFiles() {
    for (const TRepairFile& file : Files) {
      if (file.Check.State == TRecoveryFileState::Ok || file.Description->FileId == TMd5Hash{})
        continue;
      if (IsFileOfTheSet(Par2Path, file.Description->Name))
        return Ended(TRepairOutcome::IsSetFile, file.Description->Name);
      switch (UnsafeNameIn(*Base, file.Description->Name)) {
      case TUnsafeName::None:
        break;
      case TUnsafeName::Link:
        return Ended(TRepairOutcome::IsLink, file.Description->Name);
      case TUnsafeName::BehindLink:
        return Ended(TRepairOutcome::BehindLink, file.Description->Name);
      case TUnsafeName::Outside:
        return Ended(TRepairOutcome::OutsideFolder, file.Description->Name);
      case TUnsafeName::NotAFile:
        return Ended(TRepairOutcome::NotAFile, file.Description->Name);
      case TUnsafeName::NotAName:
        return Ended(TRepairOutcome::NotAName, file.Description->Name);
      }
    }
    return std::nullopt;
  }

  // The slices no file holds intact, and whether the recovery slices reach them.
  TEnd PlanLostSlices() {
    bool anything = false;
    for (TRepairFile& file : Files) {
      anything |= !file.Check.FoundAs.empty() || file.Rebuilt();
      if (file.Check.State == TRecoveryFileState::Ok || !file.Check.FoundAs.empty())
        continue;
      if (!file.Check.Protected || file.Description->FileId == TMd5Hash{})
        return Ended(TRepairOutcome::NotRepairable, file.Check.Name);
      const std::uint64_t slices = SlicesOf(file.Description->Length, Survey.Found.Set.SliceSize);
      for (std::uint64_t k = 0; k < slices; ++k)
        if (!IsFound(file, k)) {
          Lost.push_back(file.FirstSlice + static_cast<std::uint32_t>(k));
          ++file.LostSlices;
        }
    }
    if (!anything)
      return Ended(TRepairOutcome::NothingToRepair);
    if (Lost.size() > Survey.Found.Recovery.size()) {
      auto ended = Ended(TRepairOutcome::NotRepairable);
      ended.MoreSlicesNeeded = Lost.size() - Survey.Found.Recovery.size();
      return ended;
    }
    return std::nullopt;
  }

  TEnd Solve() {
    if (Lost.empty())
      return std::nullopt;
    // The equations' matrix grows with the square of the lost slices: 8,192 of them (a
    // quarter of the largest set, whole) take 270 MB.
    if (Lost.size() > MaximumLostSlices)
      return Ended(TRepairOutcome::NoMemory);
    std::vector<std::uint32_t> exponents;
    for (const auto& [exponent, at] : Survey.Found.Recovery)
      exponents.push_back(exponent);
    auto solution = SolveLostSlices(Lost, exponents);
    if (!solution)
      return Ended(TRepairOutcome::Unsolvable);
    Solution = std::move(*solution);
    PrepareWork();
    return std::nullopt;
  }

  // The stripe held at once, the slices read for the sums, and the bytes of the work.
  void PrepareWork() {
    const std::uint64_t sliceSize = Survey.Found.Set.SliceSize;
    const std::uint64_t stride = RoundUp(sliceSize, GfGroupBytes);
    // A stripe of a few megabytes keeps the arithmetic at its pace; more only costs memory
    // touched for the first time, which is dear on a virtual machine (90 MB of it took a
    // quarter of a repair of 37 blocks here).
    const std::uint64_t wanted = std::max(StripeMemory / 2 / Lost.size(), MinimumWidth);
    Width = std::clamp<std::uint64_t>(std::min(wanted, Settings.Memory / 2 / Lost.size()) /
                                          GfGroupBytes * GfGroupBytes,
                                      GfGroupBytes, stride);
    ListSources();
    for (const TRepairFile& file : Files)
      if (file.Rebuilt())
        for (std::uint64_t k = 0; k * sliceSize < file.Description->Length; ++k)
          if (IsFound(file, k))
            TotalBytes += std::min(sliceSize, file.Description->Length - k * sliceSize);
  }

  // Each rebuilt file staged, its intact slices copied into it; the lost ones follow.
  TEnd StageFiles() {
    for (TRepairFile& file : Files) {
      if (!file.Rebuilt())
        continue;
      const bool exists = file.Check.State == TRecoveryFileState::Damaged;
      file.Target = Folder + file.Description->Name;
      // A missing file's folders are made again (a set's subfolder deleted whole).
      if (!exists && !Base->MakeFoldersOf(file.Description->Name, MadeFolders))
        return Unwritten(file.Target);
      if (Staging.OpenBelow(*Base, file.Description->Name,
                            exists ? TWriteMode::Replace : TWriteMode::CreateOnly,
                            file.Staged) != TWriteResult::Written)
        return Unwritten(file.Target);
      if (auto ended = CopyIntactSlices(file))
        return ended;
    }
    return std::nullopt;
  }

  // The file a rebuilt one's intact slices, or a sum's, are read from: opened below the
  // folder, never by its path nor through a link (whatever took a folder's place since the
  // check), a few at a time; one opened again that another file took the place of fails
  // the rebuilt files' hashes.
  TReadOnlyFile* SourceOf(const std::string& name) {
    TReadOnlyFile* source = Sources.Get(name);
    ReadError = source ? 0 : errno;
    return source;
  }

  // A read that fails, a write that fails and a cancel are each told as what they are.
  // Each slice is copied from where it was found; past its source's end it is zeros.
  TEnd CopyIntactSlices(TRepairFile& file) {
    const std::uint64_t sliceSize = Survey.Found.Set.SliceSize;
    std::vector<std::uint8_t> buffer(CopyChunk);
    for (std::uint64_t k = 0; k * sliceSize < file.Description->Length; ++k) {
      if (!IsFound(file, k))
        continue;
      const TSliceLocation& found = *Survey.Slices[file.FirstSlice + k];
      const std::uint64_t start = k * sliceSize;
      const std::uint64_t end = std::min(start + sliceSize, file.Description->Length);
      for (std::uint64_t at = start; at < end;) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(CopyChunk, end - at));
        const std::span piece(buffer.data(), part);
        const std::uint64_t held = found.Bytes > at - start ? found.Bytes - (at - start) : 0;
        const auto read = static_cast<std::size_t>(std::min<std::uint64_t>(part, held));
        std::fill(piece.begin() + static_cast<std::ptrdiff_t>(read), piece.end(), 0);
        TReadOnlyFile* source = read ? SourceOf(found.Source) : nullptr;
        if (read &&
            (!source || !source->ReadExactly(static_cast<std::int64_t>(found.Offset + at - start),
                                             piece.first(read))))
          return Unreadable(Folder + found.Source);
        if (!Staging.WriteAt(file.Staged, at,
                             std::string_view(reinterpret_cast<const char*>(piece.data()), part)))
          return Unwritten(file.Target);
        at += part;
        if (!Report(TRepairPhase::Repairing, Done += part, TotalBytes))
          return Ended(TRepairOutcome::Cancelled);
      }
    }
    return std::nullopt;
  }

  // The lost slices, a stripe of them at a time: the remainders of the equations (the
  // recovery slices plus every intact slice's terms), then their combinations.
  TEnd ComputeLostSlices() {
    if (Lost.empty())
      return std::nullopt;
    const std::size_t count = Lost.size();
    const std::uint64_t stride = RoundUp(Survey.Found.Set.SliceSize, GfGroupBytes);
    Batch = static_cast<std::size_t>(
        std::clamp<std::uint64_t>(BatchMemory / Width, 1, SourcesPerBatch));
    Remainders = LargeBuffer(static_cast<std::size_t>(count * Width));
    Solved = LargeBuffer(static_cast<std::size_t>(count * Width));
    Slices = LargeBuffer(static_cast<std::size_t>(Batch * Width));
    SlicesNext = LargeBuffer(static_cast<std::size_t>(Batch * Width));
    if (!Remainders || !Solved || !Slices || !SlicesNext)
      return Ended(TRepairOutcome::NoMemory);
    Factors.resize(count * SourcesPerBatch);
    SliceHashes.assign(count, TMd5Stream());
    SliceCrcs.assign(count, 0);
    for (std::uint64_t start = 0; start < stride; start += Width) {
      const std::uint64_t length = std::min(Width, stride - start);
      if (auto ended = SumRemainders(start, length))
        return ended;
      CombineRemainders(length);
      if (auto ended = WriteStripe(start, length))
        return ended;
    }
    for (std::size_t j = 0; j < count; ++j) {
      const TSliceChecksum& expected = ChecksumOf(Lost[j]);
      if (SliceHashes[j].Finish() != expected.Md5 || SliceCrcs[j] != expected.Crc32)
        return Ended(TRepairOutcome::NotVerified, FileOfSlice(Lost[j]).Target);
    }
    return std::nullopt;
  }

  // Every intact slice of the recovery set's files, and each recovery slice chosen.
  void ListSources() {
    const std::uint64_t sliceSize = Survey.Found.Set.SliceSize;
    for (TRepairFile& file : Files) {
      if (!file.InRecoverySet)
        continue;
      for (std::uint64_t k = 0; k * sliceSize < file.Description->Length; ++k)
        if (IsFound(file, k)) {
          const TSliceLocation& found = *Survey.Slices[file.FirstSlice + k];
          Intact.push_back({true, &found.Source, found.Offset, found.Bytes,
                            file.FirstSlice + static_cast<std::uint32_t>(k)});
        }
    }
    for (const std::uint32_t exponent : Solution.Exponents) {
      const TRecoverySliceAt& at = Survey.Found.Recovery.at(exponent);
      Recovery.push_back({false, &at.Path, at.Offset, sliceSize, exponent});
    }
    const std::uint64_t passes = (RoundUp(sliceSize, GfGroupBytes) + Width - 1) / Width;
    TotalBytes += (Intact.size() + Recovery.size()) * std::min(Width, sliceSize) * passes;
  }

  // The remainders' stripe: each recovery slice's, plus the intact slices times their
  // factors, a batch of them at a time.
  TEnd SumRemainders(std::uint64_t start, std::uint64_t length) {
    std::memset(Remainders.get(), 0, static_cast<std::size_t>(Lost.size() * Width));
    const std::size_t count = Lost.size();
    std::vector<std::uint8_t> one(static_cast<std::size_t>(length));
    for (std::size_t r = 0; r < count; ++r) {
      if (!ReadStripe(Recovery[r], start, one))
        return Unread(Recovery[r]);
      std::uint8_t* remainder = Remainders.get() + r * Width;
      for (std::size_t i = 0; i < one.size(); ++i)
        remainder[i] ^= one[i];
    }
    // Each batch is read while the threads sum the one before.
    const std::size_t batch = Batch;
    std::unique_ptr<TWorkerJobs> summing;
    for (std::size_t first = 0; first < Intact.size(); first += batch) {
      const std::size_t n = std::min(batch, Intact.size() - first);
      std::uint8_t* const buffer = (first / batch) % 2 == 0 ? Slices.get() : SlicesNext.get();
      for (std::size_t s = 0; s < n; ++s)
        if (!ReadStripe(Intact[first + s], start, std::span(buffer + s * length, length)))
          return Unread(Intact[first + s]);
      summing.reset(); // its factors are taken for the next
      summing = StartAccumulate(
          length, buffer, length, n, Remainders.get(), [&](std::size_t r, std::size_t s) {
            return GfPower(InputSliceConstant(Intact[first + s].Number), Solution.Exponents[r]);
          });
    }
    return std::nullopt;
  }

  TRepairResult Unread(const TSliceSource& source) const {
    return Cancelled ? Ended(TRepairOutcome::Cancelled)
                     : Unreadable(source.InFolder ? Folder + *source.Path : *source.Path);
  }
  // With the reason the file could not be opened, if that was what failed.
  TRepairResult Unreadable(std::string path) const {
    TRepairResult result = Ended(TRepairOutcome::Unreadable, std::move(path));
    result.Error = ReadError;
    return result;
  }

  bool ReadStripe(const TSliceSource& source, std::uint64_t start, std::span<std::uint8_t> into) {
    std::fill(into.begin(), into.end(), 0);
    if (start < source.Bytes) {
      const auto part =
          static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), source.Bytes - start));
      TReadOnlyFile* file = source.InFolder ? SourceOf(*source.Path) : RecoveryFile(*source.Path);
      if (!file ||
          !file->ReadExactly(static_cast<std::int64_t>(source.Offset + start), into.first(part)))
        return false;
      Done += part;
    }
    ToGfLayout(into);
    return Report(TRepairPhase::Repairing, Done, TotalBytes);
  }

  // A .par2 of the set, opened as it was read (below the folder, no link): its slices are
  // only summed, and a stranger's bytes there fail the lost slices' checksums.
  TReadOnlyFile* RecoveryFile(const std::string& path) {
    TReadOnlyFile* file = Volumes.Get(path);
    ReadError = file ? 0 : errno;
    return file;
  }

  // outputs[r] (Width apart) += sum over s of factor(r, s) * inputs[s] (stride apart): the
  // factors prepared on the threads, then the work chunk by chunk of the stripe on them.
  template <typename TFactorOf>
  void Accumulate(std::uint64_t length, const std::uint8_t* inputs, std::uint64_t stride,
                  std::size_t n, std::uint8_t* outputs, const TFactorOf& factorOf) {
    StartAccumulate(length, inputs, stride, n, outputs, factorOf)->Wait();
  }
  // The same, the work left running on the threads until the jobs returned are waited for
  // or end; the inputs, outputs and factors stay as they are meanwhile.
  template <typename TFactorOf>
  std::unique_ptr<TWorkerJobs> StartAccumulate(std::uint64_t length, const std::uint8_t* inputs,
                                               std::uint64_t stride, std::size_t n,
                                               std::uint8_t* outputs, const TFactorOf& factorOf) {
    const std::size_t count = Lost.size();
    TWorkerJobs preparing(count, Threads, [&](std::size_t r) {
      for (std::size_t s = 0; s < n; ++s)
        Factors[r * n + s] = PrepareGfFactor(factorOf(r, s));
    });
    preparing.Wait();
    const std::uint64_t chunk = std::min<std::uint64_t>(1024, length);
    const auto chunks = static_cast<std::size_t>((length + chunk - 1) / chunk);
    return std::make_unique<TWorkerJobs>(chunks, Threads, [=, this](std::size_t c) {
      const std::uint64_t at = c * chunk;
      const auto bytes = static_cast<std::size_t>(std::min(chunk, length - at));
      std::vector<const std::uint8_t*> pointers(n);
      for (std::size_t s = 0; s < n; ++s)
        pointers[s] = inputs + s * stride + at;
      for (std::size_t first = 0; first < n; first += Round) {
        const std::size_t round = std::min(Round, n - first);
        for (std::size_t r = 0; r < count; ++r)
          GfMultiplyAccumulate(std::span(outputs + r * Width + at, bytes),
                               std::span(pointers).subspan(first, round),
                               std::span(Factors.data() + r * n + first, round));
      }
    });
  }

  // The lost slices' stripe from the remainders, a batch of them at a time.
  void CombineRemainders(std::uint64_t length) {
    const std::size_t count = Lost.size();
    std::memset(Solved.get(), 0, static_cast<std::size_t>(count * Width));
    for (std::size_t first = 0; first < count; first += SourcesPerBatch) {
      const std::size_t n = std::min(SourcesPerBatch, count - first);
      Accumulate(length, Remainders.get() + first * Width, Width, n, Solved.get(),
                 [&](std::size_t j, std::size_t r) {
                   return Solution.Coefficients[j * count + first + r];
                 });
    }
  }

  // The stripe of each lost slice: checked in passing, written where its file is rebuilt.
  TEnd WriteStripe(std::uint64_t start, std::uint64_t length) {
    const std::uint64_t sliceSize = Survey.Found.Set.SliceSize;
    if (start >= sliceSize)
      return std::nullopt;
    const auto data = static_cast<std::size_t>(std::min(length, sliceSize - start));
    const std::size_t count = Lost.size();
    // Sixteen slices' hashes side by side on each thread.
    TWorkerJobs hashing((count + 15) / 16, Threads, [&](std::size_t job) {
      std::vector<TMd5Stream*> streams;
      std::vector<std::span<const std::uint8_t>> pieces;
      for (std::size_t j = job * 16; j < std::min(count, job * 16 + 16); ++j) {
        const std::span stripe(Solved.get() + j * Width, static_cast<std::size_t>(length));
        FromGfLayout(stripe);
        SliceCrcs[j] = UpdateCRC32(SliceCrcs[j], stripe.first(data));
        streams.push_back(&SliceHashes[j]);
        pieces.push_back(stripe.first(data));
      }
      Md5UpdateLanes(streams, pieces);
    });
    hashing.Wait();
    for (std::size_t j = 0; j < count; ++j) {
      const TRepairFile& file = FileOfSlice(Lost[j]);
      const std::uint64_t at = (Lost[j] - file.FirstSlice) * sliceSize + start;
      if (!file.Rebuilt() || at >= file.Description->Length)
        continue;
      const auto bytes =
          static_cast<std::size_t>(std::min<std::uint64_t>(data, file.Description->Length - at));
      if (!Staging.WriteAt(
              file.Staged, at,
              std::string_view(reinterpret_cast<const char*>(Solved.get() + j * Width), bytes)))
        return Unwritten(file.Target);
    }
    return std::nullopt;
  }

  const TRepairFile& FileOfSlice(std::uint32_t number) const {
    const TRepairFile* owner = &Files.front();
    for (const TRepairFile& file : Files)
      if (file.InRecoverySet && file.FirstSlice <= number)
        owner = &file;
    return *owner;
  }
  const TSliceChecksum& ChecksumOf(std::uint32_t number) const {
    static const TSliceChecksum none{};
    const TRepairFile& file = FileOfSlice(number);
    const std::size_t k = number - file.FirstSlice;
    return k < file.Checksums->size() ? (*file.Checksums)[k] : none;
  }

  // Each rebuilt file read back whole from its staging before any is put in place: one
  // that does not match the set keeps them all out.
  TEnd VerifyStaged() {
    std::vector<const TRepairFile*> rebuilt;
    for (const TRepairFile& file : Files)
      if (file.Rebuilt())
        rebuilt.push_back(&file);
    std::vector<char> verified(rebuilt.size());
    TWorkerJobs checking(rebuilt.size(), Threads, [&](std::size_t i) {
      const TFileDescription& description = *rebuilt[i]->Description;
      verified[i] = HoldsWhole(TReadOnlyFile::OfDescriptor(Staging.ReadBack(rebuilt[i]->Staged)),
                               description);
    });
    checking.Wait();
    for (std::size_t i = 0; i < rebuilt.size(); ++i)
      if (!verified[i])
        return Ended(TRepairOutcome::NotVerified, rebuilt[i]->Target);
    return std::nullopt;
  }

  // The rebuilt files committed together, then the found ones renamed back; every name is
  // taken in its folder opened below the set's, never through a link. Whatever a rename
  // needs is had before the commit; should one fail still, the files already put in place
  // are told with it.
  TEnd PutInPlace() {
    std::vector<std::pair<const TRepairFile*, TRenameBack>> renames;
    for (const TRepairFile& file : Files)
      if (!file.Check.FoundAs.empty()) {
        auto prepared = PrepareRenameBack(file);
        if (!prepared)
          return Unwritten(Folder + file.Check.Name);
        renames.emplace_back(&file, std::move(*prepared));
      }
    std::string failed;
    if (Staging.Commit(&failed) != TWriteResult::Written)
      return Unwritten(failed);
    for (const TRepairFile& file : Files)
      if (file.Rebuilt())
        Result.Repaired.push_back({file.Check.Name, file.LostSlices, file.Check.FoundAs});
    for (const auto& [file, rename] : renames) {
      if (!RenameWithoutReplacing(rename.From.Folder.Get(), rename.From.Leaf,
                                  rename.To.Folder.Get(), rename.To.Leaf)) {
        TRepairResult ended = Unwritten(Folder + file->Check.Name);
        ended.Repaired = std::move(Result.Repaired);
        return ended;
      }
      Result.Repaired.push_back({file->Check.Name, file->LostSlices, file->Check.FoundAs});
    }
    std::sort(Result.Repaired.begin(), Result.Repaired.end(),
              [](const auto& a, const auto& b) { return a.Name < b.Name; });
    Result.Outcome = TRepairOutcome::Repaired;
    return std::nullopt;
  }

  struct TRenameBack {
    TBaseFolder::TParent From, To;
  };
  // Both folders of a rename back opened (the set's own made again where the album lost
  // it), and nothing yet by the set's name; nothing, with errno, when it cannot be.
  std::optional<TRenameBack> PrepareRenameBack(const TRepairFile& file) {
    if (!Base->MakeFoldersOf(file.Description->Name, MadeFolders))
      return std::nullopt;
    auto from = Base->ParentOf(file.Check.FoundAs);
    auto to = Base->ParentOf(file.Description->Name);
    if (!from || !to)
      return std::nullopt;
    struct stat status {};
    if (::fstatat(to->Folder.Get(), to->Leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
      errno = EEXIST;
      return std::nullopt;
    }
    if (errno != ENOENT)
      return std::nullopt;
    return TRenameBack{std::move(*from), std::move(*to)};
  }

  const std::string& Par2Path;
  const TRepairSettings& Settings;
  const std::string Folder;
  TRepairResult Result;
  std::atomic<bool> Cancelled{false};
  std::mutex Reporting;

  TRecoverySurvey Survey;
  std::vector<TRepairFile> Files;
  std::vector<std::uint32_t> Lost;
  TRecoverySolution Solution;
  TFileSet Staging;
  std::optional<TBaseFolder> Base;      // the set's folder: everything written is below it
  std::vector<std::string> MadeFolders; // for missing files, below Base

  unsigned Threads = 1;
  std::uint64_t Width = 0;
  std::vector<TSliceSource> Intact, Recovery;
  TOpenFileCache Sources{OpenAtOnce, [this](const std::string& name) {
                           return OpenBelow(*Base, name);
                         }};
  TOpenFileCache Volumes{OpenAtOnce / 4, [this](const std::string& path) {
                           return OpenSetFile(*Base, Par2Path, path);
                         }};
  int ReadError = 0; // why the last file asked for could not be opened (0: it was)
  // Slices: a batch of intact slices' stripes, SlicesNext the next, read meanwhile.
  TLargeBuffer Remainders, Solved, Slices, SlicesNext;
  std::size_t Batch = 1;
  // Slices summed at once: their factors for every lost slice are held together.
  static constexpr std::size_t SourcesPerBatch = 64;
  // A few sources' chunks stay in the core's first cache while every output takes them:
  // read again for each output from further out, they cost more than the arithmetic.
  static constexpr std::size_t Round = 16;
  std::vector<TGfFactor> Factors;

  std::vector<TMd5Stream> SliceHashes;
  std::vector<std::uint32_t> SliceCrcs;
  std::uint64_t Done = 0, TotalBytes = 0;
};
} // namespace

TRepairResult RepairRecoverySet(const std::string& par2Path, const TRepairSettings& settings) {
  return TRecoverySetRepairer(par2Path, settings).Repair();
}

namespace {
std::string RepairedNames(const TRepairResult& result) {
  std::string names;
  for (const TRepairedFile& file : result.Repaired)
    names += (names.empty() ? "" : ", ") + PrintableName(file.Name);
  return names;
}
} // namespace

namespace {
// Why a file to repair was left: each of the refusals' own words.
const char* RefusalReason(TRepairOutcome outcome) {
  switch (outcome) {
  case TRepairOutcome::IsLink:
    return " is a link";
  case TRepairOutcome::BehindLink:
    return " lies behind a linked folder";
  case TRepairOutcome::OutsideFolder:
    return " lies outside the set's folder";
  case TRepairOutcome::NotAFile:
    return " is not a regular file";
  case TRepairOutcome::NotAName:
    return " is not a file's name";
  default:
    return " is a file of the recovery set itself";
  }
}
} // namespace

std::string RepairSummary(const TRepairResult& result) {
  const auto blocks = [](std::uint64_t n) {
    return std::to_string(n) + (n == 1 ? " block" : " blocks");
  };
  switch (result.Outcome) {
  case TRepairOutcome::Repaired: {
    std::uint64_t rebuilt = 0;
    for (const TRepairedFile& file : result.Repaired)
      rebuilt += file.RebuiltSlices;
    return "Repaired: " + std::to_string(result.Repaired.size()) +
           (result.Repaired.size() == 1 ? " file, " : " files, ") + blocks(rebuilt) + " rebuilt.";
  }
  case TRepairOutcome::NothingToRepair:
    return "Every file is intact: nothing to repair.";
  case TRepairOutcome::NotRepairable:
    return result.MoreSlicesNeeded > 0
               ? "Not repairable: " + std::to_string(result.MoreSlicesNeeded) + " more recovery " +
                     (result.MoreSlicesNeeded == 1 ? "block is" : "blocks are") + " needed."
               : "Not repairable: " + PrintableName(result.Path) +
                     " is not protected by the recovery blocks.";
  case TRepairOutcome::NoSet:
    return "This file holds no intact description of a PAR2 recovery set.";
  case TRepairOutcome::Cancelled:
    return "Repair cancelled: nothing was changed.";
  case TRepairOutcome::Unsolvable:
    return "Not repairable: the recovery blocks found do not determine the lost ones.";
  case TRepairOutcome::NoMemory:
    return "Not enough memory for the repair: nothing was changed.";
  case TRepairOutcome::Unreadable:
    if (result.Error == EMFILE || result.Error == ENFILE)
      return "Could not read " + PrintableName(result.Path) +
             ": too many files are open; nothing was changed.";
    return "Could not read " + PrintableName(result.Path) + ": nothing was changed.";
  case TRepairOutcome::NotWritten:
    if (result.Error == ENOSPC || result.Error == EDQUOT)
      return "No space left on the disk holding " + PrintableName(result.Path) + ".";
    return "Could not write " + PrintableName(result.Path) +
           (result.Error ? std::string(": ") + std::strerror(result.Error) : std::string()) +
           (result.Repaired.empty() ? "." : "; already repaired: " + RepairedNames(result) + ".");
  case TRepairOutcome::NotVerified:
    return "The repaired " + PrintableName(result.Path) +
           " does not match the set: nothing was changed.";
  case TRepairOutcome::IsLink:
  case TRepairOutcome::BehindLink:
  case TRepairOutcome::OutsideFolder:
  case TRepairOutcome::NotAFile:
  case TRepairOutcome::NotAName:
  case TRepairOutcome::IsSetFile:
    return "Not repaired: " + PrintableName(result.Path) + RefusalReason(result.Outcome) +
           "; nothing was changed.";
  }
  return "";
}
