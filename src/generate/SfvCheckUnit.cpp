#include "generate/SfvCheckUnit.h"

#include "audio/CRC32Unit.h"
#include "common/TextListUnit.h"
#include "common/TextUnit.h"

#include <charconv>

TSfvList ParseSfv(std::string_view text) {
  TSfvList list;
  const std::vector<std::string> lines = SplitTextLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = TrimControlRight(lines[i]);
    if (line.empty() || line.front() == ';')
      continue;
    const std::size_t space = line.rfind(' ');
    const std::string_view digits =
        space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    std::uint32_t checksum = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), checksum, 16);
    if (space == 0 || digits.size() != 8 || error != std::errc() ||
        end != digits.data() + digits.size()) {
      list.MalformedLines.push_back(i + 1);
      continue;
    }
    list.Entries.push_back({std::string(line.substr(0, space)), checksum});
  }
  return list;
}

std::vector<TSfvResult> CheckSfv(const TSfvList& list, const std::string& folder) {
  std::vector<TSfvResult> results;
  for (const TSfvEntry& entry : list.Entries) {
    const auto crc = FileCRC32(folder + entry.Name);
    const TSfvOutcome outcome = !crc                     ? TSfvOutcome::Missing
                                : *crc == entry.Checksum ? TSfvOutcome::Ok
                                                         : TSfvOutcome::Mismatch;
    results.push_back({entry.Name, outcome});
  }
  return results;
}
