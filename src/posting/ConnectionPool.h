// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Work spread over several connections to one server, each on its own thread: every item
// tried until it passes, a fault that a fresh connection may cure retried after a growing
// pause, and the first lasting one (or the last try) ending the run.
#include "posting/Poster.h"

#include <functional>
#include <vector>

using TConnectionJob = std::function<std::optional<TNntpFault>(TNntpClient&, std::size_t item)>;

struct TPoolHooks {
  std::function<bool()> Ended;                   // stop taking items (cancelled, failed)
  std::function<void(const TNntpFault&)> Failed; // an item that could not be done
  std::function<void()> Retried;                 // an item about to be tried again
};

// Runs the job for each item on up to the settings' connections.
void RunOnConnections(const TPostSettings& settings, const std::vector<std::size_t>& items,
                      const TConnectionJob& job, const TPoolHooks& hooks);

// Waits, waking early when the run ends.
void PauseUnlessEnded(const std::function<bool()>& ended, std::chrono::milliseconds pause);
