// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/FlacCheckUnit.h"

#include "common/FileUnit.h"
#include "common/WorkerJobs.h"

#include <FLAC/stream_decoder.h>
#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {
// What the decoder's callbacks learn about one file.
struct TDecoding {
  TReadOnlyFile* File = nullptr;
  std::int64_t Offset = 0;
  const std::function<void(std::uint64_t)>* BytesRead = nullptr;
  const std::atomic<bool>* Cancelled = nullptr;
  bool Stopped = false;
  bool Md5Set = false;
  bool Info = false;
  std::uint64_t TotalSamples = 0; // 0: not stated
  std::uint64_t Samples = 0;
  std::optional<FLAC__StreamDecoderErrorStatus> FirstError;
};

FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                   void* client) {
  auto& d = *static_cast<TDecoding*>(client);
  if (d.Cancelled && d.Cancelled->load()) {
    d.Stopped = true;
    return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
  }
  const auto got = d.File->ReadAt(d.Offset, std::span(buffer, *bytes));
  if (!got)
    return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
  *bytes = *got;
  d.Offset += static_cast<std::int64_t>(*got);
  if (d.BytesRead && *d.BytesRead)
    (*d.BytesRead)(*got);
  return *got == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                   : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                     const FLAC__int32* const[], void* client) {
  // libFLAC hashes the samples itself; only their count is wanted here.
  static_cast<TDecoding*>(client)->Samples += frame->header.blocksize;
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* client) {
  auto& d = *static_cast<TDecoding*>(client);
  if (block->type != FLAC__METADATA_TYPE_STREAMINFO)
    return;
  d.Info = true;
  d.TotalSamples = block->data.stream_info.total_samples;
  const auto& md5 = block->data.stream_info.md5sum;
  d.Md5Set = std::any_of(std::begin(md5), std::end(md5), [](FLAC__byte b) { return b != 0; });
}

void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* client) {
  auto& d = *static_cast<TDecoding*>(client);
  if (!d.FirstError)
    d.FirstError = status;
}

struct TDecoderDeleter {
  void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};
} // namespace

TAudioCheck CheckFlacAudio(const std::string& path,
                           const std::function<void(std::uint64_t)>& bytesRead,
                           const std::atomic<bool>* cancelled) {
  TAudioCheck check;
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return check; // Missing
  const std::unique_ptr<FLAC__StreamDecoder, TDecoderDeleter> decoder(FLAC__stream_decoder_new());
  if (!decoder) {
    check.Outcome = TAudioOutcome::Damaged;
    check.Reason = "no decoder";
    return check;
  }
  TDecoding d;
  d.File = &*file;
  d.BytesRead = &bytesRead;
  d.Cancelled = cancelled;
  FLAC__stream_decoder_set_md5_checking(decoder.get(), true);
  if (FLAC__stream_decoder_init_stream(decoder.get(), Read, nullptr, nullptr, nullptr, nullptr,
                                       Write, Metadata, Error,
                                       &d) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    check.Outcome = TAudioOutcome::Damaged;
    check.Reason = "no decoder";
    return check;
  }
  const bool decoded = FLAC__stream_decoder_process_until_end_of_stream(decoder.get()) != 0;
  const bool md5Matches = FLAC__stream_decoder_finish(decoder.get()) != 0;
  if (d.Stopped)
    return check; // Missing: cancelled
  if (!decoded || !d.Info) {
    check.Outcome = TAudioOutcome::Damaged;
    check.Reason = d.Info ? "the stream does not decode" : "not a FLAC stream";
  } else if (d.TotalSamples != 0 && d.Samples != d.TotalSamples) {
    check.Outcome = TAudioOutcome::Damaged;
    check.Reason = "the stream ends after " + std::to_string(d.Samples) + " of " +
                   std::to_string(d.TotalSamples) + " samples";
  } else if (!d.Md5Set && d.FirstError) {
    // Without a stored MD5 only the frames' own checksums tell damage.
    check.Outcome = TAudioOutcome::Damaged;
    check.Reason = "damaged frames decoded as silence";
  } else if (!d.Md5Set) {
    check.Outcome = TAudioOutcome::NotSet;
  } else if (!md5Matches) {
    check.Outcome = TAudioOutcome::Mismatch;
    check.Reason = d.FirstError ? "damaged frames decoded as silence" : "the audio differs";
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
