// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading a server's replies through a fixed buffer: a status line is at most 512 bytes
// (RFC 3977 allows 512 with its CR LF), a multi-line block at most what the caller allows,
// so nothing the server sends sizes an allocation beyond those bounds.
#include "posting/Transport.h"

#include <array>
#include <optional>
#include <string>

inline constexpr std::size_t MaximumReplyLine = 512;

struct TReply {
  int Code = 0;
  std::string Line; // the whole status line, as the server's words
};

enum class TReadStatus { Done, TooLong, NotNntp, Closed, TimedOut, Failed };

class TReplyReader {
public:
  explicit TReplyReader(TTransport& transport) : Transport(transport) {}
  // One line without its CR LF, at most maxLength bytes; longer is TooLong.
  TReadStatus ReadLine(std::string& line, std::size_t maxLength, TDeadline deadline);
  // A status line: three digits, then a blank or the end.
  TReadStatus ReadReply(TReply& reply, TDeadline deadline);
  // The lines of a multi-line block up to its "." line, dot-unstuffed, joined by CR LF;
  // more than maxBytes is TooLong.
  TReadStatus ReadBlock(std::string& block, std::size_t maxBytes, TDeadline deadline);
  // Bytes received and not yet read: a reply sent before it was asked for.
  bool HasPending() const { return Start < End; }

private:
  TReadStatus Fill(TDeadline deadline);
  TTransport& Transport;
  std::array<char, 64 * 1024> Buffer{};
  std::size_t Start = 0, End = 0;
};

// "200 text" as a reply; nothing for a line that is not one.
std::optional<TReply> ParseReply(const std::string& line);
