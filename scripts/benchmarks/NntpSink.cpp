// SPDX-License-Identifier: GPL-3.0-or-later
// A news server that takes every article and keeps none, for measuring posters without a
// real server's disk in the way: it answers as NNTP does (greeting, CAPABILITIES, MODE
// READER, AUTHINFO, POST, STAT, QUIT), a thread per connection, on 127.0.0.1.
// Usage: tamberlon-nntp-sink PORT [MB/S]
// MB/S paces each connection's reading to that many megabytes a second, as a distant
// server's round trips do; without it loopback takes what the poster's CPU can send.
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
bool SendText(int descriptor, std::string_view text) {
  while (!text.empty()) {
    const ssize_t sent = send(descriptor, text.data(), text.size(), MSG_NOSIGNAL);
    if (sent <= 0)
      return false;
    text.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

using TClock = std::chrono::steady_clock;

class TSinkConnection {
public:
  TSinkConnection(int descriptor, double bytesPerSecond)
      : Descriptor(descriptor), BytesPerSecond(bytesPerSecond), Buffer(1 << 20) {}
  void Run() {
    SendText(Descriptor, "200 sink ready, posting ok\r\n");
    std::string line;
    while (ReadLine(line)) {
      std::string_view reply = "500 unknown command\r\n";
      if (line.starts_with("POST")) {
        if (!SendText(Descriptor, "340 send it\r\n") || !SkipArticle())
          return;
        reply = "240 article received\r\n";
      } else if (line.starts_with("CAPABILITIES")) {
        reply = "101 capabilities\r\nVERSION 2\r\nREADER\r\nPOST\r\n.\r\n";
      } else if (line.starts_with("MODE READER")) {
        reply = "200 posting ok\r\n";
      } else if (line.starts_with("AUTHINFO USER")) {
        reply = "381 password\r\n";
      } else if (line.starts_with("AUTHINFO PASS")) {
        reply = "281 ok\r\n";
      } else if (line.starts_with("STAT")) {
        if (!SendText(Descriptor, "223 0 " + line.substr(5) + "\r\n"))
          return;
        continue;
      } else if (line.starts_with("DATE")) {
        reply = "111 20260101000000\r\n";
      } else if (line.starts_with("QUIT")) {
        SendText(Descriptor, "205 bye\r\n");
        return;
      }
      if (!SendText(Descriptor, reply))
        return;
    }
  }

private:
  bool Fill() {
    if (Start == End)
      Start = End = 0;
    if (End == Buffer.size()) {
      std::memmove(Buffer.data(), Buffer.data() + Start, End - Start);
      End -= Start;
      Start = 0;
    }
    const ssize_t got = recv(Descriptor, Buffer.data() + End, Buffer.size() - End, 0);
    if (got <= 0)
      return false;
    End += static_cast<std::size_t>(got);
    Pace(static_cast<std::size_t>(got));
    return true;
  }
  // Waits until the bytes read so far are due at the connection's rate: the sender's
  // window fills meanwhile and it waits as it would for a far server.
  void Pace(std::size_t got) {
    if (BytesPerSecond <= 0)
      return;
    Received += got;
    const auto due = Started + std::chrono::duration_cast<TClock::duration>(
                                   std::chrono::duration<double>(Received / BytesPerSecond));
    std::this_thread::sleep_until(due);
  }
  bool ReadLine(std::string& line) {
    for (;;) {
      const char* from = Buffer.data() + Start;
      if (const void* newline = std::memchr(from, '\n', End - Start)) {
        const auto length = static_cast<std::size_t>(static_cast<const char*>(newline) - from);
        line.assign(from, length > 0 && from[length - 1] == '\r' ? length - 1 : length);
        Start += length + 1;
        return true;
      }
      if (End - Start > 4096 || !Fill())
        return false;
    }
  }
  // Discards an article up to its terminating line: "." after a CR LF (or at the start).
  bool SkipArticle() {
    bool lineStart = true;
    for (;;) {
      while (Start < End) {
        if (lineStart && End - Start >= 3 && std::memcmp(Buffer.data() + Start, ".\r\n", 3) == 0) {
          Start += 3;
          return true;
        }
        if (lineStart && End - Start < 3)
          break; // the terminator may be cut: read more first
        const void* newline = std::memchr(Buffer.data() + Start, '\n', End - Start);
        if (!newline) {
          Start = End;
          lineStart = false;
          break;
        }
        Start = static_cast<std::size_t>(static_cast<const char*>(newline) - Buffer.data()) + 1;
        lineStart = true;
      }
      if (!Fill())
        return false;
    }
  }

  int Descriptor;
  double BytesPerSecond;
  const TClock::time_point Started = TClock::now();
  double Received = 0;
  std::vector<char> Buffer;
  std::size_t Start = 0, End = 0;
};
} // namespace

int main(int argc, char** argv) {
  // A port of 1 to 65535 and nothing else: "--help" read as port 0 started a sink on a
  // port of the system's choosing, which nobody could then find or stop by its port.
  const int port = argc >= 2 && argc <= 3 ? std::atoi(argv[1]) : 0;
  char* rateEnd = nullptr;
  const double megabytes = argc == 3 ? std::strtod(argv[2], &rateEnd) : 0;
  if (port < 1 || port > 65535 || std::to_string(port) != argv[1] ||
      (argc == 3 && (*rateEnd != '\0' || !(megabytes > 0)))) {
    std::fprintf(stderr, "usage: tamberlon-nntp-sink PORT [MB/S]\n(a sink of NNTP posts on "
                         "127.0.0.1, for the posting benchmarks; MB/S paces each connection)\n");
    return 2;
  }
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 64) != 0) {
    std::perror("tamberlon-nntp-sink");
    return 1;
  }
  for (;;) {
    const int descriptor = accept(listener, nullptr, nullptr);
    if (descriptor < 0)
      continue;
    std::thread([descriptor, megabytes] {
      TSinkConnection(descriptor, megabytes * 1e6).Run();
      close(descriptor);
    }).detach();
  }
}
