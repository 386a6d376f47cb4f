// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/ConnectionPool.h"

#include <algorithm>
#include <atomic>
#include <thread>

void PauseUnlessEnded(const std::function<bool()>& ended, std::chrono::milliseconds pause) {
  const TDeadline until = TClock::now() + pause;
  while (!ended() && TClock::now() < until)
    std::this_thread::sleep_for(
        std::min<TClock::duration>(std::chrono::milliseconds(20), until - TClock::now()));
}

namespace {
void Attempt(const TPostSettings& settings, TNntpClient& client, std::size_t item,
             const TConnectionJob& job, const TPoolHooks& hooks) {
  for (int attempt = 0;; ++attempt) {
    std::optional<TNntpFault> fault = client.Opened() ? std::nullopt : client.Open();
    if (!fault)
      fault = job(client, item);
    if (!fault)
      return;
    if (fault->Kind == TFaultKind::Lasting || attempt >= settings.Retries) {
      if (fault->Kind != TFaultKind::Lasting)
        fault->Message +=
            attempt == 0 ? " (tried once)" : " (tried " + std::to_string(attempt + 1) + " times)";
      hooks.Failed(*fault);
      return;
    }
    hooks.Retried();
    PauseUnlessEnded(hooks.Ended,
                     std::min<std::chrono::milliseconds>(
                         settings.Backoff * (1 << std::min(attempt, 5)), std::chrono::seconds(30)));
    if (hooks.Ended())
      return;
  }
}
} // namespace

void RunOnConnections(const TPostSettings& settings, const std::vector<std::size_t>& items,
                      const TConnectionJob& job, const TPoolHooks& hooks) {
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    TNntpClient client(settings.Server);
    for (std::size_t at; !hooks.Ended() && (at = next.fetch_add(1)) < items.size();)
      Attempt(settings, client, items[at], job, hooks);
    client.Close();
  };
  const std::size_t count =
      std::clamp<std::size_t>(static_cast<std::size_t>(std::max(settings.Connections, 1)), 1,
                              std::max<std::size_t>(items.size(), 1));
  std::vector<std::thread> threads;
  for (std::size_t i = 1; i < count; ++i)
    threads.emplace_back(worker);
  worker();
  for (std::thread& thread : threads)
    thread.join();
}
