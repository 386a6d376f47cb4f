// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RenderCommand.h"

#include "common/FileUnit.h"
#include "generate/AlbumFieldTable.h"
#include "generate/AlbumSession.h"
#include "generate/GenerateUnit.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

namespace {
// The album fields' JSON keys come from the one table of fields.
std::string UsageText() {
  std::string keys;
  std::size_t column = 33;
  for (const TAlbumField& field : AlbumFields) {
    const std::string key = "\"" + std::string(field.Name) + "\",";
    if (column + key.size() + 1 > 80) {
      keys += "\n                    ";
      column = 20;
    }
    keys += " " + key;
    column += key.size() + 1;
  }
  return "Usage: tamberlon-cli render --template FILE [--album FILE.json] [TRACK.mp3 ...]\n"
         "\n"
         "Expands a template against an album made of the given tracks and prints the result.\n"
         "\n"
         "  --template FILE    the template to expand\n"
         "  --album FILE.json  album fields: a JSON object whose keys are the album record's\n"
         "                     field names (" +
         keys.substr(1) + "\n                     \"VariousArtists\", \"NewsGroups\": [...])\n" +
         "  --help             show this text\n";
}

using TJson = nlohmann::json;

// The key's JSON type, when present, is what the field holds: a number where a text
// belongs would otherwise leave the field empty without a word.
bool HasRightType(const TJson& object, std::string_view key, TJson::value_t type) {
  const auto at = object.find(key);
  if (at == object.end())
    return true;
  if (at->type() != type)
    return false;
  return type != TJson::value_t::array ||
         std::all_of(at->begin(), at->end(), [](const TJson& item) { return item.is_string(); });
}

// The first key of the wrong type, with the type it needs; nothing when all are right.
std::optional<std::pair<std::string, const char*>> WrongType(const TJson& object) {
  for (const TAlbumField& field : AlbumFields)
    if (!HasRightType(object, field.Name, TJson::value_t::string))
      return std::pair{std::string(field.Name), "a string"};
  if (!HasRightType(object, "VariousArtists", TJson::value_t::boolean))
    return std::pair{std::string("VariousArtists"), "true or false"};
  if (!HasRightType(object, "NewsGroups", TJson::value_t::array))
    return std::pair{std::string("NewsGroups"), "an array of strings"};
  return std::nullopt;
}

// Fills the album-wide fields from the JSON object; false with a message when it is not one.
bool ReadAlbumFields(const std::string& path, TAlbumInfo& album,
                     std::vector<std::string>& newsGroups) {
  const auto bytes = ReadFileBytes(path);
  if (!bytes) {
    std::fprintf(stderr, "tamberlon-cli: %s: cannot read it\n", path.c_str());
    return false;
  }
  const TJson object = TJson::parse(*bytes, nullptr, false); // no exception: discarded
  if (!object.is_object()) {
    std::fprintf(stderr, "tamberlon-cli: %s: not a JSON object\n", path.c_str());
    return false;
  }
  if (const auto wrong = WrongType(object)) {
    std::fprintf(stderr, "tamberlon-cli: %s: \"%s\" must be %s\n", path.c_str(),
                 wrong->first.c_str(), wrong->second);
    return false;
  }
  for (const TAlbumField& field : AlbumFields)
    field.Set(album, object.value(std::string(field.Name), std::string()));
  album.VariousArtists = object.value("VariousArtists", false);
  if (const auto groups = object.find("NewsGroups"); groups != object.end())
    for (const TJson& group : *groups)
      newsGroups.push_back(group.get<std::string>());
  return true;
}
} // namespace

int RunRenderCommand(std::span<const std::string> arguments) {
  std::optional<std::string> templatePath;
  std::optional<std::string> albumPath;
  std::vector<std::string> trackPaths;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (argument == "--help") {
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    } else if (argument == "--template" && hasValue) {
      templatePath = arguments[++i];
    } else if (argument == "--album" && hasValue) {
      albumPath = arguments[++i];
    } else if (argument.starts_with("-")) {
      std::fprintf(stderr, "tamberlon-cli: unknown or incomplete option %s\n\n%s", argument.c_str(),
                   UsageText().c_str());
      return 2;
    } else {
      trackPaths.push_back(argument);
    }
  }
  if (!templatePath) {
    std::fputs(UsageText().c_str(), stderr);
    return 2;
  }

  // The record's own fields come from the JSON as they are, not from typed texts.
  TAlbumSession session;
  TAlbumInfo& album = session.Album();
  std::vector<std::string> newsGroups;
  if (albumPath && !ReadAlbumFields(*albumPath, album, newsGroups))
    return 2;
  album.NewsGroups = &newsGroups; // in the JSON's order
  for (const std::string& path : trackPaths)
    session.AddTrack(path, MakeTrackInfo(path, true));
  session.UpdateTotals();

  if (!FileExists(*templatePath)) {
    std::fprintf(stderr, "tamberlon-cli: %s: no such template\n", templatePath->c_str());
    return 2;
  }
  TGenerate generator(album, *templatePath);
  generator.Generate();
  std::fwrite(generator.Output.data(), 1, generator.Output.size(), stdout);
  return 0;
}
