#include "generate/SfvCheckUnit.h"

#include "audio/CRC32Unit.h"
#include "common/TextListUnit.h"
#include "common/TextUnit.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {
// Longer than any path the system accepts; a longer line is no entry.
constexpr std::size_t MaxSfvLine = PATH_MAX + 16;

std::optional<std::string> RealPath(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                         &std::free);
  return real ? std::optional<std::string>(real.get()) : std::nullopt;
}
} // namespace

TSfvLine ParseSfvLine(std::string_view text) {
  const std::string_view line = TrimControlRight(text);
  if (line.empty() || line.front() == ';')
    return {};
  const std::size_t space = line.rfind(' ');
  const std::string_view digits =
      space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
  std::uint32_t checksum = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), checksum, 16);
  if (space == 0 || digits.size() != 8 || error != std::errc() ||
      end != digits.data() + digits.size())
    return {TSfvLineKind::Malformed, {}};
  return {TSfvLineKind::Entry, {std::string(line.substr(0, space)), checksum}};
}

bool ForEachSfvLine(const std::string& path,
                    const std::function<void(std::size_t number, const TSfvLine& line)>& visit) {
  std::size_t number = 0;
  return ForEachTextLine(path, MaxSfvLine, [&](std::string_view line, bool whole) {
    ++number;
    visit(number, whole ? ParseSfvLine(line) : TSfvLine{TSfvLineKind::Malformed, {}});
  });
}

bool IsSafeSfvName(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\')
    return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find_first_of("/\\", start);
    if (name.substr(start, end == std::string_view::npos ? end : end - start) == "..")
      return false;
    if (end == std::string_view::npos)
      return true;
    start = end + 1;
  }
}

TSfvOutcome CheckSfvEntry(const TSfvEntry& entry, const std::string& folder) {
  if (!IsSafeSfvName(entry.Name))
    return TSfvOutcome::Unsafe;
  const std::string path = folder + entry.Name;
  const auto real = RealPath(path);
  if (!real)
    return TSfvOutcome::Missing;
  const auto realFolder = RealPath(folder.empty() ? "." : folder);
  if (!realFolder || !real->starts_with(*realFolder == "/" ? "/" : *realFolder + "/"))
    return TSfvOutcome::Unsafe;
  const auto crc = FileCRC32(*real);
  return !crc                     ? TSfvOutcome::Missing
         : *crc == entry.Checksum ? TSfvOutcome::Ok
                                  : TSfvOutcome::Mismatch;
}

const char* SfvOutcomeWord(TSfvOutcome outcome) {
  switch (outcome) {
  case TSfvOutcome::Ok:
    return "OK";
  case TSfvOutcome::Mismatch:
    return "FAILED";
  case TSfvOutcome::Missing:
    return "MISSING";
  case TSfvOutcome::Unsafe:
    return "UNSAFE";
  }
  return "FAILED";
}
