// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TextListUnit.h"

#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"

#include <array>
#include <utility>

std::vector<std::string> SplitTextLines(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n')
      ++start;
  }
  return lines;
}

std::string JoinTextLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::optional<std::vector<std::string>> ReadTextList(const std::string& path) {
  const auto bytes = ReadFileBytes(path);
  if (!bytes)
    return std::nullopt;
  return SplitTextLines(*bytes);
}

bool ForEachTextLine(const std::string& path, std::size_t maxLine,
                     const std::function<void(std::string_view line, bool whole)>& visit) {
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return false;
  std::string line;
  bool whole = true;
  bool afterCR = false; // a LF right after a CR ends no second line
  bool pending = false; // a line has begun and not yet been delivered
  const auto deliver = [&] {
    visit(line, whole);
    line.clear();
    whole = true;
    pending = false;
  };
  std::array<std::uint8_t, 65536> chunk{};
  for (;;) {
    const auto got = file->ReadNext(chunk);
    if (!got)
      return false;
    if (*got == 0)
      break;
    for (std::size_t i = 0; i < *got; ++i) {
      const char c = static_cast<char>(chunk[i]);
      const bool wasAfterCR = std::exchange(afterCR, c == '\r');
      if (c == '\n' && wasAfterCR)
        continue;
      if (c == '\r' || c == '\n') {
        pending = true;
        deliver();
        continue;
      }
      pending = true;
      if (line.size() < maxLine)
        line += c;
      else
        whole = false;
    }
  }
  if (pending)
    deliver();
  return true;
}

bool WriteTextList(const std::string& path, const std::vector<std::string>& lines) {
  return WriteFileAtomically(path, JoinTextLines(lines));
}
