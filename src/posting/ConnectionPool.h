// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Work spread over the connections of one or several servers, each connection on its own
// thread: every item tried until it passes, a fault that a fresh connection may cure
// retried after a growing pause. A server's lasting fault (or an item's last try) either
// ends the run or leaves that server, whose items the other servers' connections take.
#include "posting/Poster.h"

#include <functional>
#include <vector>

using TConnectionJob = std::function<std::optional<TNntpFault>(TNntpClient&, std::size_t item)>;

struct TPoolHooks {
  std::function<bool()> Ended;                   // stop taking items (cancelled, failed)
  std::function<void(const TNntpFault&)> Failed; // an item that could not be done
  std::function<void()> Retried;                 // an item about to be tried again
};

// Runs the job for each item on up to the settings' connections to its one server.
void RunOnConnections(const TPostSettings& settings, const std::vector<std::size_t>& items,
                      const TConnectionJob& job, const TPoolHooks& hooks);

// One server of a run over several: Id is the caller's name for it, told to the job and
// the hooks.
struct TPoolServer {
  std::size_t Id = 0;
  const TServerProfile* Profile = nullptr;
  int Connections = 1;
};

using TServerJob =
    std::function<std::optional<TNntpFault>(TNntpClient&, std::size_t server, std::size_t item)>;

struct TServerHooks {
  std::function<bool()> Ended;
  // A server's fault that trying again did not cure: true leaves that server (its items go
  // to the others), false ends the run.
  std::function<bool(std::size_t server, const TNntpFault&)> Failed;
  std::function<void()> Retried;
  // The server an item is best done on (the one that took the article), if any.
  std::function<std::optional<std::size_t>(std::size_t item)> Prefer = {};
};

// Runs the job for each item on the servers' connections, each connection taking the next
// item as it is free, so a faster server does more.
void RunOnServers(const std::vector<TPoolServer>& servers, const TPostSettings& settings,
                  const std::vector<std::size_t>& items, const TServerJob& job,
                  const TServerHooks& hooks);

// Waits, waking early when the run ends.
void PauseUnlessEnded(const std::function<bool()>& ended, std::chrono::milliseconds pause);
