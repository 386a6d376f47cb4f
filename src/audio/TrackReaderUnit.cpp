// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/TrackReaderUnit.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <thread>

double TReadProgress::Fraction() const {
  if (BytesTotal > 0)
    return std::min(1.0, static_cast<double>(BytesDone) / static_cast<double>(BytesTotal));
  return FilesTotal > 0 ? static_cast<double>(FilesDone) / static_cast<double>(FilesTotal) : 1.0;
}

namespace {
struct TSlot {
  std::unique_ptr<TTrackInfo> Record;
  std::vector<TErrorCode> Errors;
  std::atomic<bool> Ready{false}; // set after Record and Errors, by the thread that read them
};

std::uint64_t SizeOf(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)
             ? static_cast<std::uint64_t>(status.st_size)
             : 0;
}

// What the reading threads and the calling thread share.
struct TSharedReading {
  TSharedReading(const std::vector<std::string>& paths, bool withChecksum)
      : Paths(paths), WithChecksum(withChecksum), Slots(std::make_unique<TSlot[]>(paths.size())) {}

  const std::vector<std::string>& Paths;
  bool WithChecksum;
  std::unique_ptr<TSlot[]> Slots;
  std::atomic<std::size_t> Next{0};
  std::atomic<std::uint64_t> BytesDone{0};
  std::atomic<bool> Cancelled{false};
  // The calling thread sleeps only when it has nothing to deliver and nothing to read;
  // a reader wakes it only then, which keeps a system call off every record.
  std::atomic<bool> CallerWaiting{false};
  std::mutex Mutex;
  std::condition_variable Finished;

  // Reads the next file not taken yet into its slot; false when none is left.
  bool ReadNext() {
    const std::size_t index = Next.fetch_add(1);
    if (index >= Paths.size() || Cancelled.load())
      return false;
    TSlot& slot = Slots[index];
    TTrackReading reading;
    reading.Errors = &slot.Errors;
    reading.BytesRead = [this](std::uint64_t bytes) {
      BytesDone += bytes;
    };
    reading.Cancelled = &Cancelled;
    slot.Record = MakeTrackInfo(Paths[index], WithChecksum, reading);
    slot.Ready.store(true);
    if (CallerWaiting.load()) {
      const std::lock_guard lock(Mutex);
      Finished.notify_one();
    }
    return true;
  }

  // Waits up to 30 ms for the slot; true when it is ready.
  bool WaitFor(const TSlot& slot) {
    std::unique_lock lock(Mutex);
    CallerWaiting.store(true);
    const bool ready =
        Finished.wait_for(lock, std::chrono::milliseconds(30), [&] { return slot.Ready.load(); });
    CallerWaiting.store(false);
    return ready;
  }
};
} // namespace

std::size_t ReadTracks(const std::vector<std::string>& paths, bool withChecksum,
                       const TTrackReaderCallbacks& callbacks, unsigned threads) {
  const std::size_t count = paths.size();
  if (threads == 0)
    threads = std::max(2u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(count, 1)));
  // Without an idle callback nothing waits on the calling thread: it reads files as well
  // as the workers.
  const bool callerReads = !callbacks.Idle;

  TReadProgress progress;
  progress.FilesTotal = count;
  if (withChecksum)
    for (const std::string& path : paths)
      progress.BytesTotal += SizeOf(path);

  TSharedReading shared(paths, withChecksum);
  std::vector<std::jthread> workers;
  for (unsigned i = 0; i < threads; ++i)
    workers.emplace_back([&shared] {
      while (shared.ReadNext()) {
      }
    });

  auto idle = [&] {
    progress.BytesDone = shared.BytesDone.load();
    if (callbacks.Idle && !callbacks.Idle(progress))
      shared.Cancelled = true;
    return !shared.Cancelled.load();
  };

  std::size_t delivered = 0;
  while (delivered < count && !shared.Cancelled.load()) {
    TSlot& slot = shared.Slots[delivered];
    if (!slot.Ready.load()) {
      if (callerReads && shared.ReadNext())
        continue;
      if (!shared.WaitFor(slot)) {
        idle();
        continue;
      }
    }
    if (callbacks.Problem)
      for (TErrorCode error : slot.Errors)
        callbacks.Problem(delivered, error);
    if (callbacks.Deliver)
      callbacks.Deliver(delivered, std::move(slot.Record));
    progress.FilesDone = ++delivered;
    idle();
  }
  shared.Cancelled = true; // the workers stop taking files
  return delivered;
}
