// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a post needs besides its files, read the same way for every face: the server's
// profile and the post's settings from the keys of [Server] (each face may put its own
// value first), the poster's From, and the names a release's NZB and journal take.
#include "posting/Poster.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

using TServerKeys = std::map<std::string, std::string, std::less<>>;

// What a server of the list does: posts, is the one the check asks, or both.
enum class TServerRole { Post, Check, Both };

// An entry of the server list: [Server], then [Server2], [Server3], ...
struct TListedServer {
  TServerProfile Profile; // its password too, once a face has found it
  int Connections = 4;
  TServerRole Role = TServerRole::Post;
};

struct TPostSetup {
  // The list as read; Settings' post servers and check server are made from it.
  std::vector<TListedServer> Servers;
  // The check server was named on its own (--check-server, [CheckServer]): a check role in
  // the list does not replace it.
  bool CheckNamed = false;
  TPostSettings Settings;
  std::size_t ArticleSize = DefaultArticleSize;
  bool Obfuscate = false;
  int MaxGroups = 5; // newsgroups one article is cross-posted to at most
  // The NZB: its <head> entries kept with the settings (the title and the password are
  // each release's own, never kept), written compressed, and where it goes once posted.
  TNzbMeta NzbMeta;
  bool NzbCompressed = false;
  TNzbDelivery Delivery;
  // Settings that disagree without being wrong (a certificate to trust with TLS off): the
  // face says each before it posts.
  std::vector<std::string> Warnings;
};

// A setting's text: the face's own value for the option, else the [Server] key's;
// nullptr when neither is set.
using TSettingLookup =
    std::function<const std::string*(std::string_view option, std::string_view key)>;

// The settings; the problem, naming the option, when one is out of range. checkSetting
// looks up the check server's own (the face's --check-... options, [CheckServer]'s keys,
// asked by the post server's option and key names): with its host set, the check asks
// that server, after 60 s unless a delay is set.
// moreServers: the keys of [Server2], [Server3], ... (none when the face names one server).
std::optional<std::string> ReadPostSetup(const TSettingLookup& setting, TPostSetup& setup,
                                         const TSettingLookup& checkSetting = {},
                                         const std::vector<TServerKeys>& moreServers = {});

// The settings' post servers (the list's in its order, each with its connections) and
// the check server (the list's first of Role=check or both, unless named on its own);
// the problem when no server of the list posts.
std::optional<std::string> UseServerList(TPostSetup& setup);
// The list without the servers a post left ("host:port"), for the posts after it in the
// same run; a problem when no post server is left.
std::optional<std::string> LeaveServers(TPostSetup& setup, const std::vector<std::string>& left);

// The settings' keys in [Server] as the window writes them (the password is never one),
// and those of the list's further entries.
TServerKeys ServerKeys(const TPostSetup& setup);
TServerKeys ListedServerKeys(const TListedServer& server);

// "Name <address>": the poster's name (PostedBy) and Address= of [Server].
std::string PosterFrom(const std::string& postedBy,
                       const std::map<std::string, std::string, std::less<>>& server);

// The release's name: its first file's name without the extension.
std::string ReleaseName(const std::string& firstFile);
// The NZB beside the release's first file (the .nfo), named after the release (.nzb.gz
// when compressed).
std::string DefaultNzbPath(const std::vector<std::string>& files, bool compressed = false);

// Where the check found the articles: "every article is on the server", "every article
// found on news.other:563 after 60 s"; for a check server that lacks some at the end, "3
// articles never reached news.other:563"; else empty.
std::string CheckVerdict(const TPostSummary& summary);

// Progress in words: "Posting 12/40 articles, 8.4 of 28.0 MB, 3.1 MB/s, 0:06 left, 0
// retries"; seconds since the phase's first report give the rate.
std::string PostProgressText(const TPostProgress& progress, double seconds);
