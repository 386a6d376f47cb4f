// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/NzbDelivery.h"

#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "posting/Transport.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
constexpr std::size_t OutputKept = 16 * 1024;

// The copy: written create-only, unless the same bytes are there already or the user let
// it replace.
void CopyNzb(const std::string& nzbPath, const TNzbDelivery& delivery, TDeliveryResult& result) {
  std::string folder = delivery.CopyFolder;
  if (!folder.ends_with('/'))
    folder += '/';
  const std::string target = folder + FileNamePart(nzbPath);
  const auto bytes = ReadFileBytes(nzbPath);
  if (!bytes) {
    result.CopyProblem = TProblem{"The .nzb could not be read to copy it", nzbPath};
    return;
  }
  if (!IsFolder(delivery.CopyFolder)) {
    result.CopyProblem =
        TProblem{"The folder for the NZB's copy is not there", delivery.CopyFolder};
    return;
  }
  if (FileExists(target) && ReadFileBytes(target) == bytes) {
    result.CopyPath = target;
    return;
  }
  switch (WriteFile(target, *bytes,
                    delivery.ReplaceCopy ? TWriteMode::Replace : TWriteMode::CreateOnly)) {
  case TWriteResult::Written:
    result.CopyPath = target;
    return;
  case TWriteResult::Exists:
    result.CopyProblem =
        TProblem{"Another file of the NZB's name is in the copy's folder; it was kept, and no "
                 "copy written (--force replaces it)",
                 target};
    return;
  default:
    result.CopyProblem = TProblem{"The NZB's copy could not be written", target};
  }
}

// The environment without the password the command line reads.
std::vector<char*> ChildEnvironment() {
  std::vector<char*> kept;
  for (char** entry = environ; entry && *entry; ++entry)
    if (std::strncmp(*entry, "TAMBERLON_NNTP_PASSWORD=", 24) != 0)
      kept.push_back(*entry);
  kept.push_back(nullptr);
  return kept;
}

// Its output read until it closes or the deadline passes; false when the time ran out.
bool ReadUntilClosed(int reader, TDeadline deadline, std::string& output) {
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
    if (left.count() <= 0)
      return false;
    pollfd watched{reader, POLLIN, 0};
    const int ready =
        ::poll(&watched, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR)
      return true;
    if (ready <= 0)
      continue;
    const ssize_t got = ::read(reader, buffer, sizeof buffer);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
      return true;
    if (got > 0) {
      output.append(buffer, static_cast<std::size_t>(got));
      if (output.size() > 2 * OutputKept)
        output.erase(0, output.size() - OutputKept);
    }
  }
}

// Waits for the child until the deadline; kills it past it.
void Reap(pid_t child, TDeadline deadline, TCommandRun& run) {
  int status = 0;
  for (;;) {
    const pid_t ended = ::waitpid(child, &status, WNOHANG);
    if (ended == child)
      break;
    if (ended < 0 && errno != EINTR)
      return;
    if (TClock::now() >= deadline) {
      run.TimedOut = true;
      ::kill(child, SIGKILL);
      while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    ::usleep(20000);
  }
  if (WIFEXITED(status))
    run.Status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    run.Signal = WTERMSIG(status);
}
} // namespace

std::vector<std::string> CommandWords(std::string_view command) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (std::size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (quote) {
      if (c == quote)
        quote = 0;
      else if (c == '\\' && quote == '"' && i + 1 < command.size())
        word += command[++i];
      else
        word += c;
    } else if (c == ' ' || c == '\t') {
      if (inWord)
        words.push_back(std::move(word));
      word.clear();
      inWord = false;
      continue;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '\\' && i + 1 < command.size()) {
      word += command[++i];
    } else {
      word += c;
    }
    inWord = true;
  }
  if (inWord)
    words.push_back(std::move(word));
  return words;
}

TCommandRun RunCommand(const std::vector<std::string>& words, std::chrono::milliseconds timeout) {
  TCommandRun run;
  run.Allowed = timeout;
  if (words.empty())
    return run;
  int said[2];
  if (::pipe2(said, O_CLOEXEC) != 0)
    return run;
  std::vector<std::string> copies = words;
  std::vector<char*> arguments;
  for (std::string& word : copies)
    arguments.push_back(word.data());
  arguments.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, said[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, said[1], STDERR_FILENO);
  std::vector<char*> environment = ChildEnvironment();
  pid_t child = 0;
  const int started =
      ::posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environment.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(said[1]);
  if (started != 0) {
    ::close(said[0]);
    return run;
  }
  run.Started = true;
  const TDeadline deadline = TClock::now() + timeout;
  ReadUntilClosed(said[0], deadline, run.Output);
  ::close(said[0]);
  Reap(child, deadline, run);
  if (run.Output.size() > OutputKept)
    run.Output.erase(0, run.Output.size() - OutputKept);
  return run;
}

std::string CommandRunText(const TCommandRun& run) {
  if (!run.Started)
    return "could not be started";
  if (run.TimedOut)
    return "did not end within " +
           std::to_string(std::chrono::duration_cast<std::chrono::seconds>(run.Allowed).count()) +
           " s and was stopped";
  if (run.Signal != 0)
    return "was killed by signal " + std::to_string(run.Signal);
  return "exited with status " + std::to_string(run.Status);
}

TDeliveryResult DeliverNzb(const std::string& nzbPath, const TNzbDelivery& delivery) {
  TDeliveryResult result;
  if (!delivery.CopyFolder.empty())
    CopyNzb(nzbPath, delivery, result);
  if (!delivery.Command.empty()) {
    std::vector<std::string> words = CommandWords(delivery.Command);
    words.push_back(nzbPath);
    result.Command = RunCommand(words, delivery.Timeout);
  }
  return result;
}
