// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line tool, run as a user runs it.
#include "cli/CommandLine.h"
#include "common/TrackKinds.h"
#include "generate/NFOUnit.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {
struct TRun {
  int Status;
  std::string Output;
};

// Runs the tool with a shell command line; stdout and stderr are read together when
// the line redirects them.
TRun Cli(const std::string& arguments) {
  const std::string command = std::string(TAMBERLON_CLI) + " " + arguments;
  FILE* pipe = ::popen(command.c_str(), "r");
  TRun run{-1, {}};
  if (!pipe)
    return run;
  std::array<char, 4096> buffer{};
  while (const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), pipe))
    run.Output.append(buffer.data(), got);
  const int status = ::pclose(pipe);
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

const std::string Data = TAMBERLON_TEST_DATA;
} // namespace

TEST(CliInfo, JsonLinePerFileWithEveryField) {
  const TRun run = Cli("info --json --checksum " + Data + "/lame-cbr128-tags.mp3 " + Data +
                       "/lame-vbr-mono.mp3");
  ASSERT_EQ(run.Status, 0) << run.Output;
  const std::size_t firstEnd = run.Output.find('\n');
  ASSERT_NE(firstEnd, std::string::npos);
  const std::string first = run.Output.substr(0, firstEnd);
  for (const char* field :
       {"\"Path\":", "\"TagVersion\":\"ID3v2.3\"", "\"HasTag\":true", "\"Title\":\"Lame Title\"",
        "\"BitRate\":128", "\"IsVBR\":false", "\"SampleRate\":44100", "\"FileSize\":17503",
        "\"Checksum\":\"", "\"Codec\":", "\"FileDate\":\"20", "\"Duration\":1.0"})
    EXPECT_NE(first.find(field), std::string::npos) << field << " in " << first;
  EXPECT_NE(run.Output.find("\"IsVBR\":true", firstEnd), std::string::npos);
}

TEST(CliInfo, TextBlockAndProblemsInTheCatalogueWords) {
  const TRun ok = Cli("info " + Data + "/lame-mpeg2-id3v1.mp3");
  ASSERT_EQ(ok.Status, 0);
  EXPECT_NE(ok.Output.find("TagVersion    ID3v1.0"), std::string::npos) << ok.Output;
  EXPECT_NE(ok.Output.find("SampleRate    22050"), std::string::npos);
  EXPECT_NE(ok.Output.find("ChannelMode   1 (Joint Stereo)"), std::string::npos);

  // Every message about one file names it, in one form; a missing file has no record.
  for (const char* options : {"", "--checksum ", "--json "}) {
    SCOPED_TRACE(options);
    const TRun missing = Cli("info " + std::string(options) + "/nonexistent/x.mp3 2>&1");
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.Output, "tamberlon-cli: /nonexistent/x.mp3: Can't open file for reading\n");
  }
  // An empty file opened: it is told as empty, not as unopened.
  const std::string empty = ::testing::TempDir() + "/empty-track.mp3";
  std::fclose(std::fopen(empty.c_str(), "wb"));
  const TRun read = Cli("info " + empty + " 2>&1 >/dev/null");
  EXPECT_EQ(read.Status, 1);
  EXPECT_EQ(read.Output, "tamberlon-cli: " + empty + ": The file is empty: it holds no audio\n");
}

TEST(CliInfo, BadUsage) {
  // No command: the commands; a command used wrongly: its problem and where its help is.
  for (const auto& [arguments, said] :
       {std::pair{"", "Usage:"},
        {"frobnicate", "Usage:"},
        {"info", "no FILE... given\nRun 'tamberlon-cli info --help' for its options.\n"},
        {"info --bogus x.mp3",
         "unknown option --bogus\nRun 'tamberlon-cli info --help' for its options.\n"}}) {
    SCOPED_TRACE(arguments);
    const TRun run = Cli(std::string(arguments) + " 2>&1");
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Output.find(said), std::string::npos) << run.Output;
  }
  // Each command's summary stands apart from its name, however long the name.
  const std::string usage = Cli(" 2>&1").Output;
  std::istringstream lines(usage.substr(usage.find("Commands:\n") + 10));
  for (std::string line; std::getline(lines, line) && !line.empty();)
    EXPECT_TRUE(std::regex_match(line, std::regex("  [a-z0-9]+  +[a-z].*"))) << line;
  const TRun help = Cli("info --help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Output.find("--checksum"), std::string::npos);
  // The version the build defines, as the window's about box shortens it.
  const TRun version = Cli("--version");
  EXPECT_EQ(version.Status, 0);
  EXPECT_TRUE(std::regex_match(version.Output, std::regex("tamberlon-cli [0-9]+\\.[0-9]+\\.[0-9]+\n"
                                                          "License: GNU GPL version 3 or later\n")))
      << version.Output;
  EXPECT_NE(Cli("--help").Output.find("--version"), std::string::npos);
}

TEST(CliRender, ExpandsATemplateAgainstRealTracks) {
  const std::string folder = ::testing::TempDir();
  const std::string templatePath = folder + "/render-template.txt";
  const std::string albumPath = folder + "/render-album.json";
  std::FILE* file = std::fopen(templatePath.c_str(), "wb");
  std::fputs("$ARTIST - $ALBUM [$TRACK_COUNT]\r\n@FOR_EACH_TRACK\r\n$TRACK_NUMBER. $TRACK_TITLE "
             "$TRACK_CHECKSUM\r\n@END_TRACK\r\n@FOR_EACH_NEWSGROUP\r\n$GROUP_NAME\r\n"
             "@END_NEWSGROUP\r\n",
             file);
  std::fclose(file);
  file = std::fopen(albumPath.c_str(), "wb");
  std::fputs(R"({"Artist": "Zoë", "AlbumTitle": "Trees", "NewsGroups": ["alt.test"]})", file);
  std::fclose(file);

  const TRun run = Cli("render --template " + templatePath + " --album " + albumPath + " " + Data +
                       "/lame-cbr128-tags.mp3 " + Data + "/lame-vbr-mono.mp3");
  ASSERT_EQ(run.Status, 0) << run.Output;
  EXPECT_EQ(run.Output, "Zoë - Trees [2]\r\n"
                        " 1. Lame Title 9AAB5B18\r\n"
                        " 2. lame-vbr-mono.mp3 A5C86647\r\n"
                        "\r\n"
                        "alt.test\r\n"
                        "\r\n");
  EXPECT_EQ(Cli("render 2>&1").Status, 2);
  EXPECT_EQ(Cli("render --template " + templatePath + " --album /nonexistent.json 2>&1").Status, 2);

  // A key of the wrong JSON type is refused by name, not left empty.
  for (const auto& [json, message] :
       {std::pair{R"({"Artist": 5})", "\"Artist\" must be a string"},
        std::pair{R"({"RipDate": null})", "\"RipDate\" must be a string"},
        std::pair{R"({"VariousArtists": "yes"})", "\"VariousArtists\" must be true or false"},
        std::pair{R"({"NewsGroups": ["a.b", 1]})", "\"NewsGroups\" must be an array of strings"},
        std::pair{R"({"Artst": "Zoë"})", "warning: \"Artst\" is no album field; it is ignored"}}) {
    SCOPED_TRACE(json);
    file = std::fopen(albumPath.c_str(), "wb");
    std::fputs(json, file);
    std::fclose(file);
    const TRun wrong = Cli("render --template " + templatePath + " --album " + albumPath + " 2>&1");
    EXPECT_EQ(wrong.Status, std::string_view(message).starts_with("warning") ? 0 : 2);
    EXPECT_EQ(wrong.Output.substr(0, wrong.Output.find('\n') + 1),
              "tamberlon-cli: " + albumPath + ": " + message + "\n");
  }
}

// The manual page documents, and the shell completes, every option a command declares.
TEST(CliManual, EveryDeclaredOptionIsInTheManualPageAndTheCompletion) {
  const auto read = [](const std::string& name) {
    std::ifstream file(Data + "/../../doc/" + name);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  };
  const std::string manual = std::regex_replace(read("tamberlon-cli.1"), std::regex(R"(\\-)"), "-");
  const std::string completion = read("tamberlon-cli.bash-completion");
  ASSERT_FALSE(manual.empty());
  ASSERT_FALSE(completion.empty());
  std::vector<std::string> options = {"--help", "--version"};
  for (const TCliCommand& command : CliCommands()) {
    options.push_back(command.Name);
    for (const TCliOption& option : command.Options)
      options.push_back(option.Name);
  }
  for (const std::string& option : options) {
    SCOPED_TRACE(option);
    EXPECT_NE(manual.find(option), std::string::npos);
    EXPECT_NE(completion.find(option), std::string::npos);
  }
  // The manual and the help name every kind of track and every template the program reads.
  std::ifstream helpFile(Data + "/../../data/ZERUvez.hlp");
  const std::string help((std::istreambuf_iterator<char>(helpFile)),
                         std::istreambuf_iterator<char>());
  ASSERT_FALSE(help.empty());
  std::vector<std::string> names;
  for (const TTrackKindRow& kind : TrackKinds)
    names.emplace_back(kind.Format);
  for (const TNfoTemplateFile& file : NfoTemplateFiles)
    names.emplace_back(file.Name);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_NE(manual.find(name), std::string::npos);
    EXPECT_NE(help.find(name), std::string::npos);
  }
}
