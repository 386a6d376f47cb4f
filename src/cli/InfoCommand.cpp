#include "cli/InfoCommand.h"

#include "audio/MP3Unit.h"
#include "audio/TrackReaderUnit.h"
#include "common/DateTimeUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <variant>
#include <vector>

namespace {
constexpr const char* Usage =
    "Usage: tamberlon-cli info [--checksum] [--json] FILE...\n"
    "\n"
    "Reads each MP3 file's audio stream and tags and prints its track record.\n"
    "\n"
    "  --checksum  also compute the file's CRC-32\n"
    "  --json      one JSON object per line instead of a block per file\n"
    "  --help      show this text\n";

using TValue = std::variant<std::string, double, std::int64_t, bool>;
struct TField {
  const char* Name;
  TValue Value;
};

// Every field of the record under its own name, in the record's order.
std::vector<TField> FieldsOf(const TTrackInfo& t) {
  return {
      {"TagVersion", t.TagVersion},
      {"HasTag", t.HasTag},
      {"Title", t.Title},
      {"Artist", t.Artist},
      {"Album", t.Album},
      {"Year", t.Year},
      {"Comment", t.Comment},
      {"Track", t.Track},
      {"Genre", t.Genre},
      {"EncodedBy", t.EncodedBy},
      {"Publisher", t.Publisher},
      {"MediaType", t.MediaType},
      {"Duration", t.Duration},
      {"DurationText", t.DurationText},
      {"FileSize", t.FileSize},
      {"BitRate", std::int64_t{t.BitRate}},
      {"IsVBR", t.IsVBR},
      {"SampleRate", std::int64_t{t.SampleRate}},
      {"ChannelMode", std::int64_t{t.ChannelMode}},
      {"Checksum", t.Checksum},
      {"Codec", t.Codec},
      {"FileDate", DateTimeToIso(t.FileDate)},
  };
}

nlohmann::json ToJson(const TValue& value) {
  return std::visit([](const auto& v) { return nlohmann::json(v); }, value);
}

std::string ToText(const TValue& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>)
          return v;
        else if constexpr (std::is_same_v<T, bool>)
          return v ? "true" : "false";
        else if constexpr (std::is_same_v<T, double>) {
          char text[64];
          std::snprintf(text, sizeof text, "%.3f", v);
          return text;
        } else
          return std::to_string(v);
      },
      value);
}

void PrintJson(const std::string& path, const TTrackInfo& track) {
  nlohmann::json object;
  object["Path"] = path;
  for (const TField& field : FieldsOf(track))
    object[field.Name] = ToJson(field.Value);
  // Tag texts are valid UTF-8 already; a file name may not be, and is not refused for it.
  const std::string line = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

void PrintBlock(const std::string& path, const TTrackInfo& track) {
  std::printf("%s\n", path.c_str());
  for (const TField& field : FieldsOf(track))
    std::printf("  %-13s %s\n", field.Name, ToText(field.Value).c_str());
  std::printf("\n");
}
} // namespace

int RunInfoCommand(std::span<const std::string> arguments) {
  bool checksum = false;
  bool json = false;
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (const std::string& argument : arguments) {
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && argument == "--help") {
      std::fputs(Usage, stdout);
      return 0;
    } else if (!optionsEnded && argument == "--checksum") {
      checksum = true;
    } else if (!optionsEnded && argument == "--json") {
      json = true;
    } else if (!optionsEnded && argument.starts_with("-") && argument != "-") {
      std::fprintf(stderr, "tamberlon-cli: unknown option %s\n\n%s", argument.c_str(), Usage);
      return 2;
    } else {
      files.push_back(argument);
    }
  }
  if (files.empty()) {
    std::fputs(Usage, stderr);
    return 2;
  }
  // A record of a file that is not there would be made up: name it as an error instead.
  TTrackReaderCallbacks callbacks;
  callbacks.Deliver = [&](std::size_t index, std::unique_ptr<TTrackInfo> track) {
    // A record of a file that is not there would be made up: name it as an error instead.
    if (track->FileDate == 0 && !FileExists(files[index])) {
      if (!checksum) // the checksum's failure named it already
        ShowError(ecOpenForReading, files[index]);
      return;
    }
    if (json)
      PrintJson(files[index], *track);
    else
      PrintBlock(files[index], *track);
  };
  ReadTracks(files, checksum, callbacks);
  std::fflush(stdout);
  return 0;
}
