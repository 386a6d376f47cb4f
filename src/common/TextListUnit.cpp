#include "common/TextListUnit.h"

#include "common/FileUnit.h"

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

bool WriteTextList(const std::string& path, const std::vector<std::string>& lines) {
  return WriteFileAtomically(path, JoinTextLines(lines));
}
