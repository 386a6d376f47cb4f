// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/PostSetup.h"

#include "common/FileUnit.h"
#include "common/IntToAbbrStrUnit.h"
#include "common/PreferencesUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/DocumentKinds.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {
// The text as a number within the bounds; an absent text leaves the value as it is.
bool Number(const std::string* text, long long low, long long high, long long& value) {
  if (!text)
    return true;
  long long read = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), read);
  if (error != std::errc() || end != text->data() + text->size() || read < low || read > high)
    return false;
  value = read;
  return true;
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

std::string_view TlsName(TTlsMode mode) {
  switch (mode) {
  case TTlsMode::Implicit:
    return "implicit";
  case TTlsMode::StartTls:
    return "starttls";
  case TTlsMode::None:
    break;
  }
  return "none";
}

constexpr std::pair<TServerRole, std::string_view> RoleNames[] = {
    {TServerRole::Post, "post"}, {TServerRole::Check, "check"}, {TServerRole::Both, "both"}};

std::optional<TServerRole> Role(std::string_view text) {
  for (const auto& [role, name] : RoleNames)
    if (name == text)
      return role;
  return std::nullopt;
}

std::string_view RoleName(TServerRole wanted) {
  for (const auto& [role, name] : RoleNames)
    if (role == wanted)
      return name;
  return "post";
}

// The host and port: HOST[:PORT], else Port=, else the TLS mode's usual port.
std::optional<std::string> ReadEndpoint(const TSettingLookup& setting, TEndpoint& endpoint,
                                        const std::string& section = "Server") {
  if (const std::string* tls = setting("--tls", "TLS")) {
    const auto mode = TlsMode(*tls);
    if (!mode)
      return "--tls takes implicit, starttls or none";
    endpoint.Tls = *mode;
  }
  const std::string* host = setting("--server", "Host");
  if (!host || host->empty())
    return section == "Server" ? "name the news server with --server HOST[:PORT] (or Host= in "
                                 "[Server])"
                               : "Host= in [" + section + "] is missing";
  endpoint.Host = *host;
  long long port = endpoint.Tls == TTlsMode::Implicit ? 563 : 119;
  if (const std::size_t colon = host->rfind(':'); colon != std::string::npos) {
    endpoint.Host = host->substr(0, colon);
    const std::string digits = host->substr(colon + 1);
    if (!Number(&digits, 1, 65535, port))
      return "the port in --server must be a number from 1 to 65535";
  } else if (!Number(setting("", "Port"), 1, 65535, port)) {
    return "Port= in [" + section + "] must be a number from 1 to 65535";
  }
  endpoint.Port = static_cast<int>(port);
  if (const std::string* ca = setting("--ca-file", "CaFile"))
    endpoint.CaFile = *ca;
  endpoint.Insecure = Truthy(setting("--insecure", ""));
  return std::nullopt;
}

// What TLS off leaves unused or unlikely, said with where the "off" came from.
std::vector<std::string> TlsWarnings(const TSettingLookup& setting, const TEndpoint& endpoint) {
  std::vector<std::string> warnings;
  if (endpoint.Tls != TTlsMode::None)
    return warnings;
  const std::string off = setting("--tls", "") ? "--tls none" : "TLS=none in [Server]";
  if (!endpoint.CaFile.empty() || endpoint.Insecure)
    warnings.push_back(std::string(endpoint.Insecure ? "--insecure" : "the certificate to trust") +
                       " is not used: TLS is off (" + off + ")");
  if (endpoint.Port == 563)
    warnings.push_back("port 563 is the port of implicit TLS, and TLS is off (" + off +
                       "): --tls implicit turns it on");
  return warnings;
}
// The NZB's settings: its <head> entries, compression, its copy and the command after.
std::optional<std::string> ReadNzbSetup(const TSettingLookup& setting, TPostSetup& setup) {
  const auto text = [&setting](std::string_view option, std::string_view key) {
    const std::string* value = setting(option, key);
    return value ? *value : std::string();
  };
  setup.NzbMeta.Tag = text("--nzb-tag", "NzbTag");
  setup.NzbMeta.Category = text("--nzb-category", "NzbCategory");
  setup.NzbCompressed = Truthy(setting("--nzb-gz", "NzbGz"));
  setup.Delivery.CopyFolder = text("--nzb-copy-to", "NzbCopyTo");
  setup.Delivery.Command = text("--after-post", "AfterPost");
  long long timeout = 300;
  if (!Number(setting("", "AfterPostTimeout"), 1, 86400, timeout))
    return "AfterPostTimeout= in [Server] takes seconds from 1 to 86400";
  setup.Delivery.Timeout = std::chrono::seconds(timeout);
  if (!setup.Delivery.Command.empty() && CommandWords(setup.Delivery.Command).empty())
    return "--after-post names no program";
  return std::nullopt;
}

// A server of the list past [Server]: its own host, TLS, account, connections and role;
// its timeouts are the first's.
std::optional<std::string> ReadMoreServer(const TServerKeys& keys, const std::string& section,
                                          TPostSetup& setup) {
  const TSettingLookup setting = [&keys](std::string_view, std::string_view key) {
    const auto found = key.empty() ? keys.end() : keys.find(key);
    return found == keys.end() ? nullptr : &found->second;
  };
  TListedServer& server = setup.Servers.emplace_back();
  server.Profile = setup.Servers.front().Profile;
  server.Profile.Endpoint = {};
  server.Profile.User.clear();
  if (auto problem = ReadEndpoint(setting, server.Profile.Endpoint, section))
    return problem;
  if (const std::string* user = setting("", "User"))
    server.Profile.User = *user;
  long long connections = 4;
  if (!Number(setting("", "Connections"), 1, 64, connections))
    return "Connections= in [" + section + "] takes a number from 1 to 64";
  server.Connections = static_cast<int>(connections);
  const std::string* role = setting("", "Role");
  if (role && !Role(*role))
    return "Role= in [" + section + "] takes post, check or both";
  server.Role = role ? *Role(*role) : TServerRole::Post;
  return std::nullopt;
}

// The check server, when its host is set; its timeouts are the post server's.
std::optional<std::string> ReadCheckServer(const TSettingLookup& setting, TPostSetup& setup) {
  const std::string* host = setting("--server", "Host");
  if (!host || host->empty())
    return std::nullopt;
  TServerProfile check = setup.Settings.Server;
  check.Endpoint = {};
  check.User.clear();
  check.Password.clear();
  if (auto problem = ReadEndpoint(setting, check.Endpoint))
    return "the check server: " + *problem;
  if (const std::string* user = setting("--user", "User"))
    check.User = *user;
  setup.Settings.CheckServer = std::move(check);
  setup.CheckNamed = true;
  return std::nullopt;
}
} // namespace

std::optional<std::string> UseServerList(TPostSetup& setup) {
  TPostSettings& settings = setup.Settings;
  settings.MoreServers.clear();
  if (!setup.CheckNamed)
    settings.CheckServer.reset();
  bool first = true;
  for (const TListedServer& server : setup.Servers) {
    if (server.Role != TServerRole::Post && !settings.CheckServer)
      settings.CheckServer = server.Profile;
    if (server.Role == TServerRole::Check)
      continue;
    if (first) {
      settings.Server = server.Profile;
      settings.Connections = server.Connections;
    } else {
      settings.MoreServers.push_back({server.Profile, server.Connections});
    }
    first = false;
  }
  if (first)
    return "no server of the list posts: give one Role=post or Role=both";
  return std::nullopt;
}

std::optional<std::string> ReadPostSetup(const TSettingLookup& setting, TPostSetup& setup,
                                         const TSettingLookup& checkSetting,
                                         const std::vector<TServerKeys>& moreServers) {
  TServerProfile& server = setup.Settings.Server;
  if (auto problem = ReadEndpoint(setting, server.Endpoint))
    return problem;
  setup.Warnings = TlsWarnings(setting, server.Endpoint);
  if (const std::string* user = setting("--user", "User"))
    server.User = *user;
  const std::string* role = setting("", "Role");
  if (role && !Role(*role))
    return "Role= in [Server] takes post, check or both";
  long long connections = 4, size = DefaultArticleSize, retries = 3, delay = 0, timeout = 60,
            groups = 5;
  if (!Number(setting("--connections", "Connections"), 1, 64, connections))
    return "--connections takes a number from 1 to 64";
  if (!Number(setting("--article-size", "ArticleSize"), 1024, 16 << 20, size))
    return "--article-size takes a number of bytes from 1024 to 16777216";
  if (!Number(setting("--retries", "Retries"), 0, 20, retries))
    return "--retries takes a number from 0 to 20";
  if (!Number(setting("--check-delay", "CheckDelay"), 0, 3600, delay))
    return "--check-delay takes seconds from 0 to 3600";
  if (!Number(setting("--timeout", "Timeout"), 1, 3600, timeout))
    return "--timeout takes seconds from 1 to 3600";
  if (!Number(setting("--max-groups", "MaxGroups"), 1, 100, groups))
    return "--max-groups takes a number from 1 to 100";
  setup.Settings.Connections = static_cast<int>(connections);
  setup.ArticleSize = static_cast<std::size_t>(size);
  setup.Settings.Retries = static_cast<int>(retries);
  setup.Settings.CheckDelay = std::chrono::seconds(delay);
  server.ReplyTimeout = server.ConnectTimeout = std::chrono::seconds(timeout);
  setup.MaxGroups = static_cast<int>(groups);
  setup.Settings.CheckBodies = Truthy(setting("--check-bodies", "CheckBodies"));
  setup.Obfuscate = Truthy(setting("--obfuscate", "Obfuscate"));
  setup.Servers = {{server, setup.Settings.Connections, role ? *Role(*role) : TServerRole::Post}};
  for (std::size_t i = 0; i < moreServers.size(); ++i)
    if (auto problem =
            ReadMoreServer(moreServers[i], MoreServerSection(static_cast<int>(i) + 2), setup))
      return problem;
  if (checkSetting)
    if (auto problem = ReadCheckServer(checkSetting, setup))
      return problem;
  if (auto problem = UseServerList(setup))
    return problem;
  // Propagation to another network takes time; a server posted to has it at once.
  const auto postedTo = [&setup](const TServerProfile& check) {
    return std::any_of(setup.Servers.begin(), setup.Servers.end(), [&](const TListedServer& s) {
      return s.Role == TServerRole::Both && s.Profile.Endpoint.Name() == check.Endpoint.Name();
    });
  };
  if (setup.Settings.CheckServer && !postedTo(*setup.Settings.CheckServer) &&
      !setting("--check-delay", "CheckDelay"))
    setup.Settings.CheckDelay = std::chrono::seconds(60);
  return ReadNzbSetup(setting, setup);
}

TServerKeys ListedServerKeys(const TListedServer& server) {
  const TEndpoint& endpoint = server.Profile.Endpoint;
  return {{"Host", endpoint.Host},
          {"Port", std::to_string(endpoint.Port)},
          {"TLS", std::string(TlsName(endpoint.Tls))},
          {"CaFile", endpoint.CaFile},
          {"User", server.Profile.User},
          {"Connections", std::to_string(server.Connections)},
          {"Role", std::string(RoleName(server.Role))}};
}

TServerKeys ServerKeys(const TPostSetup& setup) {
  TServerKeys keys = ListedServerKeys(
      setup.Servers.empty() ? TListedServer{setup.Settings.Server, setup.Settings.Connections}
                            : setup.Servers.front());
  keys.merge(TServerKeys{{"ArticleSize", std::to_string(setup.ArticleSize)},
                         {"Obfuscate", setup.Obfuscate ? "1" : "0"},
                         {"CheckBodies", setup.Settings.CheckBodies ? "1" : "0"},
                         {"NzbTag", setup.NzbMeta.Tag},
                         {"NzbCategory", setup.NzbMeta.Category},
                         {"NzbGz", setup.NzbCompressed ? "1" : "0"},
                         {"NzbCopyTo", setup.Delivery.CopyFolder},
                         {"AfterPost", setup.Delivery.Command}});
  return keys;
}

std::string PosterFrom(const std::string& postedBy,
                       const std::map<std::string, std::string, std::less<>>& server) {
  const auto address = server.find("Address");
  return (postedBy.empty() ? std::string("Tamberlon") : postedBy) + " <" +
         (address == server.end() || address->second.empty() ? "poster@tamberlon.invalid"
                                                             : address->second) +
         ">";
}

std::string ReleaseName(const std::string& firstFile) {
  std::string name = FileNamePart(firstFile);
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
    name.resize(dot);
  return name;
}

std::string DefaultNzbPath(const std::vector<std::string>& files, bool compressed) {
  return FolderPart(files.front()) + ReleaseName(files.front()) +
         std::string(KindOf(TDocumentRole::Nzb).Extension) + (compressed ? ".gz" : "");
}

std::string PostProgressText(const TPostProgress& progress, double seconds) {
  const double rate = seconds > 0 ? static_cast<double>(progress.Bytes) / seconds : 0;
  char left[32] = "?";
  if (progress.Bytes >= progress.TotalBytes) {
    std::snprintf(left, sizeof left, "0:00");
  } else if (rate > 0) {
    const auto whole = static_cast<long long>(
        static_cast<double>(progress.TotalBytes - progress.Bytes) / rate + 0.5);
    std::snprintf(left, sizeof left, "%lld:%02lld", whole / 60, whole % 60);
  }
  // The sizes in the units the file list shows them in (a slow rate in KB, not "0.1 MB").
  char line[200];
  std::snprintf(
      line, sizeof line, "%s %zu/%zu articles, %s of %s, %s/s, %s left, %zu %s",
      progress.Phase == TPostProgress::Posting ? "Posting" : "Checking",
      progress.EarlierArticles + progress.Articles,
      progress.EarlierArticles + progress.TotalArticles,
      IntToAbbrStr(static_cast<std::int64_t>(progress.EarlierBytes + progress.Bytes)).c_str(),
      IntToAbbrStr(static_cast<std::int64_t>(progress.EarlierBytes + progress.TotalBytes)).c_str(),
      IntToAbbrStr(static_cast<std::int64_t>(rate)).c_str(), left, progress.Retries,
      progress.Retries == 1 ? "retry" : "retries");
  return line;
}

std::string CheckVerdict(const TPostSummary& summary) {
  const std::string seconds =
      std::to_string(std::chrono::duration_cast<std::chrono::seconds>(summary.CheckDelay).count());
  if (summary.Complete())
    return summary.CheckedOn.empty()
               ? "every article is on the server"
               : "every article found on " + summary.CheckedOn + " after " + seconds + " s";
  if (summary.CheckedOn.empty() || summary.Problem || summary.Cancelled)
    return {};
  return std::to_string(summary.Failures) + (summary.Failures == 1 ? " article" : " articles") +
         " never reached " + summary.CheckedOn + " (looked up after " + seconds + " s)";
}

std::optional<std::string> LeaveServers(TPostSetup& setup, const std::vector<std::string>& left) {
  if (left.empty())
    return std::nullopt;
  std::erase_if(setup.Servers, [&left](const TListedServer& server) {
    return server.Role != TServerRole::Check &&
           std::find(left.begin(), left.end(), server.Profile.Endpoint.Name()) != left.end();
  });
  return UseServerList(setup);
}
