// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a finished post's NZB goes besides its own place: a copy into a folder of the
// user's, and a command run with the NZB's path (an indexer's upload script). Only a post
// whose every article the server holds gets either.
#include "common/Problem.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TNzbDelivery {
  std::string CopyFolder;   // empty: no copy
  bool ReplaceCopy = false; // a file of the copy's name there may be replaced
  // The program and its words, split as CommandWords splits them; the NZB's path is added
  // as the last word. Never given to a shell.
  std::string Command;
  std::chrono::milliseconds Timeout{std::chrono::minutes(5)};
  bool Wanted() const { return !CopyFolder.empty() || !Command.empty(); }
};

struct TCommandRun {
  bool Started = false;
  bool TimedOut = false;                // ended by the program when its time was up
  int Status = -1;                      // its exit status, when it exited
  int Signal = 0;                       // the signal that ended it, when one did
  std::string Output;                   // what it wrote (standard output and error), its last 16 KB
  std::chrono::milliseconds Allowed{0}; // its time
  bool Succeeded() const { return Started && !TimedOut && Signal == 0 && Status == 0; }
};

struct TDeliveryResult {
  std::string CopyPath; // the copy, written or found there with the same bytes
  std::optional<TProblem> CopyProblem;
  std::optional<TCommandRun> Command; // when one was to run
  bool Succeeded() const { return !CopyProblem && (!Command || Command->Succeeded()); }
};

TDeliveryResult DeliverNzb(const std::string& nzbPath, const TNzbDelivery& delivery);

// A command's words: split at blanks, "double" or 'single' quotes keeping blanks in a word,
// a backslash keeping the next character as it is; nothing else is interpreted (no
// variables, no patterns, no redirections).
std::vector<std::string> CommandWords(std::string_view command);

// Runs the program (found through PATH) with the words, its input empty, and waits for it
// at most the timeout, then kills it. The child gets the environment without the news
// server's password.
TCommandRun RunCommand(const std::vector<std::string>& words, std::chrono::milliseconds timeout);

// "exited with status 0", "was killed by signal 9", "did not end within 300 s and was
// stopped", "could not be started".
std::string CommandRunText(const TCommandRun& run);
