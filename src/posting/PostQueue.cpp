// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/PostQueue.h"

#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/TextListUnit.h"

#include <array>
#include <optional>

namespace {
constexpr std::string_view Header = "tamberlon-post-queue 1";
constexpr std::array<std::pair<TQueueState, std::string_view>, 4> StateWords = {
    {{TQueueState::Waiting, "waiting"},
     {TQueueState::Posting, "posting"},
     {TQueueState::Posted, "posted"},
     {TQueueState::Failed, "failed"}}};
constexpr std::int64_t MaxFileBytes = 16 << 20;

// A value on one field of a line: the characters that would end the field or the line,
// and the escape itself, as %XX.
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text)
    if (c == '%' || c == '\t' || c == '\r' || c == '\n' || c == '\0') {
      static constexpr char Hex[] = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(c);
      out += {'%', Hex[byte >> 4], Hex[byte & 15]};
    } else {
      out += c;
    }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

std::optional<std::string> Unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size())
      return std::nullopt;
    const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0)
      return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  for (std::size_t at = 0;;) {
    const std::size_t end = line.find(separator, at);
    fields.push_back(line.substr(at, end == std::string_view::npos ? end : end - at));
    if (end == std::string_view::npos)
      return fields;
    at = end + 1;
  }
}

// "album STATE<TAB>nfo<TAB>group,group<TAB>from<TAB>note"; nothing when it is not one.
std::optional<TQueuedAlbum> AlbumOf(std::string_view line) {
  constexpr std::string_view Lead = "album ";
  if (!line.starts_with(Lead))
    return std::nullopt;
  const std::vector<std::string_view> fields = Fields(line.substr(Lead.size()), '\t');
  if (fields.size() != 5)
    return std::nullopt;
  TQueuedAlbum album;
  bool known = false;
  for (const auto& [state, word] : StateWords)
    if (fields[0] == word) {
      album.State = state == TQueueState::Posting ? TQueueState::Waiting : state;
      known = true;
    }
  auto nfo = Unescaped(fields[1]), from = Unescaped(fields[3]), note = Unescaped(fields[4]);
  if (!known || !nfo || nfo->empty() || !from || !note)
    return std::nullopt;
  album.NfoPath = std::move(*nfo);
  album.From = std::move(*from);
  album.Note = std::move(*note);
  for (const std::string_view group : Fields(fields[2], ','))
    if (!group.empty())
      album.Groups.emplace_back(group);
  return album;
}
} // namespace

std::string_view QueueStateWord(TQueueState state) {
  for (const auto& [each, word] : StateWords)
    if (each == state)
      return word;
  return "waiting";
}

std::string PostQueueText(const TPostQueue& queue) {
  std::vector<std::string> lines = {std::string(Header),
                                    std::string("paused ") + (queue.Paused ? "1" : "0")};
  for (const TQueuedAlbum& album : queue.Albums) {
    std::string groups;
    for (const std::string& group : album.Groups)
      if (group.find_first_of(",\t\r\n") == std::string::npos) // no newsgroup has one
        groups += (groups.empty() ? "" : ",") + group;
    lines.push_back("album " + std::string(QueueStateWord(album.State)) + "\t" +
                    Escaped(album.NfoPath) + "\t" + groups + "\t" + Escaped(album.From) + "\t" +
                    Escaped(album.Note));
  }
  return JoinTextLines(lines);
}

TPostQueue ReadPostQueueText(std::string_view text) {
  TPostQueue queue;
  const std::vector<std::string> lines = SplitTextLines(text);
  if (lines.empty())
    return queue;
  if (lines.front() != Header) { // another version's, or no queue at all
    queue.Dropped = lines.size();
    return queue;
  }
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line == "paused 0" || line == "paused 1") {
      queue.Paused = line.back() == '1';
    } else if (auto album = AlbumOf(line); album && queue.Albums.size() < MaxQueuedAlbums) {
      queue.Albums.push_back(std::move(*album));
    } else {
      ++queue.Dropped;
    }
  }
  return queue;
}

TPostQueue ReadPostQueue(const std::string& path) {
  const auto bytes = ReadFileHead(path, MaxFileBytes);
  return bytes ? ReadPostQueueText(*bytes) : TPostQueue{};
}

bool WritePostQueue(const std::string& path, const TPostQueue& queue) {
  return WriteFileAtomically(path, PostQueueText(queue));
}
