// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/RecoverySetUnit.h"

#include "audio/CRC32Unit.h"
#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/Md5Lanes.h"
#include "common/TextUnit.h"
#include "common/WorkerJobs.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/RecoveryField.h"
#include "generate/RecoveryPackets.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sys/mman.h>
#include <thread>

namespace {
constexpr std::uint64_t SixteenK = 16384;
// What is held besides the recovery data of one pass: two batches of slices (one read
// while the other is worked on).
constexpr std::uint64_t BatchMemory = std::uint64_t{32} << 20;
constexpr std::size_t MaximumBatch = 64;

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

std::uint64_t SlicesOf(std::uint64_t length, std::uint64_t sliceSize) {
  return (length + sliceSize - 1) / sliceSize;
}

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

private:
  // Slices come a file after another, round and round: the files stay open between them,
  // as many as a process may well hold.
  static constexpr std::size_t MaximumOpen = 64;
  std::map<const TRecoveryInput*, std::optional<TReadOnlyFile>> Files;
};

// The length and the MD5 of the first 16 KiB of an input; nothing when it cannot be read.
std::optional<TSource> Describe(const TRecoveryInput& input) {
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
  }
  source.Description.Md5Of16k = Md5Of(std::span<const std::uint8_t>(head));
  source.Description.Length = source.Length;
  source.Description.Name = input.Name;
  source.Description.FileId = FileIdOf(source.Description.Md5Of16k, source.Length, input.Name);
  return source;
}

std::string NumberPadded(std::uint32_t value, std::size_t width) {
  std::string text = std::to_string(value);
  return std::string(width > text.size() ? width - text.size() : 0, '0') + text;
}

// Large buffers on huge pages where the system gives them: on a virtual machine the first
// touch of each 4 KiB page is dear (128 MB of them took 0.47 s here), of a 2 MiB one not.
struct TFree {
  void operator()(std::uint8_t* bytes) const { std::free(bytes); }
};
using TBuffer = std::unique_ptr<std::uint8_t[], TFree>;
TBuffer LargeBuffer(std::size_t bytes) {
  constexpr std::size_t Huge = std::size_t{2} << 20;
  const std::size_t size = std::max(Huge, (bytes + Huge - 1) / Huge * Huge);
  auto* memory = static_cast<std::uint8_t*>(std::aligned_alloc(Huge, size));
  if (memory)
    ::madvise(memory, size, MADV_HUGEPAGE);
  return TBuffer(memory);
}

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
} // namespace

std::uint64_t ChooseSliceSize(std::span<const std::uint64_t> fileSizes) {
  constexpr std::uint64_t TargetSlices = 2000;
  constexpr std::uint64_t Smallest = 4096;
  std::uint64_t total = 0;
  for (const std::uint64_t size : fileSizes)
    total += size;
  std::uint64_t sliceSize =
      std::max(Smallest, RoundUp((total + TargetSlices - 1) / TargetSlices, 4));
  // Many small files take a slice each however large slices are: grow until they fit.
  for (int i = 0; i < 64; ++i) {
    std::uint64_t slices = 0;
    for (const std::uint64_t size : fileSizes)
      slices += SlicesOf(size, sliceSize);
    if (slices <= par2::MaximumSourceSlices)
      break;
    sliceSize = RoundUp(sliceSize * 2, 4);
  }
  return sliceSize;
}

std::optional<TRecoveryLayout> PlanRecoveryLayout(std::span<const std::uint64_t> fileSizes,
                                                  std::uint64_t sliceSize, unsigned redundancy) {
  TRecoveryLayout layout;
  layout.SliceSize = sliceSize;
  std::uint64_t slices = 0;
  for (const std::uint64_t size : fileSizes)
    slices += SlicesOf(size, sliceSize);
  if (sliceSize == 0 || sliceSize % 4 != 0 || sliceSize > MaximumSliceSize ||
      slices > par2::MaximumSourceSlices)
    return std::nullopt;
  layout.SourceSlices = static_cast<std::uint32_t>(slices);
  // Rounded to the nearest, at least one while there is anything to protect (as par2cmdline).
  std::uint64_t recovery = (slices * redundancy + 50) / 100;
  if (recovery == 0 && slices > 0 && redundancy > 0)
    recovery = 1;
  if (recovery > par2::MaximumRecoverySlices)
    return std::nullopt;
  layout.RecoverySlices = static_cast<std::uint32_t>(recovery);
  // 1, 2, 4, ... slices a volume, the last one taking what is left.
  std::uint32_t first = 0;
  for (std::uint32_t count = 1; 2 * std::uint64_t{count} <= layout.RecoverySlices; count *= 2) {
    layout.Volumes.emplace_back(first, count);
    first += count;
  }
  if (first < layout.RecoverySlices)
    layout.Volumes.emplace_back(first, layout.RecoverySlices - first);
  return layout;
}

std::vector<std::string> RecoveryVolumePaths(const std::string& indexPath,
                                             const TRecoveryLayout& layout) {
  const std::string base = RecoverySetBase(indexPath);
  std::uint32_t highestFirst = 0, highestCount = 0;
  for (const auto& [first, count] : layout.Volumes) {
    highestFirst = std::max(highestFirst, first);
    highestCount = std::max(highestCount, count);
  }
  const std::size_t firstWidth = std::to_string(highestFirst).size();
  const std::size_t countWidth = std::to_string(highestCount).size();
  std::vector<std::string> paths;
  for (const auto& [first, count] : layout.Volumes)
    paths.push_back(base + ".vol" + NumberPadded(first, firstWidth) + "+" +
                    NumberPadded(count, countWidth) + ".par2");
  return paths;
}

TRecoveryResult StageRecoverySet(std::span<const TRecoveryInput> inputs,
                                 const std::string& indexPath, const TRecoverySettings& settings,
                                 TFileSet& set, TWriteMode mode) {
  // The files in the main packet's order (by id), with their slices numbered through.
  std::vector<TSource> sources;
  for (const TRecoveryInput& input : inputs) {
    auto source = Describe(input);
    if (!source)
      return Failure(TRecoveryOutcome::Unreadable, input.Path);
    // An empty file has nothing to recover, and PAR2 clients (par2cmdline 0.8.1) judge a
    // set that describes one as damaged: it is left out, as they leave it out.
    if (source->Length > 0)
      sources.push_back(std::move(*source));
  }
  // Ids compare as 16-byte little-endian numbers, as every number of the format is read.
  std::sort(sources.begin(), sources.end(), [](const TSource& a, const TSource& b) {
    return std::lexicographical_compare(a.Description.FileId.rbegin(), a.Description.FileId.rend(),
                                        b.Description.FileId.rbegin(), b.Description.FileId.rend());
  });
  std::vector<std::uint64_t> sizes;
  for (const TSource& source : sources)
    sizes.push_back(source.Length);
  const std::uint64_t sliceSize = settings.SliceSize ? settings.SliceSize : ChooseSliceSize(sizes);
  const auto layout =
      PlanRecoveryLayout(sizes, sliceSize, std::min(settings.Redundancy, MaximumRedundancy));
  if (!layout)
    return Failure(TRecoveryOutcome::TooLarge);
  std::vector<std::pair<std::size_t, std::uint64_t>> slices; // source, slice within it
  for (std::size_t i = 0; i < sources.size(); ++i) {
    sources[i].FirstSlice = static_cast<std::uint32_t>(slices.size());
    sources[i].SliceCount = static_cast<std::uint32_t>(SlicesOf(sources[i].Length, sliceSize));
    for (std::uint64_t k = 0; k < sources[i].SliceCount; ++k)
      slices.emplace_back(i, k);
  }
  std::vector<TMd5Hash> ids;
  for (const TSource& source : sources)
    ids.push_back(source.Description.FileId);
  const std::string mainBody = MainPacketBody(sliceSize, ids);
  const TMd5Hash setId = Md5Of(mainBody);

  // The volumes, staged now: a full disk shows before the work.
  TRecoveryResult result;
  result.Layout = *layout;
  result.Paths.push_back(indexPath);
  const std::vector<std::string> volumePaths = RecoveryVolumePaths(indexPath, *layout);
  std::vector<std::string> setPaths = volumePaths;
  setPaths.push_back(indexPath);
  if (auto problem = InputProblem(inputs, setPaths))
    return *problem;
  if (mode == TWriteMode::Replace)
    for (const std::string& old : ReplacedVolumes(indexPath, volumePaths))
      set.Remove(old);
  std::vector<std::size_t> volumeFiles(volumePaths.size());
  for (std::size_t v = 0; v < volumePaths.size(); ++v) {
    const TWriteResult opened = set.Open(volumePaths[v], mode, volumeFiles[v]);
    if (opened != TWriteResult::Written)
      return Failure(TRecoveryOutcome::NotStaged, volumePaths[v], opened);
    result.Paths.push_back(volumePaths[v]);
  }
  const std::uint32_t recoveryCount = layout->RecoverySlices;
  // Where each recovery slice's packet goes: its volume and the offset there.
  std::vector<std::pair<std::size_t, std::uint64_t>> recoveryPlace(recoveryCount);
  for (std::size_t v = 0; v < layout->Volumes.size(); ++v)
    for (std::uint32_t j = 0; j < layout->Volumes[v].second; ++j)
      recoveryPlace[layout->Volumes[v].first + j] = {v, j * RecoverySlicePacketBytes(sliceSize)};

  const unsigned threads =
      settings.Threads ? settings.Threads : std::max(1u, std::thread::hardware_concurrency());
  const std::uint64_t stride = RoundUp(sliceSize, GfGroupBytes);
  const std::uint64_t width =
      recoveryCount == 0 ? stride
                         : std::clamp<std::uint64_t>(settings.RecoveryMemory / recoveryCount /
                                                         GfGroupBytes * GfGroupBytes,
                                                     GfGroupBytes, stride);
  const std::uint64_t passes = (stride + width - 1) / width;
  const std::size_t batch =
      static_cast<std::size_t>(std::clamp<std::uint64_t>(BatchMemory / stride, 1, MaximumBatch));
  const std::array<TBuffer, 2> buffers = {LargeBuffer(static_cast<std::size_t>(batch * stride)),
                                          LargeBuffer(static_cast<std::size_t>(batch * stride))};
  const std::size_t recoveryBytes = static_cast<std::size_t>(recoveryCount * width);
  const TBuffer recoveryBuffer = LargeBuffer(recoveryBytes);
  if (!buffers[0] || !buffers[1] || !recoveryBuffer)
    return Failure(TRecoveryOutcome::NoMemory);
  std::uint8_t* const recovery = recoveryBuffer.get();

  // Slices are read a slice of every file at a time, so that the files' hashes run side
  // by side in the vector lanes (a hash must see its file in order).
  std::vector<std::size_t> readOrder;
  for (std::uint64_t k = 0; readOrder.size() < slices.size(); ++k)
    for (const TSource& source : sources)
      if (k < source.SliceCount)
        readOrder.push_back(source.FirstSlice + k);
  std::vector<TMd5Stream> fileHashes(sources.size());
  std::vector<TSliceChecksum> checksums(slices.size());
  std::vector<TMd5Stream> recoveryHashes(recoveryCount);
  for (std::uint32_t r = 0; r < recoveryCount; ++r) {
    const std::string head = RecoverySliceHashedHead(setId, r);
    recoveryHashes[r].Update(
        std::span(reinterpret_cast<const std::uint8_t*>(head.data()), head.size()));
  }
  // Each arithmetic job's copy of its chunk of the batch (at most 256 KiB), and the batch's
  // factors, allocated once: a fresh allocation per job costs the system its pages anew.
  const std::size_t jobsPerBatch = 8 * threads;
  std::vector<std::vector<std::uint8_t>> scratch(jobsPerBatch);
  std::vector<TGfFactor> factors(recoveryCount * batch);

  std::uint64_t totalBytes = 0;
  for (const TSource& source : sources)
    totalBytes += source.Length;
  totalBytes += (passes - 1) * slices.size() * width;
  std::uint64_t doneBytes = 0;

  TSliceReader reader;
  for (std::uint64_t pass = 0; pass < passes; ++pass) {
    const std::uint64_t stripeStart = pass * width;
    const std::uint64_t stripeLength = std::min(width, stride - stripeStart);
    // The first pass reads whole slices (their checksums need them), later ones the stripe.
    const std::uint64_t slot = pass == 0 ? stride : stripeLength;
    const std::uint64_t slotStripe = pass == 0 ? stripeStart : 0;
    std::memset(recovery, 0, recoveryBytes);
    const std::size_t batches = (slices.size() + batch - 1) / batch;
    // The input that could not be read, if any.
    const auto readBatch = [&](std::size_t b, std::uint8_t* buffer) -> const TRecoveryInput* {
      for (std::size_t s = b * batch; s < std::min(slices.size(), (b + 1) * batch); ++s) {
        const auto [source, k] = slices[readOrder[s]];
        const std::uint64_t offset = k * sliceSize + (pass == 0 ? 0 : stripeStart);
        if (!reader.Read(
                sources[source], offset,
                std::span(buffer + (s - b * batch) * slot, static_cast<std::size_t>(slot))))
          return sources[source].Input;
      }
      return nullptr;
    };
    // A file that cannot be read as it was first found has most likely changed.
    const auto unreadable = [&](const TRecoveryInput& input) {
      const auto changed = ChangedInput(sources);
      return changed ? Failure(TRecoveryOutcome::Changed, *changed)
                     : Failure(TRecoveryOutcome::Unreadable, input.Path);
    };
    if (const TRecoveryInput* unread = batches > 0 ? readBatch(0, buffers[0].get()) : nullptr)
      return unreadable(*unread);
    for (std::size_t b = 0; b < batches; ++b) {
      const std::uint8_t* const buffer = buffers[b % 2].get();
      const std::size_t firstSlice = b * batch;
      const std::size_t count = std::min(batch, slices.size() - firstSlice);
      // The slice in each slot, by its number in the set.
      const std::span<const std::size_t> slotSlice(readOrder.data() + firstSlice, count);
      for (std::size_t s = 0; s < count; ++s) {
        const std::uint16_t constant = InputSliceConstant(static_cast<std::uint32_t>(slotSlice[s]));
        std::uint16_t power = 1;
        for (std::uint32_t r = 0; r < recoveryCount; ++r, power = GfMultiply(power, constant))
          factors[r * count + s] = PrepareGfFactor(power);
      }
      // Jobs: the files' hashes (in order, one job), each slice's checksums, and the
      // arithmetic in chunks of the stripe small enough for a core's cache.
      const bool checksumming = pass == 0;
      const std::size_t sliceHashJobs = (count + 15) / 16;
      const std::size_t hashJobs = checksumming ? 1 + sliceHashJobs : 0;
      const std::uint64_t chunk = std::clamp<std::uint64_t>(
          (256 << 10) / count / GfGroupBytes * GfGroupBytes, GfGroupBytes, 16384);
      const std::size_t chunks = static_cast<std::size_t>((stripeLength + chunk - 1) / chunk);
      const std::size_t arithmeticJobs =
          recoveryCount == 0 ? 0 : std::min<std::size_t>(chunks, jobsPerBatch);
      TWorkerJobs jobs(hashJobs + arithmeticJobs, threads, [&](std::size_t job) {
        if (job == 0 && checksumming) {
          // A round takes each file's next slot of the batch, the files side by side.
          std::vector<bool> taken(count, false);
          for (std::size_t done = 0; done < count;) {
            std::vector<TMd5Stream*> streams;
            std::vector<std::span<const std::uint8_t>> data;
            std::vector<std::size_t> files;
            for (std::size_t s = 0; s < count; ++s) {
              const auto [source, k] = slices[slotSlice[s]];
              if (taken[s] || std::find(files.begin(), files.end(), source) != files.end())
                continue;
              files.push_back(source); // a file's later slot waits for the next round
              taken[s] = true;
              ++done;
              const std::uint64_t bytes =
                  std::min(sliceSize, sources[source].Length - k * sliceSize);
              streams.push_back(&fileHashes[source]);
              data.emplace_back(buffer + s * slot, static_cast<std::size_t>(bytes));
            }
            Md5UpdateLanes(streams, data);
          }
          return;
        }
        if (job < hashJobs) { // sixteen slices side by side
          const std::size_t first = (job - 1) * 16;
          const std::size_t lanes = std::min<std::size_t>(16, count - first);
          std::array<TMd5Stream, 16> hashes{};
          std::array<TMd5Stream*, 16> streams{};
          std::array<std::span<const std::uint8_t>, 16> data{};
          for (std::size_t i = 0; i < lanes; ++i) {
            streams[i] = &hashes[i];
            data[i] = std::span(buffer + (first + i) * slot, static_cast<std::size_t>(sliceSize));
          }
          Md5UpdateLanes(std::span(streams.data(), lanes), std::span(data.data(), lanes));
          for (std::size_t i = 0; i < lanes; ++i)
            checksums[slotSlice[first + i]] = {hashes[i].Finish(), UpdateCRC32(0, data[i])};
          return;
        }
        std::vector<std::uint8_t>& copies = scratch[job - hashJobs];
        copies.resize(static_cast<std::size_t>(count * chunk));
        std::vector<const std::uint8_t*> pointers(count);
        for (std::size_t c = job - hashJobs; c < chunks; c += arithmeticJobs) {
          const std::uint64_t at = c * chunk;
          const auto length = static_cast<std::size_t>(std::min(chunk, stripeLength - at));
          for (std::size_t s = 0; s < count; ++s) {
            std::uint8_t* copy = copies.data() + s * chunk;
            std::memcpy(copy, buffer + s * slot + slotStripe + at, length);
            ToGfLayout(std::span(copy, length));
            pointers[s] = copy;
          }
          for (std::uint32_t r = 0; r < recoveryCount; ++r)
            GfMultiplyAccumulate(std::span(recovery + r * width + at, length), pointers,
                                 std::span(factors.data() + r * count, count));
        }
      });
      const TRecoveryInput* unread =
          b + 1 >= batches ? nullptr : readBatch(b + 1, buffers[(b + 1) % 2].get());
      jobs.Wait();
      if (unread)
        return unreadable(*unread);
      for (std::size_t s = 0; s < count; ++s) {
        const auto [source, k] = slices[slotSlice[s]];
        doneBytes +=
            pass == 0 ? std::min(sliceSize, sources[source].Length - k * sliceSize) : width;
      }
      if (settings.Progress && !settings.Progress(doneBytes, totalBytes))
        return Failure(TRecoveryOutcome::Cancelled);
    }
    // This stripe of every recovery slice is done: back to the words' order, hashed, written.
    const std::uint64_t dataEnd = std::min(stripeStart + stripeLength, sliceSize);
    if (stripeStart < sliceSize && recoveryCount > 0) {
      TWorkerJobs hashing((recoveryCount + 15) / 16, threads, [&](std::size_t job) {
        std::vector<TMd5Stream*> streams;
        std::vector<std::span<const std::uint8_t>> data;
        for (std::size_t r = job * 16; r < std::min<std::size_t>(recoveryCount, job * 16 + 16);
             ++r) {
          const std::span<std::uint8_t> stripe(recovery + r * width,
                                               static_cast<std::size_t>(stripeLength));
          FromGfLayout(stripe);
          streams.push_back(&recoveryHashes[r]);
          data.push_back(stripe.first(static_cast<std::size_t>(dataEnd - stripeStart)));
        }
        Md5UpdateLanes(streams, data);
      });
      hashing.Wait();
      for (std::uint32_t r = 0; r < recoveryCount; ++r) {
        const auto [volume, offset] = recoveryPlace[r];
        const std::string_view data(reinterpret_cast<const char*>(recovery + r * width),
                                    static_cast<std::size_t>(dataEnd - stripeStart));
        if (!set.WriteAt(volumeFiles[volume], offset + par2::HeaderBytes + 4 + stripeStart, data))
          return Failure(TRecoveryOutcome::NotStaged, volumePaths[volume], TWriteResult::Failed);
      }
    }
  }

  // The packets that describe the set, in the index and after each volume's slices.
  std::string described = Packet(setId, par2::MainType, mainBody);
  for (TSource& source : sources) {
    source.Description.Md5 = fileHashes[&source - sources.data()].Finish();
    described += Packet(setId, par2::FileDescriptionType, FileDescriptionBody(source.Description));
  }
  for (const TSource& source : sources)
    described += Packet(
        setId, par2::SliceChecksumType,
        SliceChecksumBody(source.Description.FileId,
                          std::span(checksums).subspan(source.FirstSlice, source.SliceCount)));
  described += Packet(setId, par2::CreatorType,
                      CreatorBody("Created by " + GetProductName() + " " + GetFileVersion() + "."));
  for (std::uint32_t r = 0; r < recoveryCount; ++r) {
    const auto [volume, offset] = recoveryPlace[r];
    if (!set.WriteAt(volumeFiles[volume], offset,
                     RecoverySliceHeader(setId, r, sliceSize, recoveryHashes[r].Finish())))
      return Failure(TRecoveryOutcome::NotStaged, volumePaths[volume], TWriteResult::Failed);
  }
  for (std::size_t v = 0; v < layout->Volumes.size(); ++v)
    if (!set.WriteAt(volumeFiles[v],
                     layout->Volumes[v].second * RecoverySlicePacketBytes(sliceSize), described))
      return Failure(TRecoveryOutcome::NotStaged, volumePaths[v], TWriteResult::Failed);
  // A file that changed while it was read would make a set that calls it damaged at once.
  if (const auto changed = ChangedInput(sources))
    return Failure(TRecoveryOutcome::Changed, *changed);
  const TWriteResult index = set.Add(indexPath, described, mode);
  if (index != TWriteResult::Written)
    return Failure(TRecoveryOutcome::NotStaged, indexPath, index);
  return result;
}

namespace {
// ".vol7+8" or ".vol07+08": a volume's part of its name.
bool IsVolumePart(std::string_view part) {
  if (!part.starts_with(".vol"))
    return false;
  part.remove_prefix(4);
  const std::size_t plus = part.find('+');
  const auto digits = [](std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  return plus != std::string_view::npos && digits(part.substr(0, plus)) &&
         digits(part.substr(plus + 1));
}
} // namespace

std::string RecoverySetBase(const std::string& par2Path) {
  std::string base = par2Path;
  if (base.ends_with(".par2"))
    base.resize(base.size() - 5);
  if (const std::size_t vol = base.rfind(".vol");
      vol != std::string::npos && IsVolumePart(std::string_view(base).substr(vol)))
    base.resize(vol);
  return base;
}

std::vector<std::string> RecoverySetFiles(const std::string& par2Path) {
  const std::string base = RecoverySetBase(par2Path);
  const std::string folder = FolderPart(base);
  const std::string name = FileNamePart(base);
  std::vector<std::string> files;
  if (const auto entries = ReadFolder(folder.empty() ? "." : folder))
    for (const TFolderEntry& entry : *entries) {
      const std::string_view rest =
          std::string_view(entry.Name).substr(std::min(entry.Name.size(), name.size()));
      if (!entry.IsFolder && entry.Name.starts_with(name) && rest.ends_with(".par2") &&
          (rest == ".par2" || IsVolumePart(rest.substr(0, rest.size() - 5))))
        files.push_back(folder + entry.Name);
    }
  std::sort(files.begin(), files.end());
  return files;
}

bool RecoveryFilesExist(const std::string& indexPath) {
  return !RecoverySetFiles(indexPath).empty();
}

std::string RecoveryProblem(const TRecoveryResult& result) {
  switch (result.Outcome) {
  case TRecoveryOutcome::Staged:
    return {};
  case TRecoveryOutcome::Cancelled:
    return "Making the recovery files was cancelled; nothing was saved";
  case TRecoveryOutcome::Unreadable:
    return "This file could not be read for the recovery files; nothing was saved";
  case TRecoveryOutcome::NoMemory:
    return "There is not enough memory to make the recovery files; nothing was saved";
  case TRecoveryOutcome::TooLarge:
    return "The album has more slices than a PAR2 set can hold (32,768); choose a larger block "
           "size; nothing was saved";
  case TRecoveryOutcome::UnsafeName:
    return "The name of this file holds a backslash, a line break or another control character, "
           "which PAR2 clients cannot find; nothing was saved";
  case TRecoveryOutcome::IsInput:
    return "The recovery files would be written over this file they protect; nothing was saved";
  case TRecoveryOutcome::Changed:
    return "This file changed while the recovery files were made from it; nothing was saved";
  case TRecoveryOutcome::NotStaged:
    return result.Write == TWriteResult::Exists
               ? "This recovery file exists already; it was kept, and nothing was saved"
               : "Can't open file for writing";
  }
  return {};
}
