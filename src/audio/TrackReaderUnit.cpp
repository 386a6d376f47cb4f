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
  bool Ready = false;
};

std::uint64_t SizeOf(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)
             ? static_cast<std::uint64_t>(status.st_size)
             : 0;
}
} // namespace

std::size_t ReadTracks(const std::vector<std::string>& paths, bool withChecksum,
                       const TTrackReaderCallbacks& callbacks, unsigned threads) {
  const std::size_t count = paths.size();
  if (threads == 0)
    threads = std::max(2u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(count, 1)));

  TReadProgress progress;
  progress.FilesTotal = count;
  if (withChecksum)
    for (const std::string& path : paths)
      progress.BytesTotal += SizeOf(path);

  std::vector<TSlot> slots(count);
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  std::atomic<std::uint64_t> bytesDone{0};
  std::atomic<bool> cancelled{false};

  auto work = [&] {
    for (;;) {
      const std::size_t index = next.fetch_add(1);
      if (index >= count || cancelled.load())
        return;
      std::vector<TErrorCode> errors;
      TTrackReading reading;
      reading.Errors = &errors;
      reading.BytesRead = [&bytesDone](std::uint64_t bytes) {
        bytesDone += bytes;
      };
      reading.Cancelled = &cancelled;
      auto record = MakeTrackInfo(paths[index], withChecksum, reading);
      {
        const std::lock_guard lock(mutex);
        slots[index] = {std::move(record), std::move(errors), true};
      }
      finished.notify_one();
    }
  };
  std::vector<std::jthread> workers;
  for (unsigned i = 0; i < threads; ++i)
    workers.emplace_back(work);

  auto idle = [&] {
    progress.BytesDone = bytesDone.load();
    if (callbacks.Idle && !callbacks.Idle(progress))
      cancelled = true;
    return !cancelled.load();
  };

  std::size_t delivered = 0;
  while (delivered < count && !cancelled.load()) {
    TSlot slot;
    {
      std::unique_lock lock(mutex);
      if (!finished.wait_for(lock, std::chrono::milliseconds(30),
                             [&] { return slots[delivered].Ready; })) {
        lock.unlock();
        idle();
        continue;
      }
      slot = std::move(slots[delivered]);
    }
    for (TErrorCode error : slot.Errors)
      ShowError(error, paths[delivered]);
    if (callbacks.Deliver)
      callbacks.Deliver(delivered, std::move(slot.Record));
    progress.FilesDone = ++delivered;
    idle();
  }
  cancelled = true; // the workers stop taking files
  return delivered;
}
