// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/ConnectionPool.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

void PauseUnlessEnded(const std::function<bool()>& ended, std::chrono::milliseconds pause) {
  const TDeadline until = TClock::now() + pause;
  while (!ended() && TClock::now() < until)
    std::this_thread::sleep_for(
        std::min<TClock::duration>(std::chrono::milliseconds(20), until - TClock::now()));
}

namespace {
// The items not yet done: those a server is best at in its own line, the rest shared. A
// connection waits while items are out on other connections, since a server left may
// hand its items back.
class TWorkQueue {
public:
  TWorkQueue(const std::vector<TPoolServer>& servers, const std::vector<std::size_t>& items,
             const std::function<std::optional<std::size_t>(std::size_t)>& prefer)
      : Own(servers.size()), Gone(servers.size(), false) {
    for (const std::size_t item : items) {
      const auto best = prefer ? prefer(item) : std::nullopt;
      const auto at = std::find_if(servers.begin(), servers.end(),
                                   [&](const TPoolServer& s) { return best && s.Id == *best; });
      (at == servers.end() ? Shared : Own[static_cast<std::size_t>(at - servers.begin())])
          .push_back(item);
    }
  }
  // The next item for a connection of the server; nothing once it is all done, the run
  // ended, or the server left.
  std::optional<std::size_t> Take(std::size_t server, const std::function<bool()>& ended) {
    std::unique_lock guard(Lock);
    for (;;) {
      if (Gone[server] || ended())
        return std::nullopt;
      std::deque<std::size_t>& line = !Own[server].empty() ? Own[server] : Shared;
      if (!line.empty()) {
        const std::size_t item = line.front();
        line.pop_front();
        ++Out;
        return item;
      }
      if (Out == 0)
        return std::nullopt;
      Changed.wait_for(guard, std::chrono::milliseconds(20)); // ended() is polled
    }
  }
  void Done() {
    std::lock_guard guard(Lock);
    --Out;
    Changed.notify_all();
  }
  void GiveBack(std::size_t item) {
    std::lock_guard guard(Lock);
    --Out;
    Shared.push_front(item);
    Changed.notify_all();
  }
  void Leave(std::size_t server) {
    std::lock_guard guard(Lock);
    Gone[server] = true;
    Shared.insert(Shared.end(), Own[server].begin(), Own[server].end());
    Own[server].clear();
    Changed.notify_all();
  }
  bool Left(std::size_t server) {
    std::lock_guard guard(Lock);
    return Gone[server];
  }

private:
  std::mutex Lock;
  std::condition_variable Changed;
  std::deque<std::size_t> Shared;
  std::vector<std::deque<std::size_t>> Own;
  std::vector<bool> Gone;
  std::size_t Out = 0; // taken and not yet done or given back
};

enum class TAttempt { Done, Failed, Left, Ended };

TAttempt Attempt(const TPostSettings& settings, TNntpClient& client, const TPoolServer& server,
                 std::size_t item, const TServerJob& job, const TServerHooks& hooks,
                 const std::function<bool()>& ended) {
  for (int attempt = 0;; ++attempt) {
    std::optional<TNntpFault> fault = client.Opened() ? std::nullopt : client.Open();
    if (!fault)
      fault = job(client, server.Id, item);
    if (!fault)
      return TAttempt::Done;
    if (fault->Kind == TFaultKind::Lasting || attempt >= settings.Retries) {
      if (fault->Kind != TFaultKind::Lasting)
        fault->Message +=
            attempt == 0 ? " (tried once)" : " (tried " + std::to_string(attempt + 1) + " times)";
      return hooks.Failed(server.Id, *fault) ? TAttempt::Left : TAttempt::Failed;
    }
    hooks.Retried();
    PauseUnlessEnded(
        ended, std::min<std::chrono::milliseconds>(settings.Backoff * (1 << std::min(attempt, 5)),
                                                   std::chrono::seconds(30)));
    if (ended())
      return TAttempt::Ended;
  }
}
} // namespace

void RunOnServers(const std::vector<TPoolServer>& servers, const TPostSettings& settings,
                  const std::vector<std::size_t>& items, const TServerJob& job,
                  const TServerHooks& hooks) {
  TWorkQueue queue(servers, items, hooks.Prefer);
  auto worker = [&](std::size_t at) {
    const TPoolServer& server = servers[at];
    const auto ended = [&] {
      return hooks.Ended() || queue.Left(at);
    };
    TNntpClient client(*server.Profile);
    while (const auto item = queue.Take(at, hooks.Ended)) {
      const TAttempt attempt = Attempt(settings, client, server, *item, job, hooks, ended);
      if (attempt == TAttempt::Left)
        queue.Leave(at);
      if (attempt == TAttempt::Left || (attempt == TAttempt::Ended && !hooks.Ended()))
        queue.GiveBack(*item); // another server's connection takes it
      else
        queue.Done();
    }
    client.Close();
  };
  // A thread a connection, and no more of them in all than a machine bears, however long
  // the list of servers.
  constexpr std::size_t MostConnections = 256;
  std::vector<std::thread> threads;
  for (std::size_t at = 0; at < servers.size() && threads.size() < MostConnections; ++at) {
    const std::size_t count =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(servers[at].Connections, 1)), 1,
                                std::max<std::size_t>(items.size(), 1));
    for (std::size_t i = 0; i < count && threads.size() < MostConnections; ++i)
      threads.emplace_back(worker, at);
  }
  for (std::thread& thread : threads)
    thread.join();
}

void RunOnConnections(const TPostSettings& settings, const std::vector<std::size_t>& items,
                      const TConnectionJob& job, const TPoolHooks& hooks) {
  RunOnServers(
      {{0, &settings.Server, settings.Connections}}, settings, items,
      [&job](TNntpClient& client, std::size_t, std::size_t item) { return job(client, item); },
      {hooks.Ended,
       [&hooks](std::size_t, const TNntpFault& fault) {
         hooks.Failed(fault);
         return false;
       },
       hooks.Retried});
}
