// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A news server on 127.0.0.1 that a test scripts: each connection runs the test's handler
// on a thread of its own, with plain reads and writes of lines and articles. What it
// keeps (the articles by Message-ID, and every ID it took) lets a handler answer STAT and
// BODY, and refuse a duplicate, as a server does.
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

class TServerConnection {
public:
  explicit TServerConnection(int descriptor) : Descriptor(descriptor) {}
  void Send(const std::string& text); // as given: add the CR LF
  // A line without its CR LF; nothing when the client closed.
  std::optional<std::string> ReadLine();
  // An article up to its "." line, with CR LF lines; nothing when the client closed.
  std::optional<std::string> ReadArticle();
  int Descriptor;

private:
  std::string Pending;
};

class TScriptedNewsServer {
public:
  // index: the connection's number from 0.
  using THandler = std::function<void(TServerConnection&, int index)>;
  explicit TScriptedNewsServer(THandler handler);
  ~TScriptedNewsServer();
  int Port() const { return ListenPort; }

  // A handler that behaves as a good server: greets, takes AUTHINFO, POST, STAT and BODY,
  // and refuses an ID it took before as INN does. take(index, article) may refuse an
  // article with its own reply line, or answer StoreThenDrop.
  void Serve(TServerConnection& connection, int index,
             const std::function<std::optional<std::string>(int, const std::string&)>& take = {});
  // The article is kept and the connection closed before its 240 is sent.
  static constexpr std::string_view StoreThenDrop = "(store, then drop)";
  std::map<std::string, std::string> Articles; // by Message-ID
  std::set<std::string> Taken;                 // each ID ever stored, lost or not
  int LookupLag = 0; // lookups of an ID that miss it before it shows (a farm's readers)
  std::mutex Lock;
  std::atomic<int> Connections{0};

private:
  void AcceptLoop();
  THandler Handler;
  int Listener = -1;
  int ListenPort = 0;
  std::atomic<bool> Stopping{false};
  std::thread Acceptor;
  std::vector<std::thread> Threads;
  std::vector<int> Descriptors;
  std::map<std::string, int> Lookups; // by Message-ID
};
