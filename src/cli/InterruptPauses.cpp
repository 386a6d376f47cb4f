// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InterruptPauses.h"

#include <ctime>
#include <pthread.h>
#include <unistd.h>

TInterruptPauses::TInterruptPauses(std::atomic<bool>& cancelled) : Cancelled(cancelled) {
  // Started with SIGINT ignored (a shell's "&" in a script, nohup): it stays ignored.
  struct sigaction current {};
  if (::sigaction(SIGINT, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
    Done = true;
    return;
  }
  sigset_t interrupt;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  // Blocked here before any worker starts, so every thread of the run inherits it and the
  // watcher alone takes the signal.
  pthread_sigmask(SIG_BLOCK, &interrupt, &Previous);
  Watcher = std::thread([this, interrupt] {
    const timespec tick{0, 200'000'000};
    while (!Done.load()) {
      if (sigtimedwait(&interrupt, nullptr, &tick) != SIGINT)
        continue;
      if (Taken.exchange(true))
        _exit(130); // the second: the shell's status for an interrupted command
      Cancelled = true;
    }
  });
}

TInterruptPauses::~TInterruptPauses() {
  if (!Watcher.joinable())
    return; // SIGINT was ignored: nothing was changed
  Done = true;
  Watcher.join();
  pthread_sigmask(SIG_SETMASK, &Previous, nullptr);
}
