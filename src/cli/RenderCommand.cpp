// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RenderCommand.h"

#include "cli/CommandLine.h"
#include "common/FileUnit.h"
#include "generate/AlbumFieldTable.h"
#include "generate/AlbumSession.h"
#include "generate/GenerateUnit.h"
#include "platform/ConsoleHost.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

namespace {
// The album fields' JSON keys come from the one table of fields.
std::string JsonKeys() {
  std::string keys;
  for (const TAlbumField& field : AlbumFields)
    if (field.Set)
      keys += "\"" + std::string(field.Name) + "\", ";
  return keys + "\"VariousArtists\" (true or false) and \"NewsGroups\" (an array of strings)";
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
    if (field.Set && !HasRightType(object, field.Name, TJson::value_t::string))
      return std::pair{std::string(field.Name), "a string"};
  if (!HasRightType(object, "VariousArtists", TJson::value_t::boolean))
    return std::pair{std::string("VariousArtists"), "true or false"};
  if (!HasRightType(object, "NewsGroups", TJson::value_t::array))
    return std::pair{std::string("NewsGroups"), "an array of strings"};
  return std::nullopt;
}

// Gives the session's record the album-wide fields of the JSON object; false with a
// message when it is not one.
bool ReadAlbumFields(const std::string& path, TAlbumSession& session, TCliContext& context) {
  const auto bytes = ReadFileBytes(path);
  if (!bytes) {
    context.Err << ConsoleLine(path, "cannot read it");
    return false;
  }
  const TJson object = TJson::parse(*bytes, nullptr, false); // no exception: discarded
  if (!object.is_object()) {
    context.Err << ConsoleLine(path, "not a JSON object");
    return false;
  }
  if (const auto wrong = WrongType(object)) {
    context.Err << ConsoleLine(path, "\"" + wrong->first + "\" must be " + wrong->second);
    return false;
  }
  // A key no field has is most likely a typo ("Artst"): said, so the field it meant is
  // not left empty without a word.
  for (const auto& [key, value] : object.items()) {
    const bool known = key == "VariousArtists" || key == "NewsGroups" ||
                       std::any_of(AlbumFields.begin(), AlbumFields.end(),
                                   [&](const TAlbumField& f) { return f.Set && f.Name == key; });
    if (!known)
      context.Err << ConsoleLine(path, "warning: \"" + key + "\" is no album field; it is ignored");
  }
  for (const TAlbumField& field : AlbumFields)
    if (field.Set)
      session.SetRecordField(field, object.value(std::string(field.Name), std::string()));
  session.Album().VariousArtists = object.value("VariousArtists", false);
  std::vector<std::string> groups;
  if (const auto at = object.find("NewsGroups"); at != object.end())
    for (const TJson& group : *at)
      groups.push_back(group.get<std::string>());
  session.SetRecordNewsGroups(std::move(groups)); // in the JSON's order
  return true;
}

int RunRender(const TCliArguments& arguments, TCliContext& context) {
  const std::string* templatePath = arguments.Value("--template");
  if (!templatePath) {
    context.Err << "tamberlon-cli: render needs --template FILE\n\n"
                << CommandUsage(RenderCommand());
    return 2;
  }
  // The record's own fields come from the JSON as they are, not from typed texts.
  TAlbumSession session;
  if (const std::string* albumPath = arguments.Value("--album"))
    if (!ReadAlbumFields(*albumPath, session, context))
      return 2;
  for (const std::string& path : ExpandTrackFolders(arguments.Operands)) {
    std::vector<TErrorCode> errors;
    TTrackReading reading;
    reading.Errors = &errors;
    session.AddTrack(path, MakeTrackInfo(path, true, reading));
    for (TErrorCode error : errors)
      ShowError(error, path);
  }
  if (!FileExists(*templatePath)) {
    context.Err << ConsoleLine(*templatePath, "no such template");
    return 2;
  }
  WriteDocument(context, session.ExpandAgainstRecord(*templatePath));
  return 0;
}
} // namespace

TCliCommand RenderCommand() {
  return {.Name = "render",
          .Summary = "expand a template against an album of tracks",
          .Operands = "[TRACK...]",
          .Description = "Expands a template against an album made of the given tracks and "
                         "prints the result. The album's own fields come from a JSON object "
                         "whose keys are the album record's field names: " +
                         JsonKeys() + "; the totals come from the tracks.",
          .Options = {{"--template", "FILE", "the template to expand"},
                      {"--album", "FILE.json", "the album's fields"}},
          .MinimumOperands = 0,
          .Run = RunRender};
}
