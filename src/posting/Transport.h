// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The posting core's one way to the network: a connection to a news server, plain or
// TLS, where every wait ends by a deadline. The client speaks NNTP through this port, so
// tests can put a scripted server behind it.
#include <chrono>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

using TClock = std::chrono::steady_clock;
using TDeadline = TClock::time_point;

enum class TIoStatus { Done, Closed, TimedOut, Failed };

class TTransport {
public:
  virtual ~TTransport() = default;
  // Sends every byte before the deadline.
  virtual TIoStatus Send(std::string_view bytes, TDeadline deadline) = 0;
  // Receives at least one byte (got says how many) before the deadline.
  virtual TIoStatus Receive(std::span<char> buffer, std::size_t& got, TDeadline deadline) = 0;
  // Turns the connection into TLS (STARTTLS); false with Failure() saying why.
  virtual bool StartTls(TDeadline deadline) = 0;
  // Why the last call failed, in words for the user.
  virtual std::string Failure() const = 0;
};

enum class TTlsMode { Implicit, StartTls, None };

// Where a connection goes and how its certificate is judged.
struct TEndpoint {
  std::string Host;
  int Port = 563;
  TTlsMode Tls = TTlsMode::Implicit;
  std::string CaFile;    // trusted besides (instead of) the system's store
  bool Insecure = false; // no certificate check at all
  // "host:port", as messages and the server list name it.
  std::string Name() const { return Host + ":" + std::to_string(Port); }
};

// Why a connection could not be opened, and whether trying again may help.
struct TConnectResult {
  std::unique_ptr<TTransport> Transport;
  std::string Failure;
  bool Lasting = false; // DNS or certificate: trying again will not help
};

// A TCP connection (with TLS at once for Implicit), opened before the deadline.
TConnectResult ConnectTransport(const TEndpoint& endpoint, TDeadline deadline);
