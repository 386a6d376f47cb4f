// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/NntpReply.h"

#include <algorithm>
#include <cstring>

namespace {
TReadStatus FromIo(TIoStatus status) {
  switch (status) {
  case TIoStatus::Done:
    return TReadStatus::Done;
  case TIoStatus::Closed:
    return TReadStatus::Closed;
  case TIoStatus::TimedOut:
    return TReadStatus::TimedOut;
  case TIoStatus::Failed:
    break;
  }
  return TReadStatus::Failed;
}
} // namespace

std::optional<TReply> ParseReply(const std::string& line) {
  if (line.size() < 3 ||
      !std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  if (line.size() > 3 && line[3] != ' ')
    return std::nullopt;
  return TReply{(line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0'), line};
}

TReadStatus TReplyReader::Fill(TDeadline deadline) {
  if (Start == End)
    Start = End = 0;
  else if (End == Buffer.size()) {
    std::memmove(Buffer.data(), Buffer.data() + Start, End - Start);
    End -= Start;
    Start = 0;
  }
  std::size_t got = 0;
  const TIoStatus status =
      Transport.Receive(std::span(Buffer.data() + End, Buffer.size() - End), got, deadline);
  End += got;
  return FromIo(status);
}

TReadStatus TReplyReader::ReadLine(std::string& line, std::size_t maxLength, TDeadline deadline) {
  line.clear();
  bool tooLong = false;
  for (;;) {
    const char* from = Buffer.data() + Start;
    const char* newline = static_cast<const char*>(std::memchr(from, '\n', End - Start));
    const std::size_t take = newline ? static_cast<std::size_t>(newline - from) : End - Start;
    if (!tooLong && line.size() + take <= maxLength + 1)
      line.append(from, take);
    else
      tooLong = true; // read on to the line's end, keeping nothing
    Start += take;
    if (newline) {
      ++Start;
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      if (tooLong || line.size() > maxLength) {
        line.clear();
        return TReadStatus::TooLong;
      }
      return TReadStatus::Done;
    }
    if (const TReadStatus status = Fill(deadline); status != TReadStatus::Done)
      return status;
  }
}

TReadStatus TReplyReader::ReadReply(TReply& reply, TDeadline deadline) {
  std::string line;
  const TReadStatus status = ReadLine(line, MaximumReplyLine - 2, deadline);
  if (status != TReadStatus::Done)
    return status;
  const auto parsed = ParseReply(line);
  if (!parsed)
    return TReadStatus::NotNntp;
  reply = *parsed;
  return TReadStatus::Done;
}

TReadStatus TReplyReader::ReadBlock(std::string& block, std::size_t maxBytes, TDeadline deadline) {
  block.clear();
  std::string line;
  for (;;) {
    const std::size_t room = maxBytes > block.size() ? maxBytes - block.size() : 0;
    const TReadStatus status = ReadLine(line, room, deadline);
    if (status != TReadStatus::Done)
      return status;
    if (line == ".")
      return TReadStatus::Done;
    const std::size_t skip = line.starts_with("..") ? 1 : 0;
    if (block.size() + line.size() - skip + 2 > maxBytes)
      return TReadStatus::TooLong;
    block.append(line, skip);
    block += "\r\n";
  }
}
