// SPDX-License-Identifier: GPL-3.0-or-later
// The transport over POSIX sockets, non-blocking so that poll() bounds every wait, with
// OpenSSL for TLS.
#include "posting/Transport.h"

#include "common/Host.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int MillisecondsLeft(TDeadline deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Waits until the descriptor can be read (or written); false at the deadline, or as soon
// as the program closes (asked a fifth of a second at a time).
bool WaitFor(int descriptor, short events, TDeadline deadline) {
  constexpr int Slice = 200;
  for (;;) {
    if (CurrentHost().WaitsStopped())
      return false;
    pollfd entry{descriptor, events, 0};
    const int left = MillisecondsLeft(deadline);
    const int ready = poll(&entry, 1, std::min(left, Slice));
    if (ready > 0)
      return true;
    if ((ready == 0 && left <= Slice) || (ready < 0 && errno != EINTR))
      return false;
  }
}

std::string SslErrorText() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0)
    return "the TLS connection failed";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

class TSocketTransport final : public TTransport {
public:
  TSocketTransport(int descriptor, const TEndpoint& endpoint)
      : Descriptor(descriptor), Endpoint(endpoint) {}
  ~TSocketTransport() override {
    if (Ssl)
      SSL_free(Ssl);
    if (Context)
      SSL_CTX_free(Context);
    close(Descriptor);
  }
  TSocketTransport(const TSocketTransport&) = delete;
  TSocketTransport& operator=(const TSocketTransport&) = delete;

  TIoStatus Send(std::string_view bytes, TDeadline deadline) override {
    while (!bytes.empty()) {
      std::size_t sent = 0;
      const TIoStatus status =
          Ssl ? SslWrite(bytes, sent, deadline) : PlainWrite(bytes, sent, deadline);
      if (status != TIoStatus::Done)
        return status;
      bytes.remove_prefix(sent);
    }
    return TIoStatus::Done;
  }

  TIoStatus Receive(std::span<char> buffer, std::size_t& got, TDeadline deadline) override {
    if (Ssl)
      return SslRead(buffer, got, deadline);
    for (;;) {
      const ssize_t n = recv(Descriptor, buffer.data(), buffer.size(), 0);
      if (n > 0) {
        got = static_cast<std::size_t>(n);
        return TIoStatus::Done;
      }
      if (n == 0)
        return Fail(TIoStatus::Closed, "the server closed the connection");
      if (errno == EINTR)
        continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK)
        return Fail(TIoStatus::Failed, std::strerror(errno));
      if (!WaitFor(Descriptor, POLLIN, deadline))
        return Fail(TIoStatus::TimedOut, "the server stopped answering");
    }
  }

  bool StartTls(TDeadline deadline) override;
  std::string Failure() const override { return Why; }

private:
  TIoStatus Fail(TIoStatus status, std::string why) {
    Why = std::move(why);
    return status;
  }
  TIoStatus PlainWrite(std::string_view bytes, std::size_t& sent, TDeadline deadline) {
    for (;;) {
      const ssize_t n = send(Descriptor, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n >= 0) {
        sent = static_cast<std::size_t>(n);
        return TIoStatus::Done;
      }
      if (errno == EINTR)
        continue;
      if (errno == EPIPE || errno == ECONNRESET)
        return Fail(TIoStatus::Closed, "the server closed the connection");
      if (errno != EAGAIN && errno != EWOULDBLOCK)
        return Fail(TIoStatus::Failed, std::strerror(errno));
      if (!WaitFor(Descriptor, POLLOUT, deadline))
        return Fail(TIoStatus::TimedOut, "the server stopped taking data");
    }
  }
  // Runs one OpenSSL call until it completes, waiting as it asks.
  template <typename Call> TIoStatus SslCall(Call call, TDeadline deadline) {
    for (;;) {
      const int result = call();
      if (result > 0)
        return TIoStatus::Done;
      const int error = SSL_get_error(Ssl, result);
      if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        if (!WaitFor(Descriptor, error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline))
          return Fail(TIoStatus::TimedOut, "the server stopped answering");
        continue;
      }
      if (error == SSL_ERROR_ZERO_RETURN || (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0))
        return Fail(TIoStatus::Closed, "the server closed the connection");
      return Fail(TIoStatus::Failed, SslErrorText());
    }
  }
  TIoStatus SslWrite(std::string_view bytes, std::size_t& sent, TDeadline deadline) {
    return SslCall(
        [&] { return SSL_write_ex(Ssl, bytes.data(), bytes.size(), &sent) == 1 ? 1 : 0; },
        deadline);
  }
  TIoStatus SslRead(std::span<char> buffer, std::size_t& got, TDeadline deadline) {
    return SslCall(
        [&] { return SSL_read_ex(Ssl, buffer.data(), buffer.size(), &got) == 1 ? 1 : 0; },
        deadline);
  }
  std::string CertificateProblem() const;

  int Descriptor;
  TEndpoint Endpoint;
  SSL_CTX* Context = nullptr;
  SSL* Ssl = nullptr;
  std::string Why;
};

std::string TSocketTransport::CertificateProblem() const {
  const long result = SSL_get_verify_result(Ssl);
  if (result == X509_V_OK)
    return {};
  std::string why = X509_verify_cert_error_string(result);
  if (result == X509_V_ERR_HOSTNAME_MISMATCH || result == X509_V_ERR_IP_ADDRESS_MISMATCH)
    why = "the certificate is for another host name than " + Endpoint.Host;
  return "the server's certificate was refused: " + why;
}

bool TSocketTransport::StartTls(TDeadline deadline) {
  Context = SSL_CTX_new(TLS_client_method());
  if (!Context)
    return Fail(TIoStatus::Failed, SslErrorText()), false;
  SSL_CTX_set_min_proto_version(Context, TLS1_2_VERSION);
  if (!Endpoint.Insecure) {
    SSL_CTX_set_verify(Context, SSL_VERIFY_PEER, nullptr);
    const bool trusted =
        Endpoint.CaFile.empty()
            ? SSL_CTX_set_default_verify_paths(Context) == 1
            : SSL_CTX_load_verify_locations(Context, Endpoint.CaFile.c_str(), nullptr) == 1;
    if (!trusted)
      return Fail(TIoStatus::Failed,
                  "the certificates to trust could not be read (" +
                      (Endpoint.CaFile.empty() ? "the system's store" : Endpoint.CaFile) + ")"),
             false;
  }
  Ssl = SSL_new(Context);
  if (!Ssl || SSL_set_fd(Ssl, Descriptor) != 1)
    return Fail(TIoStatus::Failed, SslErrorText()), false;
  SSL_set_tlsext_host_name(Ssl, Endpoint.Host.c_str());
  if (!Endpoint.Insecure)
    SSL_set1_host(Ssl, Endpoint.Host.c_str());
  if (SslCall([&] { return SSL_connect(Ssl); }, deadline) == TIoStatus::Done)
    return true;
  if (std::string problem = CertificateProblem(); !problem.empty())
    Why = problem;
  else
    Why = "the TLS handshake failed: " + Why;
  return false;
}

int ConnectedSocket(const addrinfo& address, TDeadline deadline, std::string& why) {
  const int descriptor = socket(
      address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
  if (descriptor < 0) {
    why = std::strerror(errno);
    return -1;
  }
  if (connect(descriptor, address.ai_addr, address.ai_addrlen) == 0)
    return descriptor;
  if (errno == EINPROGRESS && WaitFor(descriptor, POLLOUT, deadline)) {
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error == 0)
      return descriptor;
    why = std::strerror(error);
  } else {
    why = errno == EINPROGRESS ? "the server did not answer in time" : std::strerror(errno);
  }
  close(descriptor);
  return -1;
}
} // namespace

TConnectResult ConnectTransport(const TEndpoint& endpoint, TDeadline deadline) {
  TConnectResult result;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  const std::string port = std::to_string(endpoint.Port);
  if (const int error = getaddrinfo(endpoint.Host.c_str(), port.c_str(), &hints, &addresses)) {
    result.Failure =
        "the server's name could not be found (" + std::string(gai_strerror(error)) + ")";
    result.Lasting = error != EAI_AGAIN;
    return result;
  }
  int descriptor = -1;
  for (const addrinfo* address = addresses; address && descriptor < 0; address = address->ai_next)
    descriptor = ConnectedSocket(*address, deadline, result.Failure);
  freeaddrinfo(addresses);
  if (descriptor < 0) {
    result.Failure = "could not connect: " + result.Failure;
    return result;
  }
  const int on = 1;
  setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  auto transport = std::make_unique<TSocketTransport>(descriptor, endpoint);
  if (endpoint.Tls == TTlsMode::Implicit && !transport->StartTls(deadline)) {
    result.Failure = transport->Failure();
    result.Lasting = result.Failure.find("certificate") != std::string::npos;
    return result;
  }
  result.Transport = std::move(transport);
  return result;
}
