// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ctrl+C while a long run goes on (a post) asks it to stop where it can continue later,
// through the run's own cancel flag; a second Ctrl+C ends the tool at once, as before.
// The signal is taken by a thread of its own (sigtimedwait), so no handler and no global
// flag are needed.
#include <atomic>
#include <csignal>
#include <thread>

class TInterruptPauses {
public:
  explicit TInterruptPauses(std::atomic<bool>& cancelled);
  ~TInterruptPauses();
  TInterruptPauses(const TInterruptPauses&) = delete;
  TInterruptPauses& operator=(const TInterruptPauses&) = delete;

  // Ctrl+C came: the run was asked to stop.
  bool Interrupted() const { return Taken.load(); }

private:
  std::atomic<bool>& Cancelled;
  std::atomic<bool> Taken{false}, Done{false};
  sigset_t Previous{};
  std::thread Watcher;
};
