// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InfoCommand.h"

#include "common/TextUnit.h"
#include "common/TrackKinds.h"

#include "audio/TrackInfo.h"
#include "audio/TrackReaderUnit.h"
#include "cli/JsonText.h"
#include "common/DateTimeUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "generate/AlbumFieldsUnit.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <variant>
#include <vector>

namespace {
using TValue = std::variant<std::string_view, double, std::int64_t, bool>;
struct TField {
  const char* Name;
  TValue Value;
};

// Every field of the record under its own name, in the record's order; the texts are
// views of the record and of fileDate.
// The count follows the list, so a field added or removed cannot leave an empty entry.
auto FieldsOf(const TTrackInfo& t, const std::string& fileDate) {
  return std::to_array<TField>({
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
      {"AlbumArtist", t.AlbumArtist},
      {"Disc", t.Disc},
      {"Compilation", t.Compilation},
      {"Duration", t.Duration},
      {"DurationText", t.DurationText},
      {"FileSize", t.FileSize},
      {"BitRate", std::int64_t{t.BitRate}},
      {"IsVBR", t.IsVBR},
      {"SampleRate", std::int64_t{t.SampleRate}},
      {"ChannelMode", std::int64_t{t.ChannelMode}},
      {"Checksum", t.Checksum},
      {"Codec", t.Codec},
      {"FileDate", fileDate},
      {"Format", t.Format},
      {"BitsPerSample", std::int64_t{t.BitsPerSample}},
      {"Channels", std::int64_t{t.Channels}},
  });
}

nlohmann::json ToJson(const TValue& value) {
  return std::visit([](const auto& v) { return nlohmann::json(v); }, value);
}

void AppendText(std::string& out, const TValue& value) {
  std::visit(
      [&out](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string_view>) {
          out += PrintableText(v); // a tag's text may hold anything
        } else if constexpr (std::is_same_v<T, bool>) {
          out += v ? "true" : "false";
        } else if constexpr (std::is_same_v<T, double>) {
          char text[400]; // the longest double in fixed notation fits
          out.append(text,
                     std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 3).ptr);
        } else {
          char text[24];
          out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
        }
      },
      value);
}
void PrintJson(std::ostream& out, const std::string& path, const TTrackInfo& track) {
  const std::string fileDate = DateTimeToIso(track.FileDate);
  nlohmann::json object;
  object["Path"] = path;
  for (const TField& field : FieldsOf(track, fileDate))
    object[field.Name] = ToJson(field.Value);
  // Tag texts are valid UTF-8 already; a file name may not be, and is not refused for it.
  std::string line = JsonText(object);
  line += '\n';
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

// The record as one block written at once: a thousand files make 22,000 lines.
void PrintBlock(std::ostream& out, const std::string& path, const TTrackInfo& track) {
  constexpr std::size_t NameWidth = 13;
  const std::string fileDate = DateTimeToIso(track.FileDate);
  std::string block;
  block.reserve(1024); // a record's block is a few hundred characters
  block.append(PrintableName(path)).append(1, '\n');
  for (const TField& field : FieldsOf(track, fileDate)) {
    const std::string_view name(field.Name);
    block.append("  ").append(name).append(NameWidth - std::min(NameWidth, name.size()) + 1, ' ');
    AppendText(block, field.Value);
    // People read this form: the channel mode by its name too (the JSON keeps the number).
    if (name == "ChannelMode" && track.ChannelMode >= 0 && track.ChannelMode <= 3)
      block.append(" (").append(StereoModeNames[static_cast<std::size_t>(track.ChannelMode)]) +=
          ')';
    block += '\n';
  }
  block += '\n';
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

int RunInfo(const TCliArguments& arguments, TCliContext& context) {
  const bool checksum = arguments.Has("--checksum");
  const bool json = arguments.Has("--json");
  const std::vector<std::string> files = ExpandTrackFolders(arguments.Operands);
  TTrackReaderCallbacks callbacks;
  callbacks.Deliver = [&](std::size_t index, std::unique_ptr<TTrackInfo> track) {
    // A record of a file that is not there would be made up: name it as an error instead.
    if (track->FileDate == 0 && !FileExists(files[index])) {
      if (!checksum) // the checksum's failure named it already
        ShowError(ecOpenForReading, files[index]);
      return;
    }
    if (json)
      PrintJson(context.Out, files[index], *track);
    else
      PrintBlock(context.Out, files[index], *track);
  };
  callbacks.Problem = [&files](std::size_t index, TErrorCode problem) {
    ShowError(problem, files[index]);
  };
  ReadTracks(files, checksum, callbacks);
  context.Out.flush();
  return 0;
}
} // namespace

TCliCommand InfoCommand() {
  return {.Name = "info",
          .Summary = "print the track record of each track file",
          .Operands = "FILE...",
          .Description = "Reads each track file's audio stream and tags (" + TrackKindList() +
                         ") and prints its track record.",
          .Options = {{"--checksum", "", "also compute the file's CRC-32"},
                      {"--json", "", "one JSON object per line instead of a block per file"}},
          .Run = RunInfo};
}
