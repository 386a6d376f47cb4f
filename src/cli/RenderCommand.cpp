#include "cli/RenderCommand.h"

#include "common/FileUnit.h"
#include "generate/AlbumFieldTable.h"
#include "generate/AlbumSession.h"
#include "generate/GenerateUnit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
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

QString Key(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// The key's JSON type, when present, is what the field holds: a number where a text
// belongs would otherwise leave the field empty without a word.
bool HasRightType(const QJsonObject& object, std::string_view key, QJsonValue::Type type) {
  const QJsonValue value = object.value(Key(key));
  if (value.isUndefined() || value.type() == type) {
    if (type != QJsonValue::Array)
      return true;
    const QJsonArray items = value.toArray();
    return std::all_of(items.begin(), items.end(),
                       [](const QJsonValue& item) { return item.isString(); });
  }
  return false;
}

// The first key of the wrong type, with the type it needs; nothing when all are right.
std::optional<std::pair<std::string, const char*>> WrongType(const QJsonObject& object) {
  for (const TAlbumField& field : AlbumFields)
    if (!HasRightType(object, field.Name, QJsonValue::String))
      return std::pair{std::string(field.Name), "a string"};
  if (!HasRightType(object, "VariousArtists", QJsonValue::Bool))
    return std::pair{std::string("VariousArtists"), "true or false"};
  if (!HasRightType(object, "NewsGroups", QJsonValue::Array))
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
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(*bytes), &error);
  if (!document.isObject()) {
    std::fprintf(stderr, "tamberlon-cli: %s: not a JSON object (%s)\n", path.c_str(),
                 error.errorString().toStdString().c_str());
    return false;
  }
  const QJsonObject object = document.object();
  if (const auto wrong = WrongType(object)) {
    std::fprintf(stderr, "tamberlon-cli: %s: \"%s\" must be %s\n", path.c_str(),
                 wrong->first.c_str(), wrong->second);
    return false;
  }
  for (const TAlbumField& field : AlbumFields)
    field.Set(album, object.value(Key(field.Name)).toString().toStdString());
  album.VariousArtists = object.value(QStringLiteral("VariousArtists")).toBool();
  for (const QJsonValue& group : object.value(QStringLiteral("NewsGroups")).toArray())
    newsGroups.push_back(group.toString().toStdString());
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
