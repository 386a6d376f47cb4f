// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/SfvCheckUnit.h"

#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"
#include "common/TextListUnit.h"
#include "common/TextUnit.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {
// Longer than any path the system accepts; a longer line is no entry.
constexpr std::size_t MaxSfvLine = PATH_MAX + 16;
} // namespace

TSfvLine ParseSfvLine(std::string_view text) {
  const std::string_view line = TrimControlRight(text);
  if (line.empty() || line.front() == ';')
    return {};
  if (line.find('\0') != std::string_view::npos) // no name or checksum holds one
    return {TSfvLineKind::Malformed, {}};
  const std::size_t space = line.find_last_of(" \t"); // rhash and cksfv take a tab too
  const std::string_view digits =
      space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
  std::uint32_t checksum = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), checksum, 16);
  if (space == 0 || digits.size() != 8 || error != std::errc() ||
      end != digits.data() + digits.size())
    return {TSfvLineKind::Malformed, {}};
  // Lists made on Windows separate folders with "\", as rhash reads them.
  std::string name(line.substr(0, space));
  std::replace(name.begin(), name.end(), '\\', '/');
  return {TSfvLineKind::Entry, {std::move(name), checksum}};
}

bool ForEachSfvLine(const std::string& path,
                    const std::function<void(std::size_t number, const TSfvLine& line)>& visit) {
  std::size_t number = 0;
  return ForEachTextLine(path, MaxSfvLine, [&](std::string_view line, bool whole) {
    ++number;
    if (number == 1 && line.starts_with("\xEF\xBB\xBF")) // a byte-order mark names no file
      line.remove_prefix(3);
    visit(number, whole ? ParseSfvLine(line) : TSfvLine{TSfvLineKind::Malformed, {}});
  });
}

TSfvCheck CheckSfvFile(const TSfvEntry& entry, const std::string& folder,
                       const std::function<void(std::uint64_t)>& bytesRead,
                       const std::atomic<bool>* cancelled) {
  TSfvCheck check;
  bool unsafe = false;
  const auto target = FileInsideFolder(entry.Name, folder, unsafe);
  if (!target) {
    check.Outcome = unsafe ? TSfvOutcome::Unsafe : TSfvOutcome::Missing;
    return check;
  }
  check.Computed = FileCRC32(*target, bytesRead, cancelled);
  check.Outcome = !check.Computed                     ? TSfvOutcome::Missing
                  : *check.Computed == entry.Checksum ? TSfvOutcome::Ok
                                                      : TSfvOutcome::Mismatch;
  return check;
}

TSfvOutcome CheckSfvEntry(const TSfvEntry& entry, const std::string& folder) {
  return CheckSfvFile(entry, folder).Outcome;
}

bool VerifySfv(const std::string& sfvPath, const TSfvVerifyCallbacks& callbacks,
               const std::atomic<bool>& cancelled, unsigned threads) {
  std::vector<TSfvEntry> entries;
  std::size_t malformed = 0;
  if (!ForEachSfvLine(sfvPath, [&](std::size_t, const TSfvLine& line) {
        if (line.Kind == TSfvLineKind::Entry)
          entries.push_back(line.Entry);
        malformed += line.Kind == TSfvLineKind::Malformed;
      }))
    return false;
  const std::string folder = sfvPath.substr(0, sfvPath.rfind('/') + 1);
  std::uint64_t bytes = 0;
  for (const TSfvEntry& entry : entries) {
    bool unsafe = false;
    std::error_code error;
    if (const auto target = FileInsideFolder(entry.Name, folder, unsafe))
      bytes += std::filesystem::file_size(*target, error);
  }
  if (callbacks.Listed)
    callbacks.Listed(entries, bytes, malformed);

  // Workers check the files; this thread hands the results on in the .sfv's order.
  std::vector<std::optional<TSfvCheck>> slots(entries.size());
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  std::atomic<std::uint64_t> done{0};
  auto work = [&] {
    for (std::size_t index = next++; index < entries.size() && !cancelled; index = next++) {
      TSfvCheck check = CheckSfvFile(
          entries[index], folder, [&done](std::uint64_t read) { done += read; }, &cancelled);
      if (cancelled)
        return; // a check cut short says nothing of the file
      const std::lock_guard lock(mutex);
      slots[index] = check;
      finished.notify_one();
    }
  };
  if (threads == 0)
    threads = std::max(2u, std::thread::hardware_concurrency());
  std::vector<std::jthread> workers;
  for (unsigned i = 0; i < threads; ++i)
    workers.emplace_back(work);
  for (std::size_t delivered = 0; delivered < entries.size() && !cancelled;) {
    std::optional<TSfvCheck> check;
    {
      std::unique_lock lock(mutex);
      finished.wait_for(lock, std::chrono::milliseconds(30),
                        [&] { return slots[delivered].has_value(); });
      check = slots[delivered];
    }
    if (callbacks.Progress)
      callbacks.Progress(done.load());
    if (check && callbacks.Checked)
      callbacks.Checked(delivered, *check);
    delivered += check.has_value();
  }
  return true;
}

const char* SfvOutcomeWord(TSfvOutcome outcome) {
  switch (outcome) {
  case TSfvOutcome::Ok:
    return "OK";
  case TSfvOutcome::Mismatch:
    return "FAILED";
  case TSfvOutcome::Missing:
    return "MISSING";
  case TSfvOutcome::Unsafe:
    return "UNSAFE";
  }
  return "FAILED";
}

std::string SfvCheckSummary(const std::array<std::size_t, 4>& counts, std::size_t malformedLines,
                            bool cancelled) {
  const std::size_t ok = counts[static_cast<std::size_t>(TSfvOutcome::Ok)];
  const std::size_t bad = counts[1] + counts[2] + counts[3] + malformedLines;
  std::string text = CheckTotalsText(ok, bad);
  std::string details;
  const auto add = [&](std::size_t count, const std::string& what) {
    if (count > 0)
      details += (details.empty() ? "" : ", ") + std::to_string(count) + " " + what;
  };
  add(counts[static_cast<std::size_t>(TSfvOutcome::Mismatch)], "failed");
  add(counts[static_cast<std::size_t>(TSfvOutcome::Missing)], "missing");
  add(counts[static_cast<std::size_t>(TSfvOutcome::Unsafe)], "unsafe");
  add(malformedLines, malformedLines == 1 ? "not an SFV line" : "not SFV lines");
  if (!details.empty())
    text += " (" + details + ")";
  if (cancelled)
    text += " (cancelled)";
  return text;
}
