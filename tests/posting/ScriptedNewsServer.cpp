// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/ScriptedNewsServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

void TServerConnection::Send(const std::string& text) {
  std::string_view rest = text;
  while (!rest.empty()) {
    const ssize_t n = send(Descriptor, rest.data(), rest.size(), MSG_NOSIGNAL);
    if (n <= 0)
      return;
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::optional<std::string> TServerConnection::ReadLine() {
  for (;;) {
    if (const std::size_t end = Pending.find("\r\n"); end != std::string::npos) {
      std::string line = Pending.substr(0, end);
      Pending.erase(0, end + 2);
      return line;
    }
    char buffer[65536];
    const ssize_t n = recv(Descriptor, buffer, sizeof buffer, 0);
    if (n <= 0)
      return std::nullopt;
    Pending.append(buffer, static_cast<std::size_t>(n));
  }
}

std::optional<std::string> TServerConnection::ReadArticle() {
  std::string article;
  for (;;) {
    auto line = ReadLine();
    if (!line)
      return std::nullopt;
    if (*line == ".")
      return article;
    article += (line->starts_with("..") ? line->substr(1) : *line) + "\r\n";
  }
}

TScriptedNewsServer::TScriptedNewsServer(THandler handler) : Handler(std::move(handler)) {
  Listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(Listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(Listener, 16);
  socklen_t length = sizeof address;
  getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &length);
  ListenPort = ntohs(address.sin_port);
  Acceptor = std::thread([this] { AcceptLoop(); });
}

TScriptedNewsServer::~TScriptedNewsServer() {
  Stopping = true;
  Acceptor.join();
  {
    std::lock_guard guard(Lock);
    for (const int descriptor : Descriptors)
      shutdown(descriptor, SHUT_RDWR); // a handler waiting for the client wakes
  }
  for (std::thread& thread : Threads)
    thread.join();
  for (const int descriptor : Descriptors)
    close(descriptor);
  close(Listener);
}

void TScriptedNewsServer::AcceptLoop() {
  while (!Stopping) {
    pollfd entry{Listener, POLLIN, 0};
    if (poll(&entry, 1, 20) <= 0)
      continue;
    const int descriptor = accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (descriptor < 0)
      continue;
    const int index = Connections++;
    std::lock_guard guard(Lock);
    Descriptors.push_back(descriptor);
    Threads.emplace_back([this, descriptor, index] {
      TServerConnection connection(descriptor);
      Handler(connection, index);
      shutdown(descriptor, SHUT_RDWR);
    });
  }
}

void TScriptedNewsServer::Serve(
    TServerConnection& connection, int index,
    const std::function<std::optional<std::string>(int, const std::string&)>& take) {
  connection.Send("200 scripted server ready (posting ok)\r\n");
  while (auto line = connection.ReadLine()) {
    const std::string command = line->substr(0, line->find(' '));
    const std::string argument =
        line->size() > command.size() ? line->substr(command.size() + 1) : "";
    if (command == "QUIT") {
      connection.Send("205 bye\r\n");
      return;
    } else if (command == "CAPABILITIES") {
      connection.Send("101 list\r\nVERSION 2\r\nREADER\r\nPOST\r\nAUTHINFO USER\r\n.\r\n");
    } else if (command == "AUTHINFO") {
      connection.Send(argument.starts_with("USER") ? "381 more\r\n" : "281 ok\r\n");
    } else if (command == "POST") {
      connection.Send("340 send it\r\n");
      const auto article = connection.ReadArticle();
      if (!article)
        return;
      const std::size_t at = article->find("Message-ID: ") + 12;
      const std::string id = article->substr(at, article->find("\r\n", at) - at);
      const auto refusal = take ? take(index, *article) : std::nullopt;
      if (refusal && *refusal != StoreThenDrop) {
        connection.Send(*refusal + "\r\n");
        continue;
      }
      bool duplicate = false;
      {
        std::lock_guard guard(Lock);
        duplicate = !Taken.insert(id).second;
        if (!duplicate)
          Articles[id] = *article;
      }
      if (duplicate) {
        connection.Send("441 435 Duplicate\r\n"); // as INN answers
        continue;
      }
      if (refusal)
        return;
      connection.Send("240 article received " + id + "\r\n");
    } else if (command == "STAT" || command == "BODY") {
      std::unique_lock guard(Lock);
      const auto found = Articles.find(argument);
      if (found == Articles.end() || Lookups[argument]++ < LookupLag) {
        guard.unlock();
        connection.Send("430 no such article\r\n");
      } else if (command == "STAT") {
        guard.unlock();
        connection.Send("223 0 " + argument + "\r\n");
      } else {
        const std::string body = found->second.substr(found->second.find("\r\n\r\n") + 4);
        guard.unlock();
        connection.Send("222 0 " + argument + "\r\n" + body + ".\r\n");
      }
    } else {
      connection.Send("500 what?\r\n");
    }
  }
}
