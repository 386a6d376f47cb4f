// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/FlacCheckUnit.h"

#include "audio/FlacDecode.h"
#include "common/WorkerJobs.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

TAudioCheck CheckFlacAudio(const std::string& path,
                           const std::function<void(std::uint64_t)>& bytesRead,
                           const std::atomic<bool>* cancelled) {
  TAudioCheck check;
  // libFLAC hashes the samples itself; only their count is wanted here.
  const TFlacDecodeResult d = DecodeFlacFile(path, {bytesRead, {}, cancelled, true});
  if (!d.Opened || d.Stopped)
    return check; // Missing, or cancelled
  if (!d.Decoded || !d.Info) {
    check.Outcome = TAudioOutcome::Damaged;
    check.Reason = d.Info ? "the stream does not decode" : "not a FLAC stream";
  } else if (d.Stream.TotalSamples != 0 && d.Samples != d.Stream.TotalSamples) {
    check.Outcome = TAudioOutcome::Damaged;
    check.Reason = "the stream ends after " + std::to_string(d.Samples) + " of " +
                   std::to_string(d.Stream.TotalSamples) + " samples";
  } else if (!d.Stream.Md5Set && d.FrameErrors) {
    // Without a stored MD5 only the frames' own checksums tell damage.
    check.Outcome = TAudioOutcome::Damaged;
    check.Reason = "damaged frames decoded as silence";
  } else if (!d.Stream.Md5Set) {
    check.Outcome = TAudioOutcome::NotSet;
  } else if (!d.Md5Matches) {
    check.Outcome = TAudioOutcome::Mismatch;
    check.Reason = d.FrameErrors ? "damaged frames decoded as silence" : "the audio differs";
  } else {
    check.Outcome = TAudioOutcome::Ok;
  }
  return check;
}

void CheckFlacFiles(const std::vector<std::string>& paths,
                    const std::function<void(std::size_t, const TAudioCheck&)>& checked,
                    const std::function<void(std::uint64_t)>& progress,
                    const std::atomic<bool>* cancelled, unsigned threads) {
  if (threads == 0)
    threads = std::max(1u, std::thread::hardware_concurrency());
  threads =
      static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(1, paths.size())));
  std::atomic<std::uint64_t> done{0};
  std::mutex reporting; // the callers' callbacks hear one thread at a time
  TWorkerJobs jobs(paths.size(), threads, [&](std::size_t i) {
    const TAudioCheck check = CheckFlacAudio(
        paths[i],
        [&](std::uint64_t bytes) {
          const std::uint64_t total = done += bytes;
          if (progress) {
            const std::lock_guard lock(reporting);
            progress(total);
          }
        },
        cancelled);
    if (cancelled && cancelled->load())
      return; // a check cut short says nothing of the file
    const std::lock_guard lock(reporting);
    checked(i, check);
  });
  jobs.Wait();
}

std::string AudioCheckText(const TAudioCheck& check) {
  std::string text = AudioOutcomeWord(check.Outcome);
  if (!check.Reason.empty())
    text += " (" + check.Reason + ")";
  return text;
}

const char* AudioOutcomeWord(TAudioOutcome outcome) {
  switch (outcome) {
  case TAudioOutcome::Ok:
    return "OK";
  case TAudioOutcome::Mismatch:
    return "MISMATCH";
  case TAudioOutcome::Damaged:
    return "DAMAGED";
  case TAudioOutcome::NotSet:
    return "NOT SET";
  case TAudioOutcome::Missing:
    return "MISSING";
  }
  return "";
}
