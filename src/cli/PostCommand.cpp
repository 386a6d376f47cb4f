// SPDX-License-Identifier: GPL-3.0-or-later
// tamberlon-cli post: the release posted to a news server, its NZB written, every article
// checked, and a post cut short resumed.
#include "cli/PostCommand.h"

#include "cli/AlbumRun.h"
#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/PreferencesUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/DocumentKinds.h"
#include "posting/Poster.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
// An option's value, else its key in [Server], else nothing.
const std::string* Setting(const TCliArguments& arguments, const TPreferences& preferences,
                           std::string_view option, std::string_view key) {
  if (const std::string* value = arguments.Value(option))
    return value;
  const auto found = preferences.Server.find(key);
  return found == preferences.Server.end() ? nullptr : &found->second;
}

bool Number(const std::string* text, long long low, long long high, long long& value) {
  if (!text)
    return true;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  return error == std::errc() && end == text->data() + text->size() && value >= low &&
         value <= high;
}

bool Truthy(const std::string* text) {
  return text && (*text == "1" || *text == "true");
}

std::optional<TTlsMode> TlsMode(const std::string& text) {
  if (text == "implicit")
    return TTlsMode::Implicit;
  if (text == "starttls")
    return TTlsMode::StartTls;
  if (text == "none")
    return TTlsMode::None;
  return std::nullopt;
}

// The password from the environment, a file only its owner can read, or the terminal.
std::optional<std::string> Password(const TCliArguments& arguments, TCliContext& context) {
  if (const std::string* file = arguments.Value("--password-file")) {
    struct stat status {};
    if (stat(file->c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
      context.Err << "tamberlon-cli: " << PrintableName(*file) << ": no such file\n";
      return std::nullopt;
    }
    if (status.st_mode & 077) {
      char mode[8];
      std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
      context.Err << "tamberlon-cli: " << PrintableName(*file) << ": others can read it (mode "
                  << mode << "); make it readable by its owner alone: chmod 600\n";
      return std::nullopt;
    }
    auto bytes = ReadFileBytes(*file);
    if (!bytes)
      return std::nullopt;
    std::string password = bytes->substr(0, bytes->find_first_of("\r\n"));
    return password;
  }
  if (const char* value = std::getenv("TAMBERLON_NNTP_PASSWORD"))
    return std::string(value);
  if (!isatty(STDIN_FILENO)) {
    context.Err << "tamberlon-cli: no password: set TAMBERLON_NNTP_PASSWORD or use "
                   "--password-file\n";
    return std::nullopt;
  }
  termios saved{};
  tcgetattr(STDIN_FILENO, &saved);
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  context.Err << "Password: " << std::flush;
  tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  std::string password;
  std::getline(std::cin, password);
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  context.Err << "\n";
  return password;
}

// The newsgroups, the options' else the album's, cross-posted to at most the limit (the
// first ones, as named); false (with the reason told) for bad usage.
bool ReadGroups(const TCliArguments& arguments, const TPreferences& preferences,
                TCliContext& context, std::vector<std::string>& groups) {
  long long limit = 5;
  if (!Number(Setting(arguments, preferences, "--max-groups", "MaxGroups"), 1, 100, limit)) {
    context.Err << "tamberlon-cli: post: --max-groups takes a number from 1 to 100\n";
    return false;
  }
  groups = arguments.All("--group");
  if (groups.empty())
    groups = preferences.NGPostedTo;
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

struct TPostOptions {
  TPostSettings Settings;
  std::size_t ArticleSize = DefaultArticleSize;
  std::vector<std::string> Groups;
  bool Obfuscate = false;
};

// The server's profile and the post's settings; false (with the reason told) for bad usage.
bool ReadPostOptions(const TCliArguments& arguments, const TPreferences& preferences,
                     TCliContext& context, TPostOptions& options) {
  TServerProfile& server = options.Settings.Server;
  auto bad = [&](const std::string& what) {
    context.Err << "tamberlon-cli: post: " << what << "\n";
    return false;
  };
  if (const std::string* tls = Setting(arguments, preferences, "--tls", "TLS")) {
    const auto mode = TlsMode(*tls);
    if (!mode)
      return bad("--tls takes implicit, starttls or none");
    server.Endpoint.Tls = *mode;
  }
  server.Endpoint.Port = server.Endpoint.Tls == TTlsMode::Implicit ? 563 : 119;
  const std::string* host = Setting(arguments, preferences, "--server", "Host");
  if (!host || host->empty())
    return bad("name the news server with --server HOST[:PORT] (or Host= in [Server])");
  server.Endpoint.Host = *host;
  long long port = server.Endpoint.Port;
  if (const std::size_t colon = host->rfind(':'); colon != std::string::npos) {
    server.Endpoint.Host = host->substr(0, colon);
    const std::string digits = host->substr(colon + 1);
    if (!Number(&digits, 1, 65535, port))
      return bad("the port in --server must be a number from 1 to 65535");
  } else if (!Number(Setting(arguments, preferences, "", "Port"), 1, 65535, port)) {
    return bad("Port= in [Server] must be a number from 1 to 65535");
  }
  server.Endpoint.Port = static_cast<int>(port);
  if (const std::string* user = Setting(arguments, preferences, "--user", "User"))
    server.User = *user;
  if (const std::string* ca = Setting(arguments, preferences, "--ca-file", "CaFile"))
    server.Endpoint.CaFile = *ca;
  server.Endpoint.Insecure = arguments.Has("--insecure");
  long long connections = 4, size = DefaultArticleSize, retries = 3, delay = 0, timeout = 60;
  if (!Number(Setting(arguments, preferences, "--connections", "Connections"), 1, 64, connections))
    return bad("--connections takes a number from 1 to 64");
  if (!Number(Setting(arguments, preferences, "--article-size", "ArticleSize"), 1024, 16 << 20,
              size))
    return bad("--article-size takes a number of bytes from 1024 to 16777216");
  if (!Number(Setting(arguments, preferences, "--retries", "Retries"), 0, 20, retries))
    return bad("--retries takes a number from 0 to 20");
  if (!Number(Setting(arguments, preferences, "--check-delay", "CheckDelay"), 0, 3600, delay))
    return bad("--check-delay takes seconds from 0 to 3600");
  if (!Number(Setting(arguments, preferences, "--timeout", "Timeout"), 1, 3600, timeout))
    return bad("--timeout takes seconds from 1 to 3600");
  options.Settings.Connections = static_cast<int>(connections);
  options.ArticleSize = static_cast<std::size_t>(size);
  options.Settings.Retries = static_cast<int>(retries);
  options.Settings.CheckDelay = std::chrono::seconds(delay);
  server.ReplyTimeout = server.ConnectTimeout = std::chrono::seconds(timeout);
  options.Settings.CheckBodies = arguments.Has("--check-bodies");
  options.Obfuscate =
      arguments.Has("--obfuscate") || Truthy(Setting(arguments, preferences, "", "Obfuscate"));
  return ReadGroups(arguments, preferences, context, options.Groups);
}

std::string BaseName(const std::string& path) {
  std::string name = FileNamePart(path);
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
    name.resize(dot);
  return name;
}

// The release's files: beside an .nfo, or the files given.
std::vector<std::string> ReleaseFiles(const std::vector<std::string>& operands) {
  if (operands.size() == 1 && IsNfoPath(operands[0]))
    return ReleaseFilesBeside(operands[0]);
  return PostingOrder(operands);
}

// Progress on a terminal: the phase, bytes, rate, time left and articles.
class TProgressLine {
public:
  explicit TProgressLine(TCliContext& context) : Context(context) {}
  void operator()(const TPostProgress& progress) {
    const auto now = TClock::now();
    if (progress.Phase != Phase || progress.Bytes == 0) {
      Phase = progress.Phase;
      Start = now;
    }
    if (now - Shown < std::chrono::milliseconds(200) && progress.Articles < progress.TotalArticles)
      return;
    Shown = now;
    const double seconds = std::chrono::duration<double>(now - Start).count();
    const double rate = seconds > 0 ? static_cast<double>(progress.Bytes) / seconds : 0;
    const bool done = progress.Bytes >= progress.TotalBytes;
    char line[200];
    std::snprintf(line, sizeof line,
                  "\r%s %zu/%zu articles, %.1f of %.1f MB, %.1f MB/s, %s left, %zu retries   ",
                  progress.Phase == TPostProgress::Posting ? "Posting" : "Checking",
                  progress.Articles, progress.TotalArticles, progress.Bytes / 1e6,
                  progress.TotalBytes / 1e6, rate / 1e6,
                  done       ? "0:00"
                  : rate > 0 ? TimeLeft((progress.TotalBytes - progress.Bytes) / rate).c_str()
                             : "?",
                  progress.Retries);
    Context.Err << line << std::flush;
  }
  void End() { Context.Err << "\r" << std::string(100, ' ') << "\r" << std::flush; }

private:
  static std::string TimeLeft(double seconds) {
    char text[32];
    const auto whole = static_cast<long long>(seconds + 0.5);
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
  }
  TCliContext& Context;
  TPostProgress::TPhase Phase = TPostProgress::Posting;
  TClock::time_point Start = TClock::now(), Shown{};
};

int Report(const TPostSummary& summary, const TCliArguments& arguments, TCliContext& context) {
  if (summary.Problem)
    ShowProblem(*summary.Problem);
  if (summary.Cancelled)
    context.Err << "tamberlon-cli: posting paused: " << summary.Posted
                << " articles posted; post again to continue\n";
  if (arguments.Has("--json")) {
    const nlohmann::json json = {{"articles", summary.Articles},   {"posted", summary.Posted},
                                 {"confirmed", summary.Confirmed}, {"retries", summary.Retries},
                                 {"failures", summary.Failures},   {"bytes", summary.Bytes},
                                 {"resumed", summary.Resumed},     {"nzb", summary.NzbPath},
                                 {"complete", summary.Complete()}};
    context.Out << json.dump(2) << "\n";
  } else {
    if (!summary.NzbPath.empty())
      context.Out << PrintableName(summary.NzbPath) << "\n";
    context.Out << summary.Articles << " articles, " << summary.Bytes << " bytes posted, "
                << summary.Retries << " retries, " << summary.Failures << " failures"
                << (summary.Complete() ? "; every article is on the server\n" : "\n");
  }
  return summary.Complete() ? 0 : 1;
}
} // namespace

int PostFiles(const std::vector<std::string>& operands, const TCliArguments& arguments,
              TCliContext& context) {
  const TPreferences preferences = ReadPreferences(GetProgramFolder() + PreferencesFileName);
  TPostOptions options;
  if (!ReadPostOptions(arguments, preferences, context, options))
    return 2;
  if (options.Settings.Server.Endpoint.Insecure)
    context.Err << "tamberlon-cli: warning: --insecure: the server's certificate is not "
                   "checked, so a machine between you and the server can read the password "
                   "and the post\n";
  if (!options.Settings.Server.User.empty()) {
    auto password = Password(arguments, context);
    if (!password)
      return 2;
    options.Settings.Server.Password = std::move(*password);
  }
  const std::vector<std::string> files = ReleaseFiles(operands);
  const std::string release = BaseName(files.front());
  const std::string poster =
      (preferences.PostedBy.empty() ? std::string("Tamberlon") : preferences.PostedBy) + " <" +
      (preferences.Server.contains("Address") ? preferences.Server.at("Address")
                                              : std::string("poster@tamberlon.invalid")) +
      ">";
  TPlanResult planned =
      PlanPost(files, release, poster, options.Groups, options.ArticleSize, options.Obfuscate);
  if (planned.Problem) {
    ShowProblem(*planned.Problem);
    return 1;
  }
  TPostRequest request{
      std::move(planned.Plan), options.Settings, "", "", arguments.Has("--force"), {}, nullptr};
  const std::string* nzb = arguments.Value("--nzb");
  request.NzbPath =
      nzb ? *nzb
          : FolderPart(files.front()) + release + std::string(KindOf(TDocumentRole::Nzb).Extension);
  request.JournalPath = JournalPathFor(request.NzbPath);
  TProgressLine line(context);
  if (context.ShowProgress && !arguments.Has("--json"))
    request.Progress = [&](const TPostProgress& progress) {
      line(progress);
    };
  const TPostSummary summary = PostRelease(request);
  if (request.Progress)
    line.End();
  return Report(summary, arguments, context);
}

namespace {
int RunPost(const TCliArguments& arguments, TCliContext& context) {
  return PostFiles(arguments.Operands, arguments, context);
}
} // namespace

const std::vector<TCliOption> PostOptionList = {
    {"--server", "HOST[:PORT]", "the news server (Host= and Port= in [Server])"},
    {"--tls", "MODE", "implicit (port 563, the default), starttls or none"},
    {"--user", "NAME",
     "the user name (the password: TAMBERLON_NNTP_PASSWORD, "
     "--password-file or the terminal)"},
    {"--password-file", "FILE", "read the password from FILE (mode 600)"},
    {"--connections", "N", "connections at once (default 4)"},
    {"--article-size", "BYTES", "bytes of a file per article (default 716800)"},
    {"--group", "NAME", "a newsgroup to post to (default: the album's)", true},
    {"--max-groups", "N", "cross-post to at most N newsgroups (default 5)"},
    {"--obfuscate", "", "random subjects and names on the wire; real names in the NZB"},
    {"--check-bodies", "", "check each article's body and CRC, not only that it exists"},
    {"--check-delay", "SECONDS", "wait before checking (default 0)"},
    {"--retries", "N", "attempts more per article, and rounds of posting again (default 3)"},
    {"--timeout", "SECONDS", "the longest wait for the server (default 60)"},
    {"--nzb", "FILE", "the NZB to write (default beside the .nfo)"},
    {"--ca-file", "FILE", "trust the server's certificate from FILE"},
    {"--insecure", "", "do not check the server's certificate (warned on every run)"},
    {"--json", "", "print a summary as JSON"}};

TCliCommand PostCommand() {
  TCliCommand command{.Name = "post",
                      .Summary = "post the release to a news server, with its NZB",
                      .Operands = "ALBUM.nfo|FILE...",
                      .Description =
                          "Posts the release as yEnc articles: given the album's .nfo, the "
                          "set beside it (the .nfo, .sfv, .m3u, the tracks and the PAR2 set), "
                          "else the files given. Writes the NZB of the articles the server "
                          "accepted, then checks that each arrived and posts again the ones "
                          "that did not. A post cut short continues where it stopped when run "
                          "again. Exit status 0 only when every article is on the server.",
                      .Run = RunPost};
  command.Options = PostOptionList;
  command.Options.push_back({"--force", "", "replace an existing NZB"});
  return command;
}
