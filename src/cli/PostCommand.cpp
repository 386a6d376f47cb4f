// SPDX-License-Identifier: GPL-3.0-or-later
// tamberlon-cli post: the release posted to a news server, its NZB written, every article
// checked, and a post cut short resumed.
#include "cli/PostCommand.h"

#include "cli/AlbumRun.h"
#include "cli/InterruptPauses.h"
#include "cli/JsonText.h"
#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/PreferencesUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/DocumentKinds.h"
#include "platform/ConsoleHost.h"
#include "posting/PostSetup.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
// An option's value ("1" for a flag given), else its key in [Server], else nothing.
TSettingLookup Settings(const TCliArguments& arguments, const TPreferences& preferences) {
  return [&arguments, &preferences](std::string_view option,
                                    std::string_view key) -> const std::string* {
    static const std::string given = "1";
    if (key == "Role" && arguments.Value("--server"))
      return nullptr; // the one server named posts
    if (!option.empty()) {
      if (const std::string* value = arguments.Value(option))
        return value;
      if (arguments.Has(option))
        return &given;
    }
    const auto found = key.empty() ? preferences.Server.end() : preferences.Server.find(key);
    return found == preferences.Server.end() ? nullptr : &found->second;
  };
}

// A secret's first line from a file only its owner can read.
std::optional<std::string> SecretFromFile(const std::string& file, TCliContext& context) {
  struct stat status {};
  if (stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    context.Err << ConsoleLine(file, "no such file");
    return std::nullopt;
  }
  if (status.st_mode & 077) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    context.Err << ConsoleLine(file, std::string("others can read it (mode ") + mode +
                                         "); make it readable by its owner alone: chmod 600");
    return std::nullopt;
  }
  auto bytes = ReadFileBytes(file);
  if (!bytes)
    return std::nullopt;
  return bytes->substr(0, bytes->find_first_of("\r\n"));
}

// Where a server's password comes from: its file (an option's or a key's), its variable,
// its prompt.
struct TPasswordSource {
  const std::string* File;
  std::string FileWord; // the option or key that names the file
  std::string Variable;
  std::string Prompt;
};

// The password from a file only its owner can read, the environment, or the terminal.
std::optional<std::string> Password(TCliContext& context, const TPasswordSource& source) {
  if (source.File)
    return SecretFromFile(*source.File, context);
  if (const char* value = std::getenv(source.Variable.c_str()))
    return std::string(value);
  if (!isatty(STDIN_FILENO)) {
    context.Err << "tamberlon-cli: no password: set " << source.Variable << " or use "
                << source.FileWord << "\n";
    return std::nullopt;
  }
  termios saved{};
  tcgetattr(STDIN_FILENO, &saved);
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  context.Err << source.Prompt << std::flush;
  tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  std::string password;
  std::getline(std::cin, password);
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  context.Err << "\n";
  return password;
}

} // namespace

bool ReadGroups(const std::vector<std::string>& operands, const TCliArguments& arguments,
                const TPreferences& preferences, int limit, TCliContext& context,
                std::vector<std::string>& groups) {
  groups = arguments.All("--group");
  if (groups.empty() && operands.size() == 1 && IsNfoPath(operands[0]))
    if (const auto nfo = ReadFileBytes(operands[0]))
      groups = NewsGroupsNamedIn(*nfo);
  if (groups.empty() && !preferences.NGPostedTo.empty()) {
    groups = preferences.NGPostedTo;
    std::string named;
    for (const std::string& group : groups)
      named += (named.empty() ? "" : ", ") + group;
    context.Err << "tamberlon-cli: post: no newsgroup named by --group or the album's .nfo: "
                   "posting to the window's last ones ("
                << PrintableText(named) << ")\n";
  }
  if (groups.empty()) {
    context.Err << "tamberlon-cli: post: name a newsgroup with --group (the album's groups "
                   "are not chosen)\n";
    return false;
  }
  if (groups.size() > static_cast<std::size_t>(limit)) {
    context.Err << "tamberlon-cli: warning: posting to the first " << limit << " of the "
                << groups.size() << " newsgroups named (--max-groups)\n";
    groups.resize(static_cast<std::size_t>(limit));
  }
  return true;
}

bool ReadNzbHead(const TCliArguments& arguments, const TPostSetup& setup, TCliContext& context,
                 TPostRequest& request) {
  if (const std::string* title = arguments.Value("--nzb-title"))
    request.NzbTitle = *title;
  request.NzbMeta = setup.NzbMeta;
  if (const std::string* file = arguments.Value("--nzb-password-file")) {
    auto password = SecretFromFile(*file, context);
    if (!password)
      return false;
    request.NzbMeta.Password = std::move(*password);
  }
  request.Delivery = setup.Delivery;
  request.Delivery.ReplaceCopy = arguments.Has("--force");
  return true;
}

namespace {
// The release's files: beside an .nfo, or the files given.
std::vector<std::string> ReleaseFiles(const std::vector<std::string>& operands) {
  if (operands.size() == 1 && IsNfoPath(operands[0]))
    return ReleaseFilesBeside(operands[0]);
  return PostingOrder(operands);
}

nlohmann::json DeliveryJson(const TDeliveryResult& delivery) {
  nlohmann::json json = nlohmann::json::object();
  if (!delivery.CopyPath.empty())
    json["copy"] = delivery.CopyPath;
  if (delivery.CopyProblem)
    json["copyProblem"] = delivery.CopyProblem->Message;
  if (const auto& run = delivery.Command) {
    json["command"] = {{"started", run->Started},
                       {"timedOut", run->TimedOut},
                       {"signal", run->Signal},
                       {"output", SanitizeUtf8(run->Output)}};
    json["command"]["status"] = run->Started && !run->TimedOut && run->Signal == 0
                                    ? nlohmann::json(run->Status)
                                    : nlohmann::json(nullptr);
  }
  return json;
}

// The NZB's copy and the command after the post, on stderr: the command's own output
// first, then what became of it.
void TellDelivery(const TDeliveryResult& delivery, TCliContext& context) {
  if (!delivery.CopyPath.empty())
    context.Err << "tamberlon-cli: post: the NZB copied to " << PrintableName(delivery.CopyPath)
                << "\n";
  if (delivery.CopyProblem)
    ShowProblem(*delivery.CopyProblem);
  if (const auto& run = delivery.Command) {
    if (!run->Output.empty())
      context.Err << PrintableTextLines(run->Output) << (run->Output.ends_with('\n') ? "" : "\n");
    context.Err << "tamberlon-cli: post: the command after the post " << CommandRunText(*run)
                << "\n";
  }
}

int Report(const TPostSummary& summary, const TCliArguments& arguments, TCliContext& context,
           std::size_t leftTold) {
  for (std::size_t i = leftTold; i < summary.Left.size(); ++i)
    context.Err << ConsoleLine("", summary.Left[i]);
  if (summary.Problem)
    ShowProblem(*summary.Problem);
  if (summary.Cancelled)
    context.Err << "tamberlon-cli: posting paused: " << summary.Posted
                << " articles posted; post again to continue\n";
  if (arguments.Has("--json")) {
    const nlohmann::json json = {{"articles", summary.Articles},
                                 {"posted", summary.Posted},
                                 {"confirmed", summary.Confirmed},
                                 {"retries", summary.Retries},
                                 {"failures", summary.Failures},
                                 {"bytes", summary.Bytes},
                                 {"resumed", summary.Resumed},
                                 {"nzb", summary.NzbPath},
                                 {"complete", summary.Complete()},
                                 {"checkedOn", summary.CheckedOn},
                                 {"left", summary.Left}};
    nlohmann::json out = json;
    if (summary.Delivery)
      out["delivery"] = DeliveryJson(*summary.Delivery);
    context.Out << JsonText(out, 2) << "\n";
  } else {
    if (!summary.NzbPath.empty())
      context.Out << PrintableName(summary.NzbPath) << "\n";
    // What this run did apart from what a run it continues did: a resumed run told the
    // release's count beside its own bytes, as if it had posted every article.
    const std::size_t before = summary.Accepted > summary.Posted && summary.Resumed
                                   ? summary.Accepted - summary.Posted
                                   : 0;
    context.Out << CountOf(summary.Articles, "article") << ", " << summary.Posted
                << " posted by this run (" << summary.Bytes << " bytes)"
                << (before ? ", " + std::to_string(before) + " by an earlier run" : "") << ", "
                << summary.Retries
                << " retries, "
                // A paused post's unchecked articles are no failures: they wait for the next run.
                << (summary.Cancelled ? std::string("paused")
                                      : std::to_string(summary.Failures) + " failures")
                << (CheckVerdict(summary).empty() ? "" : "; " + CheckVerdict(summary)) << "\n";
  }
  if (summary.Delivery)
    TellDelivery(*summary.Delivery, context);
  return summary.Complete() && (!summary.Delivery || summary.Delivery->Succeeded()) ? 0 : 1;
}
} // namespace

void TProgressLine::operator()(const TPostProgress& progress) {
  const auto now = TClock::now();
  for (; LeftTold < progress.Left.size(); ++LeftTold) // said once, as it happens
    Context.Err << "\r" << std::string(100, ' ') << "\r"
                << ConsoleLine("", progress.Left[LeftTold]);
  if (progress.Phase != Phase || progress.Bytes == 0) {
    Phase = progress.Phase;
    Start = now;
  }
  if (now - Shown < std::chrono::milliseconds(200) && progress.Articles < progress.TotalArticles)
    return;
  Shown = now;
  const double seconds = std::chrono::duration<double>(now - Start).count();
  const std::string line = "\r" + PostProgressText(progress, seconds) + "   ";
  Context.Err << line << std::flush;
}

void TProgressLine::End() {
  Context.Err << "\r" << std::string(100, ' ') << "\r" << std::flush;
}

namespace {
// Each server of the list its own password: [Server]'s as before, [Server2]'s from its
// PasswordFile= or TAMBERLON_NNTP_PASSWORD_SERVER2, ...
bool ReadListPasswords(const TCliArguments& arguments, const TPreferences& preferences,
                       TCliContext& context, TPostSetup& setup) {
  for (std::size_t i = 0; i < setup.Servers.size(); ++i) {
    TServerProfile& listed = setup.Servers[i].Profile;
    if (listed.User.empty())
      continue;
    const std::string section = MoreServerSection(static_cast<int>(i) + 1);
    const auto keys = i == 0 ? nullptr : &preferences.MoreServers[i - 1];
    const auto file = keys ? keys->find("PasswordFile") : preferences.Server.end();
    const auto password =
        i == 0 ? Password(context, {arguments.Value("--password-file"), "--password-file",
                                    "TAMBERLON_NNTP_PASSWORD", "Password: "})
               : Password(context, {file == keys->end() ? nullptr : &file->second,
                                    "PasswordFile= in [" + section + "]",
                                    "TAMBERLON_NNTP_PASSWORD_SERVER" + std::to_string(i + 1),
                                    "Password of " + listed.Endpoint.Name() + ": "});
    if (!password)
      return false;
    listed.Password = *password;
  }
  return true;
}
} // namespace

bool ReadServer(const TCliArguments& arguments, const TPreferences& preferences,
                TCliContext& context, TPostSetup& setup, bool checkServer) {
  // The check server's settings: its --check-... options, else [CheckServer]'s keys.
  const TSettingLookup check = [&arguments,
                                &preferences](std::string_view option,
                                              std::string_view key) -> const std::string* {
    static const std::map<std::string_view, std::string_view> Options = {
        {"--server", "--check-server"}, {"--tls", "--check-tls"}, {"--user", "--check-user"}};
    if (const auto own = Options.find(option); own != Options.end())
      if (const std::string* value = arguments.Value(own->second))
        return value;
    const auto found =
        key.empty() ? preferences.CheckServer.end() : preferences.CheckServer.find(key);
    return found == preferences.CheckServer.end() ? nullptr : &found->second;
  };
  // --server names one server: the list is not used then, nor by a look-up of an NZB.
  const std::vector<TServerKeys> none;
  if (const auto problem = ReadPostSetup(
          Settings(arguments, preferences), setup, checkServer ? check : TSettingLookup{},
          arguments.Value("--server") || !checkServer ? none : preferences.MoreServers)) {
    context.Err << ConsoleLine("", *problem);
    return false;
  }
  TServerProfile& server = setup.Settings.Server;
  for (const std::string& warning : setup.Warnings)
    context.Err << ConsoleLine("", "warning: " + warning);
  if (server.Endpoint.Insecure && server.Endpoint.Tls != TTlsMode::None)
    context.Err << "tamberlon-cli: warning: --insecure: the server's certificate is not "
                   "checked, so a machine between you and the server can read the password "
                   "and the post\n";
  if (!ReadListPasswords(arguments, preferences, context, setup))
    return false;
  if (auto& other = setup.Settings.CheckServer; other && setup.CheckNamed && !other->User.empty()) {
    auto password =
        Password(context, {arguments.Value("--check-password-file"), "--check-password-file",
                           "TAMBERLON_NNTP_CHECK_PASSWORD", "Password of the check server: "});
    if (!password)
      return false;
    other->Password = std::move(*password);
  }
  UseServerList(setup); // the passwords go with the servers; the list was judged when read
  return true;
}

std::optional<TPostRequest> PlanAlbumPost(const std::vector<std::string>& files,
                                          const std::vector<std::string>& groups,
                                          const TCliArguments& arguments,
                                          const TPreferences& preferences, const TPostSetup& setup,
                                          TProblem& problem) {
  TPlanResult planned = PlanPost(files, ReleaseName(files.front()),
                                 PosterFrom(preferences.PostedBy, preferences.Server), groups,
                                 setup.ArticleSize, setup.Obfuscate);
  if (planned.Problem) {
    problem = *planned.Problem;
    return std::nullopt;
  }
  TPostRequest request{std::move(planned.Plan),
                       setup.Settings,
                       "",
                       "",
                       arguments.Has("--force"),
                       {},
                       nullptr,
                       {},
                       {},
                       {},
                       false};
  const std::string* nzb = arguments.Value("--nzb");
  request.NzbPath = nzb ? *nzb : DefaultNzbPath(files, setup.NzbCompressed);
  request.JournalPath = JournalPathFor(request.NzbPath);
  return request;
}

int PostFiles(const std::vector<std::string>& operands, const TCliArguments& arguments,
              TCliContext& context) {
  const TPreferences preferences = ReadPreferences(GetProgramFolder() + PreferencesFileName);
  TPostSetup setup;
  std::vector<std::string> groups;
  if (!ReadServer(arguments, preferences, context, setup, true) ||
      !ReadGroups(operands, arguments, preferences, setup.MaxGroups, context, groups))
    return 2;
  const std::vector<std::string> files = ReleaseFiles(operands);
  TProblem problem;
  std::optional<TPostRequest> planned =
      PlanAlbumPost(files, groups, arguments, preferences, setup, problem);
  if (!planned) {
    ShowProblem(problem);
    return 1;
  }
  TPostRequest request = std::move(*planned);
  if (!ReadNzbHead(arguments, setup, context, request))
    return 2;
  return PostWithProgress(
      [&request](TPostProgressHook progress, const std::atomic<bool>* cancelled) {
        request.Progress = std::move(progress);
        request.Cancelled = cancelled;
        return PostRelease(request);
      },
      arguments, context);
}

int PostWithProgress(
    const std::function<TPostSummary(TPostProgressHook, const std::atomic<bool>*)>& post,
    const TCliArguments& arguments, TCliContext& context) {
  TProgressLine line(context);
  TPostProgressHook progress;
  if (context.ShowProgress && !arguments.Has("--json"))
    progress = [&](const TPostProgress& step) {
      line(step);
    };
  std::atomic<bool> cancelled{false};
  TPostSummary summary;
  bool interrupted = false;
  {
    const TInterruptPauses pauses(cancelled);
    summary = post(progress, &cancelled);
    interrupted = pauses.Interrupted();
  }
  if (progress)
    line.End();
  const int status = Report(summary, arguments, context, progress ? line.LeftTold : 0);
  return interrupted && summary.Cancelled ? 130 : status; // the shell's status for Ctrl+C
}

namespace {
int RunPost(const TCliArguments& arguments, TCliContext& context) {
  if (arguments.Has("--recursive"))
    return PostShelfOf(arguments, context);
  return PostFiles(arguments.Operands, arguments, context);
}
} // namespace

const std::vector<TCliOption> ServerOptionList = {
    {"--server", "HOST[:PORT]", "the news server (Host= and Port= in [Server])"},
    {"--tls", "MODE", "implicit (port 563, the default), starttls or none (TLS= in [Server])"},
    {"--user", "NAME",
     "the user name (User=; the password: TAMBERLON_NNTP_PASSWORD, "
     "--password-file or the terminal)"},
    {"--password-file", "FILE", "read the password from FILE (mode 600)"},
    {"--connections", "N", "connections at once (Connections=; default 4)"},
    {"--check-bodies", "",
     "check each article's body and CRC, not only that it exists (CheckBodies=1)"},
    {"--retries", "N",
     "attempts more per article, and rounds of posting again (Retries=; default 3)"},
    {"--timeout", "SECONDS", "the longest wait for the server (Timeout=; default 60)"},
    {"--ca-file", "FILE", "trust the server's certificate from FILE (CaFile=)"},
    {"--insecure", "", "do not check the server's certificate (warned on every run)"},
    {"--json", "", "print a summary as JSON"}};

const std::vector<TCliOption> PostOptionList = [] {
  std::vector<TCliOption> options = ServerOptionList;
  options.insert(
      options.end(),
      {{"--article-size", "BYTES", "bytes of a file per article (ArticleSize=; default 716800)"},
       {"--group", "NAME",
        "a newsgroup to post to (default: the ones the album's .nfo names, else the window's "
        "last)",
        true},
       {"--max-groups", "N", "cross-post to at most N newsgroups (MaxGroups=; default 5)"},
       {"--obfuscate", "",
        "random subjects and names on the wire; real names in the NZB (Obfuscate=1)"},
       {"--check-delay", "SECONDS",
        "wait before checking (CheckDelay=; default 60 with a check server, else 0)"},
       {"--check-server", "HOST[:PORT]",
        "look the articles up on this server of another network, not the one posted to "
        "(Host= and Port= in [CheckServer])"},
       {"--check-tls", "MODE", "the check server's TLS: implicit, starttls or none (TLS=)"},
       {"--check-user", "NAME",
        "the check server's user name (User=; the password: TAMBERLON_NNTP_CHECK_PASSWORD, "
        "--check-password-file or the terminal)"},
       {"--check-password-file", "FILE", "read the check server's password from FILE (mode 600)"},
       {"--nzb", "FILE", "the NZB to write (default beside the .nfo; FILE.nzb.gz compressed)"},
       {"--nzb-title", "TEXT", "the NZB's title (default: the release's name)"},
       {"--nzb-tag", "TEXT", "a tag in the NZB's head (NzbTag=)"},
       {"--nzb-category", "TEXT", "a category in the NZB's head (NzbCategory=)"},
       {"--nzb-password-file", "FILE",
        "the archives' password for the NZB's head, from FILE (mode 600)"},
       {"--nzb-gz", "", "write the NZB compressed, as .nzb.gz (NzbGz=1)"},
       {"--nzb-copy-to", "FOLDER",
        "copy the NZB into FOLDER once every article is on the server (NzbCopyTo=)"},
       {"--after-post", "COMMAND",
        "run COMMAND with the NZB's path as its last argument once every article is on the "
        "server, without a shell (AfterPost=; AfterPostTimeout=, default 300 s)"}});
  return options;
}();

TCliCommand PostCommand() {
  TCliCommand command{
      .Name = "post",
      .Summary = "post the release to a news server, with its NZB",
      .Operands = "ALBUM.nfo|FILE...|--recursive SHELF",
      .Description =
          "Posts the release as yEnc articles: given the album's .nfo, the "
          "set beside it (the .nfo, .sfv, .m3u, the tracks and the PAR2 set), "
          "else the files given. Writes the NZB of the articles the server "
          "accepted, then checks that each arrived and posts again the ones "
          "that did not. A post cut short continues where it stopped when run "
          "again. Exit status 0 only when every article is on the server (and the NZB's copy "
          "and the command after the post, when asked for, succeeded). "
          "Each setting comes from its option, else from its key in [Server] "
          "of tamberlon.INI (which the window's Server... writes), else from "
          "its default.",
      .Run = RunPost};
  command.Options = PostOptionList;
  command.Options.push_back({"--force", "", "replace an existing NZB (and its copy)"});
  command.Options.push_back(
      {"--recursive", "",
       "post every saved album below the folder given (each folder holding an album's .nfo "
       "and its set), one after the other, each with its own NZB; run again, it skips the "
       "albums posted and goes on with the one cut short"});
  command.Options.push_back(
      {"--max-albums", "N", "with --recursive, post at most N albums this run (the rest wait)"});
  return command;
}
