// SPDX-License-Identifier: GPL-3.0-or-later
// Making a recovery set, in the phases of the format's creators.
#include "par2/RecoverySetUnit.h"

#include "audio/CRC32Unit.h"
#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/LargeBuffer.h"
#include "common/Md5Lanes.h"
#include "common/TextUnit.h"
#include "common/WorkerJobs.h"
#include "par2/RecoveryField.h"
#include "par2/RecoveryPackets.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <thread>

namespace {
constexpr std::uint64_t SixteenK = 16384;
// What is held besides the recovery data of one pass: two batches of slices (one read
// while the other is worked on).
constexpr std::uint64_t BatchMemory = std::uint64_t{32} << 20;
constexpr std::size_t MaximumBatch = 64;

struct TSource {
  const TRecoveryInput* Input = nullptr;
  std::optional<TFileStamp> Stamp; // a file's, as it was first read
  std::uint64_t Length = 0;
  TFileDescription Description;
  std::uint32_t FirstSlice = 0;
  std::uint32_t SliceCount = 0;
};

// Reads count bytes at offset of an input into destination, zeros after its end; false
// when the file cannot be read (or changed size since it was first read).
class TSliceReader {
public:
  bool Read(const TSource& source, std::uint64_t offset, std::span<std::uint8_t> destination) {
    const std::uint64_t available = offset < source.Length ? source.Length - offset : 0;
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(available, destination.size()));
    if (wanted == 0) {
      // past the end: zeros only
    } else if (source.Input->Path.empty()) {
      std::memcpy(destination.data(), source.Input->Bytes.data() + offset, wanted);
    } else {
      auto open = Files.find(source.Input);
      if (open == Files.end()) {
        if (Files.size() >= MaximumOpen)
          Files.clear();
        open = Files.emplace(source.Input, TReadOnlyFile::Open(source.Input->Path)).first;
      }
      std::optional<TReadOnlyFile>& file = open->second;
      if (!file || file->Size() != static_cast<std::int64_t>(source.Length) ||
          !file->ReadExactly(static_cast<std::int64_t>(offset), destination.first(wanted)))
        return false;
    }
    std::memset(destination.data() + wanted, 0, destination.size() - wanted);
    return true;
  }

  // A file opened already (to describe it) serves its slices too, while there is room.
  void Keep(const TRecoveryInput* input, std::optional<TReadOnlyFile>&& file) {
    if (Files.size() < MaximumOpen)
      Files.emplace(input, std::move(file));
  }

private:
  // Slices come a file after another, round and round: the files stay open between them,
  // as many as a process may well hold.
  static constexpr std::size_t MaximumOpen = 64;
  std::map<const TRecoveryInput*, std::optional<TReadOnlyFile>> Files;
};

// The length and the MD5 of the first 16 KiB of an input; nothing when it cannot be read.
// The file stays open in the reader, for its slices.
std::optional<TSource> Describe(const TRecoveryInput& input, TSliceReader& reader) {
  TSource source;
  source.Input = &input;
  std::vector<std::uint8_t> head;
  if (input.Path.empty()) {
    source.Length = input.Bytes.size();
    head.assign(input.Bytes.begin(),
                input.Bytes.begin() +
                    static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(SixteenK, source.Length)));
  } else {
    source.Stamp = FileStampOf(input.Path);
    auto file = TReadOnlyFile::Open(input.Path);
    if (!file || !source.Stamp)
      return std::nullopt;
    source.Length = static_cast<std::uint64_t>(file->Size());
    head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(SixteenK, source.Length)));
    if (!file->ReadExactly(0, head))
      return std::nullopt;
    reader.Keep(&input, std::move(file));
  }
  source.Description.Md5Of16k = Md5Of(std::span<const std::uint8_t>(head));
  source.Description.Length = source.Length;
  source.Description.Name = input.Name;
  source.Description.FileId = FileIdOf(source.Description.Md5Of16k, source.Length, input.Name);
  return source;
}

using TBuffer = TLargeBuffer;

TRecoveryResult Failure(TRecoveryOutcome outcome, std::string path = {},
                        TWriteResult write = TWriteResult::Written) {
  TRecoveryResult result;
  result.Outcome = outcome;
  result.Path = std::move(path);
  result.Write = write;
  return result;
}
// A name PAR2 clients find: a backslash is a separator to them, and a control character
// breaks the lines they print.
bool IsPortableSetName(std::string_view name) {
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return c == '\\' || IsControlCharacter(c); });
}

// The problem that keeps inputs from making a set: a name clients cannot find, or an input
// that is one of the set's own files (by any name or link).
std::optional<TRecoveryResult> InputProblem(std::span<const TRecoveryInput> inputs,
                                            const std::vector<std::string>& setPaths) {
  std::vector<std::string> outputs;
  for (const std::string& path : setPaths)
    outputs.push_back(FileIdentity(path));
  for (const TRecoveryInput& input : inputs) {
    if (!IsPortableSetName(input.Name))
      return Failure(TRecoveryOutcome::UnsafeName, input.Path.empty() ? input.Name : input.Path);
    if (!input.Path.empty() &&
        std::find(outputs.begin(), outputs.end(), FileIdentity(input.Path)) != outputs.end())
      return Failure(TRecoveryOutcome::IsInput, input.Path);
  }
  return std::nullopt;
}

// The set id an index file's main packet names; nothing without an intact one.
std::optional<TMd5Hash> IndexSetId(const std::string& path) {
  TRecoverySetReader reader;
  if (!ReadPacketsOfFile(path, [&](const TPacket& packet) { reader.Take(packet); }))
    return std::nullopt;
  const auto set = reader.Description();
  return set ? std::optional(set->SetId) : std::nullopt;
}

// True when a file begins with a packet header of the set: a volume of that set.
bool BeginsWithPacketOf(const std::string& path, const TMd5Hash& setId) {
  auto file = TReadOnlyFile::Open(path);
  std::array<std::uint8_t, par2::HeaderBytes> head{};
  if (!file || !file->ReadExactly(0, head))
    return false;
  return std::equal(par2::Magic.begin(), par2::Magic.end(), head.begin()) &&
         std::equal(setId.begin(), setId.end(), head.begin() + 32);
}

// The volumes of the set the index at indexPath holds now, that the new set's files do not
// take the place of: they go with the old set.
std::vector<std::string> ReplacedVolumes(const std::string& indexPath,
                                         const std::vector<std::string>& newPaths) {
  const auto setId = IndexSetId(indexPath);
  std::vector<std::string> replaced;
  if (!setId)
    return replaced;
  for (const std::string& path : RecoverySetFiles(indexPath))
    if (FileNamePart(path) != FileNamePart(indexPath) &&
        std::find(newPaths.begin(), newPaths.end(), path) == newPaths.end() &&
        BeginsWithPacketOf(path, *setId))
      replaced.push_back(path);
  return replaced;
}

// The first input that is no longer as it was when the set began to be made.
std::optional<std::string> ChangedInput(const std::vector<TSource>& sources) {
  for (const TSource& source : sources)
    if (source.Stamp && FileStampOf(source.Input->Path) != source.Stamp)
      return source.Input->Path;
  return std::nullopt;
}

// The set made phase by phase: describe the files, lay out their slices, stage the
// volumes, compute the recovery slices in passes over stripes of them, and write the
// packets that describe the set. Each phase returns the failure that ends the work.
class TRecoverySetMaker {
public:
  TRecoverySetMaker(std::span<const TRecoveryInput> inputs, const std::string& indexPath,
                    const TRecoverySettings& settings, TFileSet& set, TWriteMode mode)
      : Inputs(inputs), IndexPath(indexPath), Settings(settings), Set(set), Mode(mode) {}

  TRecoveryResult Make() {
    for (const auto phase : {&TRecoverySetMaker::DescribeFiles, &TRecoverySetMaker::LayOutSlices,
                             &TRecoverySetMaker::StageVolumes, &TRecoverySetMaker::ComputeRecovery,
                             &TRecoverySetMaker::WritePackets})
      if (auto failure = (this->*phase)())
        return *failure;
    return Result;
  }

private:
  using TFailure = std::optional<TRecoveryResult>;

  // One pass: the stripe of every slice it computes, and how its slots hold them.
  struct TPass {
    std::uint64_t Number = 0;
    std::uint64_t StripeStart = 0;
    std::uint64_t StripeLength = 0;
    std::uint64_t Slot = 0;       // the bytes a slice takes in the batch's buffer
    std::uint64_t SlotStripe = 0; // where the stripe starts within a slot
  };
  // One batch of slices in a buffer, and how its work is cut into jobs.
  struct TBatch {
    const std::uint8_t* Buffer = nullptr;
    std::size_t Count = 0;
    std::span<const std::size_t> SlotSlice; // the slice in each slot, by its number in the set
    bool Checksumming = false;              // the first pass hashes the files and slices
    std::size_t HashJobs = 0;
    std::size_t ArithmeticJobs = 0;
    std::uint64_t Chunk = 0;
    std::size_t Chunks = 0;
  };

  // The files in the main packet's order (by id).
  TFailure DescribeFiles() {
    for (const TRecoveryInput& input : Inputs) {
      auto source = Describe(input, Reader);
      if (!source)
        return Failure(TRecoveryOutcome::Unreadable, input.Path);
      // An empty file has nothing to recover, and PAR2 clients (par2cmdline 0.8.1) judge a
      // set that describes one as damaged: it is left out, as they leave it out.
      if (source->Length > 0)
        Sources.push_back(std::move(*source));
    }
    // Ids compare as 16-byte little-endian numbers, as every number of the format is read.
    std::sort(Sources.begin(), Sources.end(), [](const TSource& a, const TSource& b) {
      return std::lexicographical_compare(
          a.Description.FileId.rbegin(), a.Description.FileId.rend(), b.Description.FileId.rbegin(),
          b.Description.FileId.rend());
    });
    return std::nullopt;
  }

  // The slice size and counts, the slices numbered through the files, the set's id.
  TFailure LayOutSlices() {
    std::vector<std::uint64_t> sizes;
    for (const TSource& source : Sources)
      sizes.push_back(source.Length);
    SliceSize = Settings.SliceSize ? Settings.SliceSize : ChooseSliceSize(sizes);
    const auto layout = PlanRecoveryLayout(
        sizes, SliceSize, std::min(Settings.Redundancy, unsigned{MaximumRedundancy}),
        Settings.CoverLargestFile);
    const auto largest =
        std::max_element(Sources.begin(), Sources.end(),
                         [](const TSource& a, const TSource& b) { return a.Length < b.Length; });
    if (largest != Sources.end())
      Result.LargestFile = largest->Description.Name;
    if (!layout)
      return Failure(TRecoveryOutcome::TooLarge);
    Layout = *layout;
    RecoveryCount = Layout.RecoverySlices;
    for (std::size_t i = 0; i < Sources.size(); ++i) {
      Sources[i].FirstSlice = static_cast<std::uint32_t>(Slices.size());
      Sources[i].SliceCount = static_cast<std::uint32_t>(SlicesOf(Sources[i].Length, SliceSize));
      for (std::uint64_t k = 0; k < Sources[i].SliceCount; ++k)
        Slices.emplace_back(i, k);
    }
    std::vector<TMd5Hash> ids;
    for (const TSource& source : Sources)
      ids.push_back(source.Description.FileId);
    MainBody = MainPacketBody(SliceSize, ids);
    SetId = Md5Of(MainBody);
    return std::nullopt;
  }

  // The volumes, staged before the work so that a full disk shows at once, and where each
  // recovery slice's packet goes in them.
  TFailure StageVolumes() {
    Result.Layout = Layout;
    Result.Paths.push_back(IndexPath);
    VolumePaths = RecoveryVolumePaths(IndexPath, Layout);
    std::vector<std::string> setPaths = VolumePaths;
    setPaths.push_back(IndexPath);
    if (auto problem = InputProblem(Inputs, setPaths))
      return problem;
    if (Mode == TWriteMode::Replace)
      for (const std::string& old : ReplacedVolumes(IndexPath, VolumePaths))
        Set.Remove(old);
    VolumeFiles.resize(VolumePaths.size());
    for (std::size_t v = 0; v < VolumePaths.size(); ++v) {
      const TWriteResult opened = Set.Open(VolumePaths[v], Mode, VolumeFiles[v]);
      if (opened != TWriteResult::Written)
        return Failure(TRecoveryOutcome::NotStaged, VolumePaths[v], opened);
      Result.Paths.push_back(VolumePaths[v]);
    }
    RecoveryPlace.resize(RecoveryCount);
    for (std::size_t v = 0; v < Layout.Volumes.size(); ++v)
      for (std::uint32_t j = 0; j < Layout.Volumes[v].second; ++j)
        RecoveryPlace[Layout.Volumes[v].first + j] = {v, j * RecoverySlicePacketBytes(SliceSize)};
    return std::nullopt;
  }

  // The buffers and the order of work: recovery data for a stripe as wide as the memory
  // allows, passes enough to cover a slice, and batches of slices read a slice of every
  // file at a time, so that the files' hashes run side by side in the vector lanes.
  TFailure PrepareWork() {
    Threads =
        Settings.Threads ? Settings.Threads : std::max(1u, std::thread::hardware_concurrency());
    Stride = RoundUp(SliceSize, GfGroupBytes);
    Width = RecoveryCount == 0 ? Stride
                               : std::clamp<std::uint64_t>(Settings.RecoveryMemory / RecoveryCount /
                                                               GfGroupBytes * GfGroupBytes,
                                                           GfGroupBytes, Stride);
    Passes = (Stride + Width - 1) / Width;
    Batch =
        static_cast<std::size_t>(std::clamp<std::uint64_t>(BatchMemory / Stride, 1, MaximumBatch));
    for (TBuffer& buffer : Buffers)
      buffer = LargeBuffer(static_cast<std::size_t>(Batch * Stride));
    RecoveryBytes = static_cast<std::size_t>(RecoveryCount * Width);
    RecoveryBuffer = LargeBuffer(RecoveryBytes);
    if (!Buffers[0] || !Buffers[1] || !RecoveryBuffer)
      return Failure(TRecoveryOutcome::NoMemory);
    for (std::uint64_t k = 0; ReadOrder.size() < Slices.size(); ++k)
      for (const TSource& source : Sources)
        if (k < source.SliceCount)
          ReadOrder.push_back(source.FirstSlice + k);
    FileHashes.resize(Sources.size());
    Checksums.resize(Slices.size());
    RecoveryHashes.resize(RecoveryCount);
    for (std::uint32_t r = 0; r < RecoveryCount; ++r) {
      const std::string head = RecoverySliceHashedHead(SetId, r);
      RecoveryHashes[r].Update(
          std::span(reinterpret_cast<const std::uint8_t*>(head.data()), head.size()));
    }
    // Each arithmetic job's copy of its chunk of the batch, and the batch's factors,
    // allocated once: a fresh allocation per job costs the system its pages anew.
    JobsPerBatch = 8 * Threads;
    Scratch.resize(JobsPerBatch);
    Factors.resize(RecoveryCount * Batch);
    for (const TSource& source : Sources)
      TotalBytes += source.Length;
    TotalBytes += (Passes - 1) * Slices.size() * Width;
    return std::nullopt;
  }

  TFailure ComputeRecovery() {
    if (auto failure = PrepareWork())
      return failure;
    for (std::uint64_t number = 0; number < Passes; ++number) {
      TPass pass;
      pass.Number = number;
      pass.StripeStart = number * Width;
      pass.StripeLength = std::min(Width, Stride - pass.StripeStart);
      // The first pass reads whole slices (their checksums need them), later ones the stripe.
      pass.Slot = number == 0 ? Stride : pass.StripeLength;
      pass.SlotStripe = number == 0 ? pass.StripeStart : 0;
      if (auto failure = ComputePass(pass))
        return failure;
      if (auto failure = WriteStripe(pass))
        return failure;
    }
    return std::nullopt;
  }

  // Every batch of the pass, the next one read while this one is worked on.
  TFailure ComputePass(const TPass& pass) {
    std::memset(RecoveryBuffer.get(), 0, RecoveryBytes);
    const std::size_t batches = (Slices.size() + Batch - 1) / Batch;
    if (const TRecoveryInput* unread = batches > 0 ? ReadBatch(pass, 0, Buffers[0].get()) : nullptr)
      return Unreadable(*unread);
    for (std::size_t b = 0; b < batches; ++b) {
      const TBatch batch = BatchOf(pass, b);
      TWorkerJobs jobs(batch.HashJobs + batch.ArithmeticJobs, Threads,
                       [&](std::size_t job) { RunJob(pass, batch, job); });
      const TRecoveryInput* unread =
          b + 1 >= batches ? nullptr : ReadBatch(pass, b + 1, Buffers[(b + 1) % 2].get());
      jobs.Wait();
      if (unread)
        return Unreadable(*unread);
      for (const std::size_t slice : batch.SlotSlice) {
        const auto [source, k] = Slices[slice];
        DoneBytes +=
            pass.Number == 0 ? std::min(SliceSize, Sources[source].Length - k * SliceSize) : Width;
      }
      if (Settings.Progress && !Settings.Progress(DoneBytes, TotalBytes))
        return Failure(TRecoveryOutcome::Cancelled);
    }
    return std::nullopt;
  }

  // The input that could not be read, if any.
  const TRecoveryInput* ReadBatch(const TPass& pass, std::size_t b, std::uint8_t* buffer) {
    for (std::size_t s = b * Batch; s < std::min(Slices.size(), (b + 1) * Batch); ++s) {
      const auto [source, k] = Slices[ReadOrder[s]];
      const std::uint64_t offset = k * SliceSize + (pass.Number == 0 ? 0 : pass.StripeStart);
      const std::span slot(buffer + (s - b * Batch) * pass.Slot,
                           static_cast<std::size_t>(pass.Slot));
      if (!Reader.Read(Sources[source], offset, slot))
        return Sources[source].Input;
    }
    return nullptr;
  }

  // A file that cannot be read as it was first found has most likely changed.
  TRecoveryResult Unreadable(const TRecoveryInput& input) const {
    const auto changed = ChangedInput(Sources);
    return changed ? Failure(TRecoveryOutcome::Changed, *changed)
                   : Failure(TRecoveryOutcome::Unreadable, input.Path);
  }

  // The batch's slices, their factors, and its jobs: the files' hashes (in order, one
  // job), each slice's checksums (sixteen a job), and the arithmetic in chunks of the
  // stripe small enough for a core's cache.
  TBatch BatchOf(const TPass& pass, std::size_t b) {
    TBatch batch;
    batch.Buffer = Buffers[b % 2].get();
    const std::size_t firstSlice = b * Batch;
    batch.Count = std::min(Batch, Slices.size() - firstSlice);
    batch.SlotSlice = std::span<const std::size_t>(ReadOrder.data() + firstSlice, batch.Count);
    for (std::size_t s = 0; s < batch.Count; ++s) {
      const std::uint16_t constant =
          InputSliceConstant(static_cast<std::uint32_t>(batch.SlotSlice[s]));
      std::uint16_t power = 1;
      for (std::uint32_t r = 0; r < RecoveryCount; ++r, power = GfMultiply(power, constant))
        Factors[r * batch.Count + s] = PrepareGfFactor(power);
    }
    batch.Checksumming = pass.Number == 0;
    batch.HashJobs = batch.Checksumming ? 1 + (batch.Count + 15) / 16 : 0;
    batch.Chunk = std::clamp<std::uint64_t>((256 << 10) / batch.Count / GfGroupBytes * GfGroupBytes,
                                            GfGroupBytes, 16384);
    batch.Chunks = static_cast<std::size_t>((pass.StripeLength + batch.Chunk - 1) / batch.Chunk);
    batch.ArithmeticJobs =
        RecoveryCount == 0 ? 0 : std::min<std::size_t>(batch.Chunks, JobsPerBatch);
    return batch;
  }

  void RunJob(const TPass& pass, const TBatch& batch, std::size_t job) {
    if (job == 0 && batch.Checksumming)
      HashFiles(pass, batch);
    else if (job < batch.HashJobs)
      HashSlices(pass, batch, (job - 1) * 16);
    else
      Accumulate(pass, batch, job - batch.HashJobs);
  }

  // A round takes each file's next slot of the batch, the files side by side (a file's
  // hash must see it in order).
  void HashFiles(const TPass& pass, const TBatch& batch) {
    std::vector<bool> taken(batch.Count, false);
    for (std::size_t done = 0; done < batch.Count;) {
      std::vector<TMd5Stream*> streams;
      std::vector<std::span<const std::uint8_t>> data;
      std::vector<std::size_t> files;
      for (std::size_t s = 0; s < batch.Count; ++s) {
        const auto [source, k] = Slices[batch.SlotSlice[s]];
        if (taken[s] || std::find(files.begin(), files.end(), source) != files.end())
          continue;
        files.push_back(source); // a file's later slot waits for the next round
        taken[s] = true;
        ++done;
        const std::uint64_t bytes = std::min(SliceSize, Sources[source].Length - k * SliceSize);
        streams.push_back(&FileHashes[source]);
        data.emplace_back(batch.Buffer + s * pass.Slot, static_cast<std::size_t>(bytes));
      }
      Md5UpdateLanes(streams, data);
    }
  }

  // Sixteen slices' checksums side by side, from the batch's slot first on.
  void HashSlices(const TPass& pass, const TBatch& batch, std::size_t first) {
    const std::size_t lanes = std::min<std::size_t>(16, batch.Count - first);
    std::array<TMd5Stream, 16> hashes{};
    std::array<TMd5Stream*, 16> streams{};
    std::array<std::span<const std::uint8_t>, 16> data{};
    for (std::size_t i = 0; i < lanes; ++i) {
      streams[i] = &hashes[i];
      data[i] =
          std::span(batch.Buffer + (first + i) * pass.Slot, static_cast<std::size_t>(SliceSize));
    }
    Md5UpdateLanes(std::span(streams.data(), lanes), std::span(data.data(), lanes));
    for (std::size_t i = 0; i < lanes; ++i)
      Checksums[batch.SlotSlice[first + i]] = {hashes[i].Finish(), UpdateCRC32(0, data[i])};
  }

  // Every recovery slice's stripe gains the batch's slices times their factors, chunk by
  // chunk of the stripe (every arithmetic job's share).
  void Accumulate(const TPass& pass, const TBatch& batch, std::size_t worker) {
    std::vector<std::uint8_t>& copies = Scratch[worker];
    copies.resize(static_cast<std::size_t>(batch.Count * batch.Chunk));
    std::vector<const std::uint8_t*> pointers(batch.Count);
    std::uint8_t* const recovery = RecoveryBuffer.get();
    for (std::size_t c = worker; c < batch.Chunks; c += batch.ArithmeticJobs) {
      const std::uint64_t at = c * batch.Chunk;
      const auto length = static_cast<std::size_t>(std::min(batch.Chunk, pass.StripeLength - at));
      for (std::size_t s = 0; s < batch.Count; ++s) {
        std::uint8_t* copy = copies.data() + s * batch.Chunk;
        std::memcpy(copy, batch.Buffer + s * pass.Slot + pass.SlotStripe + at, length);
        ToGfLayout(std::span(copy, length));
        pointers[s] = copy;
      }
      for (std::uint32_t r = 0; r < RecoveryCount; ++r)
        GfMultiplyAccumulate(std::span(recovery + r * Width + at, length), pointers,
                             std::span(Factors.data() + r * batch.Count, batch.Count));
    }
  }

  // The pass's stripe of every recovery slice is done: back to the words' order, hashed,
  // written into its volume.
  TFailure WriteStripe(const TPass& pass) {
    const std::uint64_t dataEnd = std::min(pass.StripeStart + pass.StripeLength, SliceSize);
    if (pass.StripeStart >= SliceSize || RecoveryCount == 0)
      return std::nullopt;
    std::uint8_t* const recovery = RecoveryBuffer.get();
    const auto dataLength = static_cast<std::size_t>(dataEnd - pass.StripeStart);
    TWorkerJobs hashing((RecoveryCount + 15) / 16, Threads, [&](std::size_t job) {
      std::vector<TMd5Stream*> streams;
      std::vector<std::span<const std::uint8_t>> data;
      for (std::size_t r = job * 16; r < std::min<std::size_t>(RecoveryCount, job * 16 + 16); ++r) {
        const std::span<std::uint8_t> stripe(recovery + r * Width,
                                             static_cast<std::size_t>(pass.StripeLength));
        FromGfLayout(stripe);
        streams.push_back(&RecoveryHashes[r]);
        data.push_back(stripe.first(dataLength));
      }
      Md5UpdateLanes(streams, data);
    });
    hashing.Wait();
    for (std::uint32_t r = 0; r < RecoveryCount; ++r) {
      const auto [volume, offset] = RecoveryPlace[r];
      const std::string_view data(reinterpret_cast<const char*>(recovery + r * Width), dataLength);
      if (!Set.WriteAt(VolumeFiles[volume], offset + par2::HeaderBytes + 4 + pass.StripeStart,
                       data))
        return Failure(TRecoveryOutcome::NotStaged, VolumePaths[volume], TWriteResult::Failed);
    }
    return std::nullopt;
  }

  // The packets that describe the set, in the index and after each volume's slices, and
  // each recovery packet's header now that its hash is known.
  TFailure WritePackets() {
    std::string described = Packet(SetId, par2::MainType, MainBody);
    for (TSource& source : Sources) {
      source.Description.Md5 = FileHashes[&source - Sources.data()].Finish();
      described +=
          Packet(SetId, par2::FileDescriptionType, FileDescriptionBody(source.Description));
    }
    for (const TSource& source : Sources)
      described += Packet(
          SetId, par2::SliceChecksumType,
          SliceChecksumBody(source.Description.FileId,
                            std::span(Checksums).subspan(source.FirstSlice, source.SliceCount)));
    described +=
        Packet(SetId, par2::CreatorType,
               CreatorBody("Created by " + GetProductName() + " " + GetFileVersion() + "."));
    for (std::uint32_t r = 0; r < RecoveryCount; ++r) {
      const auto [volume, offset] = RecoveryPlace[r];
      if (!Set.WriteAt(VolumeFiles[volume], offset,
                       RecoverySliceHeader(SetId, r, SliceSize, RecoveryHashes[r].Finish())))
        return Failure(TRecoveryOutcome::NotStaged, VolumePaths[volume], TWriteResult::Failed);
    }
    for (std::size_t v = 0; v < Layout.Volumes.size(); ++v)
      if (!Set.WriteAt(VolumeFiles[v],
                       Layout.Volumes[v].second * RecoverySlicePacketBytes(SliceSize), described))
        return Failure(TRecoveryOutcome::NotStaged, VolumePaths[v], TWriteResult::Failed);
    // A file that changed while it was read would make a set that calls it damaged at once.
    if (const auto changed = ChangedInput(Sources))
      return Failure(TRecoveryOutcome::Changed, *changed);
    const TWriteResult index = Set.Add(IndexPath, described, Mode);
    if (index != TWriteResult::Written)
      return Failure(TRecoveryOutcome::NotStaged, IndexPath, index);
    return std::nullopt;
  }

  std::span<const TRecoveryInput> Inputs;
  const std::string& IndexPath;
  const TRecoverySettings& Settings;
  TFileSet& Set;
  TWriteMode Mode;
  TRecoveryResult Result;

  std::vector<TSource> Sources;
  TRecoveryLayout Layout;
  std::uint64_t SliceSize = 0;
  std::uint32_t RecoveryCount = 0;
  std::vector<std::pair<std::size_t, std::uint64_t>> Slices; // source, slice within it
  std::string MainBody;
  TMd5Hash SetId{};

  std::vector<std::string> VolumePaths;
  std::vector<std::size_t> VolumeFiles;
  std::vector<std::pair<std::size_t, std::uint64_t>> RecoveryPlace; // volume, offset

  unsigned Threads = 1;
  std::uint64_t Stride = 0, Width = 0, Passes = 0;
  std::size_t Batch = 1;
  std::array<TBuffer, 2> Buffers;
  std::size_t RecoveryBytes = 0;
  TBuffer RecoveryBuffer;
  std::vector<std::size_t> ReadOrder;
  std::vector<TMd5Stream> FileHashes;
  std::vector<TSliceChecksum> Checksums;
  std::vector<TMd5Stream> RecoveryHashes;
  std::size_t JobsPerBatch = 8;
  std::vector<std::vector<std::uint8_t>> Scratch;
  std::vector<TGfFactor> Factors;
  std::uint64_t TotalBytes = 0, DoneBytes = 0;
  TSliceReader Reader;
};
} // namespace

TRecoveryResult StageRecoverySet(std::span<const TRecoveryInput> inputs,
                                 const std::string& indexPath, const TRecoverySettings& settings,
                                 TFileSet& set, TWriteMode mode) {
  return TRecoverySetMaker(inputs, indexPath, settings, set, mode).Make();
}
