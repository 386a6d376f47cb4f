// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// FLAC's own audio check: a FLAC stream stores the MD5 of its decoded audio; decoding the
// file (with libFLAC) and comparing tells a sound file from one whose audio changed, one
// that does not decode, and one whose MD5 was never set.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class TAudioOutcome { Ok, Mismatch, Damaged, NotSet, Missing };

struct TAudioCheck {
  TAudioOutcome Outcome = TAudioOutcome::Missing;
  std::string Reason; // what was wrong, for DAMAGED and MISMATCH
};

// bytesRead hears of each read; a cancelled check ends early as Missing.
TAudioCheck CheckFlacAudio(const std::string& path,
                           const std::function<void(std::uint64_t)>& bytesRead = {},
                           const std::atomic<bool>* cancelled = nullptr);

// Checks the files on worker threads (0: one a processor); checked hears each result with
// its index, on the worker's thread; progress the bytes read by all so far.
void CheckFlacFiles(const std::vector<std::string>& paths,
                    const std::function<void(std::size_t, const TAudioCheck&)>& checked,
                    const std::function<void(std::uint64_t)>& progress = {},
                    const std::atomic<bool>* cancelled = nullptr, unsigned threads = 0);

// "OK", "MISMATCH", "DAMAGED", "NOT SET" or "MISSING".
const char* AudioOutcomeWord(TAudioOutcome outcome);
// "MISMATCH (the audio differs)": the word and the reason, as check prints each file.
std::string AudioCheckText(const TAudioCheck& check);
